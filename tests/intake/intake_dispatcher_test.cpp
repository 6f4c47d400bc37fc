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
#include "intake/protocol_starts.h"
#include "intake/state_merge.h"
#include "support/captures.h"
#include "support/frame_walk.h"
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
    void OnErrorLine(std::string_view) override {}
    void OnMessageDecoded(std::span<const std::uint8_t>, const CParser& parser) override
    {
        ++decoded[static_cast<ProtocolId>(parser.GetProtocolId())];
    }

    const CIntakeDispatcher* intake = nullptr;  // set to note where each epoch ends
    std::vector<Epoch> epochs;
    std::vector<std::uint64_t> ends;
    std::vector<std::string> rawLines;
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

// Sentences whose XOR checksum is right, read independently of the decoder, and their GGA times.
std::size_t ValidSentences(const ByteVec& bytes, std::set<std::string>& ggaTimes)
{
    std::size_t sentences = 0;
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t pos = 0; (pos = text.find('$', pos)) != std::string::npos; ++pos) {
        const std::size_t star = text.find('*', pos);
        if (star == std::string::npos || star + 2 >= text.size() || star > text.find('$', pos + 1))
            continue;
        unsigned sum = 0;
        for (std::size_t i = pos + 1; i < star; ++i) sum ^= static_cast<unsigned char>(text[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        if (text.compare(star + 1, 2, hex) == 0) {
            ++sentences;
            const std::string s = text.substr(pos, star + 3 - pos);
            const std::string time = s.substr(7, s.find(',', 7) - 7);
            if (s.compare(3, 4, "GGA,") == 0 && !time.empty()) ggaTimes.insert(time);
        }
        pos = star - 1;
    }
    return sentences;
}

// A UBX frame of any payload length with a good checksum (MON-VER, which is only counted).
std::string UbxFrame(std::size_t payloadLength)
{
    const auto frame = testdata::UbxFrame(0x0A04, ByteVec(payloadLength, 'A'));
    return {frame.begin(), frame.end()};
}

// One dispatcher with its listener.
struct Rig {
    RecordingListener listener;
    CIntakeDispatcher intake{listener};
    void ArriveIn(std::string_view bytes, std::size_t piece)
    {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            intake.Arrive(Bytes(bytes.substr(at, piece)));
            EXPECT_LE(intake.CarriedLength(), CIntakeDispatcher::kMaxCarriedTail);
        }
    }
};

TEST(IntakeDispatcherTest, EveryNmeaEpochShownOnceWhateverTheReadSizes)
{
    SKIP_WITHOUT_DATA();
    for (const char* name :
         {"nmea/gpsd_ublox-neo-m9n_nmea41_gst_zda.log", "nmea/gpsd_trimble_rtkfix_10hz.log",
          "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log"}) {
        SCOPED_TRACE(name);
        const auto bytes = captures::Read(name);
        std::set<std::string> ggaTimes;
        ValidSentences(bytes, ggaTimes);
        const auto run = [&](unsigned seed, std::size_t piece) {
            Rig r;
            r.listener.intake = &r.intake;
            Feed(r.intake, bytes, seed, piece);
            return std::pair(r.listener.epochs, r.listener.ends);
        };
        const auto [reference, referenceEnds] = run(1, 1024);
        EXPECT_EQ(reference.size(), ggaTimes.size());
        for (std::size_t i = 1; i < reference.size(); ++i)
            EXPECT_GT(reference[i].time, reference[i - 1].time) << "epoch " << i;
        // Each epoch ends where the sentence bringing the next one starts; the last (shown by
        // the idle flush) behind the last sentence.
        for (std::size_t i = 0; i + 1 < referenceEnds.size(); ++i) {
            ASSERT_LT(referenceEnds[i], bytes.size());
            EXPECT_EQ(bytes[referenceEnds[i]], '$') << "epoch " << i;
        }
        EXPECT_GE(referenceEnds.back() + 2, bytes.size() - 2);
        for (const auto& [seed, piece] : {std::pair{2u, 1}, {3u, 7}, {4u, 300}}) {
            const auto [epochs, ends] = run(seed, piece);
            EXPECT_EQ(epochs, reference) << "pieces up to " << piece;
            // The last end may take the line feed or not, as the pieces fall.
            ASSERT_EQ(ends.size(), referenceEnds.size());
            EXPECT_TRUE(std::equal(referenceEnds.begin(), referenceEnds.end() - 1, ends.begin()))
                << "pieces up to " << piece;
        }
    }
}

// Every mixed capture: each protocol's messages reach its decoder, whatever the pieces.
TEST(IntakeDispatcherTest, MixedCapturesReachEveryDecoder)
{
    SKIP_WITHOUT_DATA();
    std::size_t mixed = 0;
    captures::ForEach(~0u, [&](const auto& c, const auto& bytes) {
        if (std::string_view(c.path).substr(0, 6) != "mixed/") return;
        std::set<std::string> ggaTimes;
        const int sentences = int(ValidSentences(bytes, ggaTimes));
        const auto frames = WalkUbx(bytes);
        std::set<std::uint32_t> navTimes;  // of NAV-POSLLH and NAV-PVT
        for (const UbxSeen& f : frames)
            if (f.cls == 0x01 && (f.id == 0x02 || f.id == 0x07)) navTimes.insert(f.U32(bytes, 0));
        // NON NMEA leaves the sentences alone.
        for (const auto& [piece, nonNmea] :
             {std::pair{std::size_t{1024}, false}, {97, false}, {1, false}, {1024, true}}) {
            if (piece == 1 && bytes.size() > 100000) continue;
            SCOPED_TRACE(std::to_string(piece) + (nonNmea ? " NON NMEA" : ""));
            Rig r;
            auto& [listener, intake] = r;
            if (nonNmea) intake.SetSyncProtocol(CIntakeDispatcher::kSyncNonNmea);
            Feed(intake, bytes, 7, piece);
            EXPECT_EQ(
                std::tuple(listener.decoded[ProtocolId::Nmea], listener.decoded[ProtocolId::Ubx],
                           intake.Decoder(ProtocolId::Nmea) == nullptr),
                std::tuple(nonNmea ? 0 : sentences, int(frames.size()), nonNmea || sentences == 0));
            EXPECT_EQ(listener.decoded[ProtocolId::Sbf] > 0, (c.protocols & captures::kSbf) != 0);
            EXPECT_LE(listener.decoded[ProtocolId::Gsof], 1);
            // Under auto NMEA leads and UBX only adds what NMEA lacks.
            if (std::string_view(c.path) ==
                "mixed/pygnssutils_ublox-f9p-base_nmea_ubx_rtcm3_157s.log") {
                const CParser* ubx = intake.Decoder(ProtocolId::Ubx);
                const CParser* source = nonNmea ? ubx : intake.Decoder(ProtocolId::Nmea);
                ASSERT_TRUE(ubx && source);
                EXPECT_EQ(std::tuple(source->IsPositionSource(), ubx->IsPositionSource(),
                                     intake.Snapshot().owner == source, listener.epochs.size()),
                          std::tuple(true, nonNmea, true, 158u));
            }
            // Without GGA the receiver's navigation epochs are the epochs.
            if ((nonNmea || c.nmeaEpochs <= 0) && !frames.empty()) {
                EXPECT_EQ(listener.epochs.size(), navTimes.size());
            }
        }
        ++mixed;
    });
    EXPECT_EQ(mixed, 9u);
}

TEST(IntakeDispatcherTest, SplitSentenceFilterAndDisconnect)
{
    Rig r;
    auto& [listener, intake] = r;
    RawLogFilter filter;
    filter.gga = false;
    intake.SetRawLogFilter(filter);
    intake.Arrive(Bytes(kGga.substr(0, 30)));
    EXPECT_TRUE(listener.decoded.empty());
    EXPECT_EQ(intake.CarriedLength(), 30u);
    intake.Arrive(Bytes(kGga.substr(30) + Sentence("GPGSV,1,1,01,01,40,083,46")));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 2);
    ASSERT_EQ(listener.rawLines.size(), 1u) << "the filter hides GGA";
    EXPECT_EQ(listener.rawLines[0].rfind("$GPGSV", 0), 0u);
    intake.IdleFlush();
    ASSERT_EQ(listener.epochs.size(), 1u);
    EXPECT_NEAR(listener.epochs[0].latitude, 48 + 7.038 / 60, 1e-9);
    intake.IdleFlush();  // nothing new: not shown again
    EXPECT_EQ(std::tuple(listener.epochs.size(), intake.ProtocolsSeen()), std::tuple(1u, 0x1u));
    intake.Disconnect();
    EXPECT_EQ(std::tuple(intake.ProtocolsSeen(), intake.Decoder(ProtocolId::Nmea) == nullptr,
                         intake.CarriedLength(), intake.Snapshot().headingDeg),
              std::tuple(0u, true, 0u, -1.0f));
    intake.Arrive(Bytes(kGga));
    EXPECT_EQ(listener.decoded[ProtocolId::Nmea], 3);
}

// Each switch of the raw-message window hides its own sentences and no others.
TEST(IntakeDispatcherTest, RawLogFilterHidesEachKindByItsOwnSwitch)
{
    const std::vector<std::string> kinds = {"GPGGA", "GPRMC", "GPGSA", "GPGSV",
                                            "GLGSV", "GAGSV", "GBGSV", "GQGSV"};
    using F = bool RawLogFilter::*;
    const std::pair<F, std::set<std::string>> switches[] = {
        {&RawLogFilter::gga, {"GPGGA"}},
        {&RawLogFilter::rmc, {"GPRMC"}},
        {&RawLogFilter::gsa, {"GPGSA"}},
        {&RawLogFilter::gsv, {"GPGSV", "GLGSV", "GAGSV", "GBGSV", "GQGSV"}},
        {&RawLogFilter::gpgsv, {"GPGSV"}},
        {&RawLogFilter::glgsv, {"GLGSV"}},
        {&RawLogFilter::gagsv, {"GAGSV"}},
        {&RawLogFilter::gbgsv, {"GBGSV"}},
        {&RawLogFilter::gqgsv, {"GQGSV"}}};
    for (const auto& [flag, hidden] : switches) {
        Rig r;
        RawLogFilter filter;
        filter.*flag = false;
        r.intake.SetRawLogFilter(filter);
        std::set<std::string> shown;
        for (const std::string& kind : kinds) r.intake.Arrive(Bytes(Sentence(kind + ",1")));
        for (const std::string& line : r.listener.rawLines) shown.insert(line.substr(1, 5));
        std::set<std::string> expected;
        for (const std::string& kind : kinds)
            if (!hidden.count(kind)) expected.insert(kind);
        EXPECT_EQ(shown, expected) << *hidden.begin();
    }
}

TEST(IntakeDispatcherTest, HowMuchUnconsumedTailIsCarried)
{
    // Unclaimed bytes wait up to kMaxUnclaimed, then are dropped.
    for (const std::size_t n :
         {CIntakeDispatcher::kMaxUnclaimed, CIntakeDispatcher::kMaxUnclaimed + 1}) {
        Rig r;
        r.intake.Arrive(Bytes(std::string(n, 'x')));
        EXPECT_EQ(r.intake.CarriedLength(), n <= CIntakeDispatcher::kMaxUnclaimed ? n : 0u);
        // Bytes that were waiting still count when a sentence completes them.
        r.intake.Arrive(Bytes(std::string(100, 'x') + kGga.substr(0, 20)));
        r.intake.Arrive(Bytes(kGga.substr(20)));
        EXPECT_EQ(r.listener.decoded[ProtocolId::Nmea], 1) << n;
    }
    // A message still arriving is carried up to kMaxCarriedTail bytes: one of exactly that
    // length decodes, one a byte longer cannot be buffered.
    constexpr std::size_t kMax = CIntakeDispatcher::kMaxCarriedTail;
    for (const std::size_t frame : {kMax, kMax + 1})
        for (const std::size_t noise : {0, 1, 1500})
            for (const std::size_t piece : {1024, 700}) {
                Rig r;
                r.intake.Arrive(Bytes(kGga));
                r.ArriveIn(std::string(noise, 'x') + UbxFrame(frame - 8), piece);
                EXPECT_EQ(r.listener.decoded[ProtocolId::Ubx], frame <= kMax ? 1 : 0)
                    << frame << " bytes behind " << noise << ", pieces of " << piece;
            }
}

TEST(IntakeDispatcherTest, MessageBehindNoiseDecodedOnceWhateverThePieces)
{
    const std::pair<std::string, ProtocolId> cases[] = {{kGga, ProtocolId::Nmea},
                                                        {UbxFrame(92), ProtocolId::Ubx},
                                                        {UbxFrame(6000), ProtocolId::Ubx}};
    for (const auto& [message, protocol] : cases)
        for (const std::size_t noise : {0, 255, 256, 300, 1000})
            for (const std::size_t piece : {1, 3, 1024}) {
                Rig r;
                r.ArriveIn(std::string(noise, 'x') + message, piece);
                EXPECT_EQ(r.listener.decoded[protocol], 1)
                    << message.size() << " bytes behind " << noise << ", pieces of " << piece;
            }
}

TEST(StateMergeTest, AuxiliaryGroupsFillWhatTheSourceLacks)
{
    GnssReceiverState aux;
    aux.contentFlags = ContentFlag::Height | ContentFlag::Speed | ContentFlag::Position |
                       ContentFlag::SatellitesInView | ContentFlag::Heading;
    std::tie(aux.ellipsoidHeight, aux.speedKmh, aux.latitudeDeg, aux.headingDeg, aux.inViewTotal) =
        std::tuple(99.0, 42.0f, 1.0, 270.0f, 12);
    // Heights and speed never come from UBX; position and satellites do. What the source
    // delivered this epoch stays the source's.
    const std::tuple<bool, std::uint32_t, double, float, double> cases[] = {
        {true, 0, 5.0, 3.0f, 1.0},
        {false, 0, 99.0, 42.0f, 1.0},
        {false, ContentFlag::Position, 99.0, 42.0f, 7.0}};
    for (const auto& [auxIsUbx, sourceFlags, height, speed, latitude] : cases) {
        GnssReceiverState snapshot;
        std::tie(snapshot.ellipsoidHeight, snapshot.speedKmh, snapshot.latitudeDeg,
                 snapshot.contentFlags) = std::tuple(5.0, 3.0f, 7.0, sourceFlags);
        MergeFieldGroups(aux, auxIsUbx, sourceFlags, snapshot);
        EXPECT_EQ(std::tuple(snapshot.ellipsoidHeight, snapshot.speedKmh, snapshot.latitudeDeg,
                             snapshot.inViewTotal, snapshot.headingDeg,
                             snapshot.Has(ContentFlag::Height)),
                  std::tuple(height, speed, latitude, 12, 270.0f, !auxIsUbx))
            << auxIsUbx << sourceFlags;
    }
}

TEST(ProtocolStartsTest, FindsEachSignature)
{
    using Finder = std::optional<std::size_t> (*)(std::span<const std::uint8_t>);
    const std::string gga = "$GPGGA,1*4A\r\n";
    const std::string far = "$GPGGA," + std::string(110, 'x') + "*4A\r\n";  // '$' 120 before CR
    const std::string tooFar = "$GPGGA," + std::string(111, 'x') + "*4A\r\n";
    const std::tuple<const char*, Finder, std::string, std::optional<std::size_t>> cases[] = {
        {"ubx", FindUbxStart, "ab\xB5\x62\x01", 2},
        {"ubx reversed", FindUbxStart, "\x62\xB5", std::nullopt},
        {"ubx cut", FindUbxStart, "\xB5", std::nullopt},
        {"gsof", FindGsofStart, std::string("z\x02\x28", 3), 1},
        {"gsof status bit clear", FindGsofStart, std::string("\x02\x07\x02", 3), std::nullopt},
        {"sbf", FindSbfStart, "$GP$@", 3},
        {"sbf none", FindSbfStart, "$G@", std::nullopt},
        {"nmea", FindNmeaStart, "junk" + gga, 4},
        {"nmea last dollar before line end", FindNmeaStart, "$GP$GPGGA,1*4A\r\n", 3},
        {"nmea talker P", FindNmeaStart, "$PTNL,AVR*00\r\n", 0},
        {"nmea talker B", FindNmeaStart, "$BDGSV,1*00\r\n", 0},
        {"sbf dollar is no sentence", FindNmeaStart, "$@abc*4A\r\n", std::nullopt},
        {"no star", FindNmeaStart, "$GPGGA,1,44\r\n", std::nullopt},
        {"lf only stream", FindNmeaStart, "$GPGGA,1*4A\n", 0},
        {"lf ignored when crs exist", FindNmeaStart, "$GPGGA,1*4A\n\r", std::nullopt},
        {"120 bytes before line end", FindNmeaStart, far, 0},
        {"121 bytes before line end", FindNmeaStart, tooFar, std::nullopt},
        {"second line after bad one", FindNmeaStart, "$XX*00\r\n" + gga, 8},
    };
    for (const auto& [name, find, bytes, start] : cases)
        EXPECT_EQ(find(Bytes(bytes)), start) << name;
    const std::string text = "ab\r\ncd\nef";
    for (const auto& [at, starts] :
         {std::pair{0, true}, {1, false}, {4, true}, {7, true}, {99, false}})
        EXPECT_EQ(StartsLine(Bytes(text), at), starts) << at;
}

}  // namespace
