#include "intake/intake_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decode/parser.h"
#include "intake/state_merge.h"
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
        if (intake != nullptr) ends.push_back(intake->EpochEndOffset());
        return snapshot.latitudeDeg != 0.0 && snapshot.longitudeDeg != 0.0;
    }
    void OnRawLine(std::string_view line, bool) override { rawLines.emplace_back(line); }
    void OnErrorLine(std::string_view) override { ++errorLines; }
    void OnMessageDecoded(std::span<const std::uint8_t>, const CParser& parser) override
    {
        ++decoded[static_cast<ProtocolId>(parser.GetProtocolId())];
    }

    const CIntakeDispatcher* intake = nullptr;  // set to note where each epoch ends
    std::vector<Epoch> epochs;
    std::vector<std::uint64_t> ends;
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
        std::vector<std::uint64_t> referenceEnds;
        for (const auto& [seed, piece] :
             {std::pair{1u, std::size_t{1024}}, std::pair{2u, std::size_t{1}},
              std::pair{3u, std::size_t{7}}, std::pair{4u, std::size_t{300}}}) {
            RecordingListener listener;
            CIntakeDispatcher intake(listener);
            listener.intake = &intake;
            Feed(intake, bytes, seed, piece);
            if (reference.empty()) {
                reference = listener.epochs;
                referenceEnds = listener.ends;
                EXPECT_EQ(reference.size(), ggaTimes.size()) << name;
                for (std::size_t i = 1; i < reference.size(); ++i) {
                    EXPECT_GT(reference[i].time, reference[i - 1].time) << name << " epoch " << i;
                }
                // Each epoch ends where the sentence bringing the next one starts; the last
                // (shown by the idle flush) behind the last sentence.
                for (std::size_t i = 0; i + 1 < referenceEnds.size(); ++i) {
                    ASSERT_LT(referenceEnds[i], bytes.size()) << name;
                    EXPECT_EQ(bytes[referenceEnds[i]], '$') << name << " epoch " << i;
                }
                EXPECT_GE(referenceEnds.back() + 2, bytes.size() - 2) << name;
            } else {
                EXPECT_EQ(listener.epochs, reference) << name << " pieces up to " << piece;
                // The last end may take the line feed or not, as the pieces fall.
                ASSERT_EQ(listener.ends.size(), referenceEnds.size()) << name;
                EXPECT_TRUE(std::equal(referenceEnds.begin(), referenceEnds.end() - 1,
                                       listener.ends.begin()))
                    << name << " pieces up to " << piece;
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
    constexpr std::size_t kOneByteCaptureLimit = 100000;
    SKIP_WITHOUT_DATA();
    for (const char* name :
         {"pyubx2_ublox-m8_nmea_ubx_39s.log", "gpsd_ublox-zed-f9p_nmea_ubx_rawx_655s.log"}) {
        const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "mixed" / name);
        const auto sentences = ValidSentences(bytes);
        std::set<std::uint32_t> navTimes;
        const int frames = ValidUbxFrames(bytes, &navTimes);
        ASSERT_GT(frames, 0) << name;
        // Pieces of one byte (the short capture only): every start straddles two arrivals.
        for (const std::size_t piece : {std::size_t{1024}, std::size_t{97}, std::size_t{1}}) {
            if (piece == 1 && bytes.size() > kOneByteCaptureLimit) continue;
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

// A UBX frame of any payload length with a good checksum (MON-VER, which is only counted).
std::string UbxFrame(std::size_t payloadLength)
{
    std::string frame = {'\xB5',
                         'b',
                         '\x0A',
                         '\x04',
                         static_cast<char>(payloadLength & 0xFF),
                         static_cast<char>(payloadLength >> 8)};
    for (std::size_t i = 0; i < payloadLength; ++i) frame += static_cast<char>('A' + i % 26);
    std::uint8_t a = 0, b = 0;
    for (std::size_t i = 2; i < frame.size(); ++i) {
        a = static_cast<std::uint8_t>(a + static_cast<std::uint8_t>(frame[i]));
        b = static_cast<std::uint8_t>(b + a);
    }
    return frame + static_cast<char>(a) + static_cast<char>(b);
}

TEST(IntakeDispatcherTest, MessageBehindNoiseDecodedOnceWhateverThePieces)
{
    struct Case {
        const char* name;
        std::string message;
        ProtocolId protocol;
    };
    const Case cases[] = {{"sentence", kGga, ProtocolId::Nmea},
                          {"small frame", UbxFrame(92), ProtocolId::Ubx},
                          {"6000-byte frame", UbxFrame(6000), ProtocolId::Ubx}};
    for (const Case& c : cases) {
        for (const std::size_t noise : {0, 255, 256, 300, 1000}) {
            for (const std::size_t piece : {1, 3, 1024}) {
                RecordingListener listener;
                CIntakeDispatcher intake(listener);
                const std::string bytes = std::string(noise, 'x') + c.message;
                for (std::size_t at = 0; at < bytes.size(); at += piece) {
                    intake.Arrive(Bytes(std::string_view(bytes).substr(at, piece)));
                }
                EXPECT_EQ(listener.decoded[c.protocol], 1)
                    << c.name << " behind " << noise << " noise bytes, pieces of " << piece;
            }
        }
    }
}

TEST(StateMergeTest, AuxiliaryGroupsFillWhatTheSourceLacks)
{
    GnssReceiverState aux;
    aux.contentFlags = ContentFlag::Height | ContentFlag::Speed | ContentFlag::Position |
                       ContentFlag::SatellitesInView | ContentFlag::Heading;
    aux.ellipsoidHeight = 99.0;
    aux.speedKmh = 42.0f;
    aux.latitudeDeg = 1.0;
    aux.headingDeg = 270.0f;
    aux.inViewTotal = 12;
    struct Case {
        const char* name;
        bool auxIsUbx;
        std::uint32_t sourceFlags;
        double height;
        float speed;
        double latitude;
        int inView;
    };
    const Case cases[] = {
        // Heights and speed never come from UBX; position and satellites do.
        {"ubx auxiliary", true, 0, 5.0, 3.0f, 1.0, 12},
        {"nmea auxiliary", false, 0, 99.0, 42.0f, 1.0, 12},
        // What the source delivered this epoch stays the source's.
        {"source has position", false, ContentFlag::Position, 99.0, 42.0f, 7.0, 12},
    };
    for (const Case& c : cases) {
        GnssReceiverState snapshot;
        snapshot.ellipsoidHeight = 5.0;
        snapshot.speedKmh = 3.0f;
        snapshot.latitudeDeg = 7.0;
        snapshot.contentFlags = c.sourceFlags;
        MergeFieldGroups(aux, c.auxIsUbx, c.sourceFlags, snapshot);
        EXPECT_EQ(snapshot.ellipsoidHeight, c.height) << c.name;
        EXPECT_EQ(snapshot.speedKmh, c.speed) << c.name;
        EXPECT_EQ(snapshot.latitudeDeg, c.latitude) << c.name;
        EXPECT_EQ(snapshot.inViewTotal, c.inView) << c.name;
        EXPECT_EQ(snapshot.headingDeg, 270.0f) << c.name;
        EXPECT_EQ((snapshot.contentFlags & ContentFlag::Height) != 0, !c.auxIsUbx) << c.name;
    }
}

TEST(IntakeDispatcherTest, PositionSourceFollowsTheSyncSetting)
{
    SKIP_WITHOUT_DATA();
    const auto bytes = testdata::ReadBytes(*testdata::DataDir() / "mixed" /
                                           "pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log");
    for (const std::int32_t sync :
         {CIntakeDispatcher::kSyncAuto, CIntakeDispatcher::kSyncNonNmea}) {
        RecordingListener listener;
        CIntakeDispatcher intake(listener);
        intake.SetSyncProtocol(sync);
        Feed(intake, bytes, 11, 1024);
        const CParser* ubx = intake.Decoder(ProtocolId::Ubx);
        ASSERT_NE(ubx, nullptr);
        if (sync == CIntakeDispatcher::kSyncAuto) {
            // NMEA leads; UBX only adds what NMEA lacks.
            ASSERT_NE(intake.Decoder(ProtocolId::Nmea), nullptr);
            EXPECT_TRUE(intake.Decoder(ProtocolId::Nmea)->IsPositionSource());
            EXPECT_FALSE(ubx->IsPositionSource());
            EXPECT_EQ(intake.Snapshot().owner, intake.Decoder(ProtocolId::Nmea));
        } else {
            EXPECT_TRUE(ubx->IsPositionSource());
            EXPECT_EQ(intake.Snapshot().owner, ubx);
        }
        EXPECT_GT(listener.epochs.size(), 100u);
    }
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
