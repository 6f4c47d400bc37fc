#include "app/intake_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decode/parser.h"
#include "support/recording_owner.h"
#include "support/test_data.h"

namespace {

struct Epoch {
    std::uint64_t time;
    double latitude;
    double longitude;
    bool operator==(const Epoch&) const = default;
};

class RecordingListener : public IIntakeListener {
public:
    bool OnRefreshViews(GnssReceiverState& snapshot) override
    {
        epochs.push_back({snapshot.timeOfDayMs, snapshot.latitudeDeg, snapshot.longitudeDeg});
        return snapshot.latitudeDeg != 0.0 && snapshot.longitudeDeg != 0.0;
    }
    void OnRawLine(std::string_view line, bool) override { rawLines.emplace_back(line); }
    void OnErrorLine(std::string_view) override { ++errorLines; }
    void OnMessageDecoded(std::span<const std::uint8_t>, const CParser& parser) override
    {
        ++decoded[static_cast<ProtocolId>(parser.GetProtocolId())];
    }

    std::vector<Epoch> epochs;
    std::vector<std::string> rawLines;
    int errorLines = 0;
    std::map<ProtocolId, int> decoded;
};

const std::string kGga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");

// Feeds bytes as a serial port would, in pieces of random size, then lets the line go quiet.
void Feed(CIntakeDispatcher& intake, std::span<const std::uint8_t> bytes, unsigned seed,
          std::size_t maxPiece)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> size(1, maxPiece);
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), size(random));
        intake.Arrive(bytes.first(n));
        bytes = bytes.subspan(n);
    }
    intake.IdleFlush();
}

// Lines whose XOR checksum is right, read independently of the decoder.
std::vector<std::string> ValidSentences(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::string> sentences;
    const std::string text(bytes.begin(), bytes.end());
    std::size_t pos = 0;
    while ((pos = text.find('$', pos)) != std::string::npos) {
        const std::size_t star = text.find('*', pos);
        const std::size_t next = text.find('$', pos + 1);
        if (star == std::string::npos || star + 2 >= text.size() || star > next) {
            ++pos;
            continue;
        }
        unsigned sum = 0;
        for (std::size_t i = pos + 1; i < star; ++i) sum ^= static_cast<unsigned char>(text[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        if (text.compare(star + 1, 2, hex) == 0) {
            sentences.push_back(text.substr(pos, star + 3 - pos));
        }
        pos = star;
    }
    return sentences;
}

std::set<std::string> GgaTimes(const std::vector<std::string>& sentences)
{
    std::set<std::string> times;
    for (const std::string& s : sentences) {
        if (s.size() > 7 && s.compare(3, 4, "GGA,") == 0) {
            const std::string time = s.substr(7, s.find(',', 7) - 7);
            if (!time.empty()) times.insert(time);
        }
    }
    return times;
}

// UBX frames with a good Fletcher checksum, and the distinct times of NAV-POSLLH / NAV-PVT.
int ValidUbxFrames(const std::vector<std::uint8_t>& b, std::set<std::uint32_t>* navTimes = nullptr)
{
    int frames = 0;
    for (std::size_t i = 0; i + 8 <= b.size(); ++i) {
        if (b[i] != 0xB5 || b[i + 1] != 0x62) continue;
        const std::size_t length = b[i + 4] | (b[i + 5] << 8);
        if (i + 8 + length > b.size()) break;
        std::uint8_t a = 0, c = 0;
        for (std::size_t k = i + 2; k < i + 6 + length; ++k)
            c = static_cast<std::uint8_t>(c + (a = static_cast<std::uint8_t>(a + b[k])));
        if (a == b[i + 6 + length] && c == b[i + 7 + length]) {
            ++frames;
            if (navTimes && b[i + 2] == 0x01 && (b[i + 3] == 0x02 || b[i + 3] == 0x07)) {
                navTimes->insert(b[i + 6] | b[i + 7] << 8 | b[i + 8] << 16 |
                                 std::uint32_t{b[i + 9]} << 24);
            }
            i += 7 + length;
        }
    }
    return frames;
}

TEST(IntakeDispatcherTest, EveryNmeaEpochShownOnceWhateverTheReadSizes)
{
    SKIP_WITHOUT_DATA();
    for (const char* name :
         {"gpsd_ublox-neo-m9n_nmea41_gst_zda.log", "gpsd_trimble_rtkfix_10hz.log",
          "gpsd_ublox-zed-f9p_nmea41_4gnss.log"}) {
        const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "nmea" / name);
        const std::set<std::string> ggaTimes = GgaTimes(ValidSentences(bytes));
        std::vector<Epoch> reference;
        for (const auto& [seed, piece] :
             {std::pair{1u, std::size_t{1024}}, std::pair{2u, std::size_t{1}},
              std::pair{3u, std::size_t{7}}, std::pair{4u, std::size_t{300}}}) {
            RecordingListener listener;
            CIntakeDispatcher intake(listener);
            Feed(intake, bytes, seed, piece);
            if (reference.empty()) {
                reference = listener.epochs;
                EXPECT_EQ(reference.size(), ggaTimes.size()) << name;
                for (std::size_t i = 1; i < reference.size(); ++i) {
                    EXPECT_GT(reference[i].time, reference[i - 1].time) << name << " epoch " << i;
                }
            } else {
                EXPECT_EQ(listener.epochs, reference) << name << " pieces up to " << piece;
            }
        }
    }
}

TEST(IntakeDispatcherTest, SplitSentenceDecodedOnceWhenComplete)
{
    const std::string& gga = kGga;
    RecordingListener listener;
    CIntakeDispatcher intake(listener);
    intake.Arrive(Bytes(gga.substr(0, 30)));
    EXPECT_TRUE(listener.decoded.empty());
    EXPECT_EQ(intake.CarriedLength(), 30u);
    intake.Arrive(Bytes(gga.substr(30)));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 1);
    ASSERT_EQ(listener.rawLines.size(), 1u);
    intake.IdleFlush();
    ASSERT_EQ(listener.epochs.size(), 1u);
    EXPECT_NEAR(listener.epochs[0].latitude, 48.1173, 1e-9);
    intake.IdleFlush();  // nothing new: not shown again
    EXPECT_EQ(listener.epochs.size(), 1u);
}

TEST(IntakeDispatcherTest, MixedNmeaAndUbxReachBothDecodersUnderAuto)
{
    SKIP_WITHOUT_DATA();
    for (const char* name :
         {"pyubx2_ublox-m8_nmea_ubx_39s.log", "gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log"}) {
        const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "mixed" / name);
        const auto sentences = ValidSentences(bytes);
        std::set<std::uint32_t> navTimes;
        const int frames = ValidUbxFrames(bytes, &navTimes);
        ASSERT_GT(frames, 0) << name;
        for (const std::size_t piece : {std::size_t{1024}, std::size_t{97}}) {
            RecordingListener listener;
            CIntakeDispatcher intake(listener);
            Feed(intake, bytes, 7, piece);
            EXPECT_EQ(listener.decoded[ProtocolId::Nmea], static_cast<int>(sentences.size()))
                << name << " pieces up to " << piece;
            EXPECT_EQ(listener.decoded[ProtocolId::Ubx], frames) << name << " " << piece;
            EXPECT_EQ(intake.ProtocolsSeen() & 0x3u, 0x3u) << name;
            EXPECT_LE(listener.decoded[ProtocolId::Gsof], 1) << name;
            // Without GGA the receiver's navigation epochs are the epochs.
            if (GgaTimes(sentences).empty()) {
                EXPECT_EQ(listener.epochs.size(), navTimes.size());
            }
        }
        // NON NMEA leaves the sentences alone.
        RecordingListener listener;
        CIntakeDispatcher intake(listener);
        intake.SetSyncProtocol(CIntakeDispatcher::kSyncNonNmea);
        Feed(intake, bytes, 7, 1024);
        EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 0) << name;
        EXPECT_EQ(listener.decoded[ProtocolId::Ubx], frames) << name;
        EXPECT_EQ(intake.Decoder(ProtocolId::Nmea), nullptr);
        EXPECT_EQ(listener.epochs.size(), navTimes.size()) << name;
    }
}

TEST(IntakeDispatcherTest, SbfBlocksAreNotTakenForSentences)
{
    SKIP_WITHOUT_DATA();
    const auto bytes =
        testdata::ReadBytes(*testdata::DataDir() / "mixed" / "pysbf2_nmea_sbf_rtcm3.log");
    RecordingListener listener;
    CIntakeDispatcher intake(listener);
    Feed(intake, bytes, 5, 512);
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], static_cast<int>(ValidSentences(bytes).size()));
    EXPECT_GT(listener.decoded[ProtocolId::Sbf], 0);
    EXPECT_EQ(intake.ProtocolsSeen() & 0x9u, 0x9u);
}

TEST(IntakeDispatcherTest, UnclaimedBytesWaitThenAreDropped)
{
    RecordingListener listener;
    CIntakeDispatcher intake(listener);
    const std::string noise(200, 'x');
    intake.Arrive(Bytes(noise));
    EXPECT_EQ(intake.CarriedLength(), 200u);
    intake.Arrive(Bytes(noise));  // 400 unclaimed bytes: more than may wait
    EXPECT_EQ(intake.CarriedLength(), 0u);
    // Bytes that were waiting still count when a sentence completes them.
    const std::string& gga = kGga;
    intake.Arrive(Bytes(noise.substr(0, 100) + gga.substr(0, 20)));
    intake.Arrive(Bytes(gga.substr(20)));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 1);
}

TEST(IntakeDispatcherTest, DisconnectForgetsTheProtocols)
{
    const std::string& gga = kGga;
    RecordingListener listener;
    CIntakeDispatcher intake(listener);
    intake.Arrive(Bytes(gga));
    EXPECT_EQ(intake.ProtocolsSeen(), 0x1u);
    intake.Disconnect();
    EXPECT_EQ(intake.ProtocolsSeen(), 0u);
    EXPECT_EQ(intake.Decoder(ProtocolId::Nmea), nullptr);
    EXPECT_EQ(intake.CarriedLength(), 0u);
    EXPECT_EQ(intake.Snapshot().headingDeg, -1.0f);
    intake.Arrive(Bytes(gga));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 2);
}

TEST(IntakeDispatcherTest, RawLogFilterHidesSentenceKinds)
{
    const std::string text = kGga + Sentence("GPGSV,1,1,01,01,40,083,46");
    RecordingListener listener;
    CIntakeDispatcher intake(listener);
    RawLogFilter filter;
    filter.gga = false;
    intake.SetRawLogFilter(filter);
    intake.Arrive(Bytes(text));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 2);
    ASSERT_EQ(listener.rawLines.size(), 1u);
    EXPECT_EQ(listener.rawLines[0].rfind("$GPGSV", 0), 0u);
}

}  // namespace
