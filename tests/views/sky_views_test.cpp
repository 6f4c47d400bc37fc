#include <gtest/gtest.h>

#include <QCoreApplication>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "decode/nmea_parser.h"
#include "support/paint_counter.h"
#include "support/qt_support.h"
#include "views/display_toggles.h"
#include "views/satellite_display.h"
#include "views/sky_geometry.h"
#include "views/sky_map_wnd.h"
#include "views/sky_texts.h"
#include "views/snr_wnd.h"

namespace {

// Colours written out from the 0x00BBGGRR table: GPS 0xFF0000 is blue, and so on.
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kPurple = qRgb(212, 0, 212);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kIdleGrey = qRgb(212, 212, 212);
const QRgb kPaleYellow = qRgb(255, 255, 207);

int Row(Constellation c) { return static_cast<int>(c); }

SatelliteInView& AddSatellite(GnssReceiverState& s, Constellation row, int prn, int elevation,
                              int azimuth, int l1 = 0, int l2 = 0)
{
    SatelliteInView& sat = s.satellitesInView[Row(row)][s.inViewCount[Row(row)]++];
    sat = SatelliteInView{prn, elevation, azimuth, {l1, l2}, 3u, Row(row)};
    ++s.inViewTotal;
    s.contentFlags |= ContentFlag::SatellitesInView;
    return sat;
}

void MarkUsed(GnssReceiverState& s, int row, int prn)
{
    s.usedPrn[row][s.usedCount[row]++] = prn;
    ++s.usedTotal;
    ++s.satellitesUsed;
    s.contentFlags |= ContentFlag::SatellitesUsed;
}

// One GPS satellite, in use unless told otherwise.
GnssReceiverState OneGps(int elevation, int azimuth, int l1 = 30, int l2 = 0, bool used = true)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 9, elevation, azimuth, l1, l2);
    if (used) MarkUsed(s, Row(Constellation::Gps), 9);
    return s;
}

template <class Wnd>
QImage Paint(const GnssReceiverState& s, QSize size, const CDisplayToggles* toggles = nullptr)
{
    Wnd wnd;
    wnd.SetToggles(toggles);
    wnd.Update(s);
    return RenderWidget(wnd, size);
}
const QSize kSky(400, 300);
const QSize kSnr(300, 300);

bool HasColour(const QImage& image, QRgb colour) { return !ColourBounds(image, colour).isNull(); }

void ExpectCentredAt(const QRect& box, QPoint expected)
{
    ASSERT_FALSE(box.isNull());
    EXPECT_NEAR((box.left() + box.right()) / 2.0, expected.x(), 1.0);
    EXPECT_NEAR((box.top() + box.bottom()) / 2.0, expected.y(), 1.0);
}

}  // namespace

TEST(SkyTexts, LabelsAndColours)
{
    using C = Constellation;
    // The letter table's ends, and the 0x00BBGGRR byte order.
    const std::pair<QString, const char*> cases[] = {{SatelliteLabel(C::Sbas, 133), "S133"},
                                                     {SatelliteLabel(C::BeiDou, -3), "B-3"},
                                                     {ConstellationLetter(7), ""},
                                                     {ConstellationLetter(-1), ""},
                                                     {SpokeLabel(0), "N"},
                                                     {SpokeLabel(330), "330"}};
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, QString::fromUtf8(expected));
    EXPECT_EQ(ColourFromBgr(0x004080).rgb(), qRgb(128, 64, 0));
    EXPECT_EQ(ConstellationColour(42).rgb(), qRgb(0, 0, 0));
}

TEST(SatelliteDisplay, InUseRule)
{
    GnssReceiverState own;  // per-constellation lists only
    MarkUsed(own, Row(Constellation::Gps), 5);
    GnssReceiverState combined;  // a list that named no constellation
    MarkUsed(combined, 0, 5);
    MarkUsed(combined, 0, 11);
    using C = Constellation;
    // Row 0 matches by number only, never for Galileo.
    // clang-format off
    const std::tuple<const GnssReceiverState*, C, int, bool> cases[] = {{&own, C::Gps, 5, true},
        {&own, C::Gps, 6, false}, {&own, C::Glonass, 5, false}, {&combined, C::Glonass, 11, true},
        {&combined, C::Galileo, 5, false}, {&combined, C::Gps, 6, false}};
    // clang-format on
    for (const auto& [state, constellation, prn, inUse] : cases) {
        const SatelliteInView sat{prn, 0, 0, {0, 0}, 0, Row(constellation)};
        EXPECT_EQ(IsSatelliteInUse(*state, sat), inUse) << prn;
    }
    EXPECT_FALSE(IsSatelliteInUse(own, SatelliteInView{5, 0, 0, {0, 0}, 0, 99}));
}

TEST(SatelliteDisplay, BandChoice)
{
    // L1 on, L2 on, L1 and L2 values; then value, L2 bar, marked, weaker value, weaker is L1.
    // No L2 value falls back to L1; a missing weaker value marks nothing.
    // clang-format off
    const int cases[][9] = {{1, 0, 30, 45, 30, 0, 0, 0, 0}, {0, 1, 30, 45, 45, 1, 0, 0, 0},
        {0, 1, 30, 0, 30, 0, 0, 0, 0}, {1, 1, 40, 20, 40, 0, 1, 20, 0},
        {1, 1, 20, 40, 40, 1, 1, 20, 1}, {1, 1, 40, 0, 40, 0, 0, 0, 0},
        {0, 0, 30, 45, 30, 0, 0, 0, 0}};
    // clang-format on
    for (const auto& c : cases) {
        const SnrBarChoice expected{c[4], c[5] != 0, c[6] != 0, c[7], c[8] != 0};
        const SatelliteInView sat{1, 0, 0, {c[2], c[3]}, 3u, 1};
        EXPECT_EQ(ChooseSnrBar(sat, c[0] != 0, c[1] != 0), expected) << c[2] << "/" << c[3];
    }
}

TEST(SkyGeometry, AzimuthAndElevationToPixels)
{
    // R = min(W, H) / 2 - 30 around (W/2, H/2); satellites 10 pixels lower.
    EXPECT_EQ(SkyGrid(QSize(400, 300)).centre, QPoint(200, 150));
    EXPECT_EQ(SkyGrid(QSize(300, 401)).radius, 120);
    EXPECT_EQ(SkyGrid(QSize(40, 40)).radius, 0);
    const PolarGrid sats = SkySatelliteGrid(kSky);
    ASSERT_EQ(sats.centre, QPoint(200, 160));
    ASSERT_EQ(sats.radius, 120);
    // Elevation, azimuth, pixel; both sides of 0 and 90 degrees elevation.
    const std::tuple<int, int, QPoint> cases[] = {
        {90, 123, {200, 160}}, {120, 45, {200, 160}}, {89, 90, {201, 160}},
        {0, 0, {200, 40}},     {-10, 270, {80, 160}}, {1, 270, {81, 160}},
        {0, 90, {320, 160}},   {30, 180, {200, 240}},  // r = 80
        {45, 30, {230, 108}}                           // r = 60: 60 sin 30 = 30, 60 cos 30 = 51.96
    };
    // The sky map paints a satellite centred there.
    for (const auto& [elevation, azimuth, point] : cases) {
        SCOPED_TRACE(testing::Message() << elevation << "/" << azimuth);
        EXPECT_EQ(SatellitePoint(sats, elevation, azimuth), point);
        ExpectCentredAt(ColourBounds(Paint<CSkyMapWnd>(OneGps(elevation, azimuth), kSky), kBlue),
                        point);
    }
}

TEST(SkyGeometry, SignalBarHeightPerDbHz)
{
    // Yb = H - 30; 60 dB-Hz span H pixels.
    const std::tuple<int, int, int> tops[] = {{300, 30, 120}, {300, 0, 270}, {300, -5, 270},
                                              {300, 90, 0},   {250, 7, 191},  // 220 - 29.17
                                              {240, 30, 90},  {600, 45, 120}};
    for (const auto& [height, value, top] : tops)
        EXPECT_EQ(SnrBarTop(height, value), top) << height << "/" << value;
    // Slot edges at i * (300 / 7) + 0.5, truncated.
    for (const auto& [i, left] : {std::pair{1, 43}, {3, 129}, {7, 300}})
        EXPECT_EQ(SnrSlotLeft(300, 7, i), left) << i;
    EXPECT_EQ(InnerRect(0, 120, 300, 270), QRect(1, 121, 298, 148));
    EXPECT_TRUE(InnerRect(0, 0, 2, 100).isEmpty());
}

TEST(SkyMapWnd, LabelColourFollowsUseAndOwnConstellation)
{
    GnssReceiverState s = OneGps(90, 0, 0, 0, false);
    QImage image = Paint<CSkyMapWnd>(s, kSky);
    EXPECT_FALSE(HasColour(image, kBlue));
    // Antialiased grid labels hold every shade of grey: look near the satellite only.
    ExpectCentredAt(ColourBounds(image, kIdleGrey, QRect(160, 130, 81, 61)), QPoint(200, 160));
    // An SBAS satellite listed with GPS keeps the SBAS colour.
    s.satellitesInView[Row(Constellation::Gps)][0].constellation = Row(Constellation::Sbas);
    MarkUsed(s, 0, 9);
    image = Paint<CSkyMapWnd>(s, kSky);
    EXPECT_FALSE(HasColour(image, kBlue));
    ExpectCentredAt(ColourBounds(image, kPurple), QPoint(200, 160));
}

// At 100 Hz the signal strengths change at every epoch; the map shows none of them and must
// not be painted again for them.
TEST(SkyMapWnd, RepaintsOnlyWhenWhatItShowsChanges)
{
    PaintCounter counter;
    CSkyMapWnd wnd;
    wnd.resize(kSky);
    wnd.installEventFilter(&counter);
    wnd.show();
    ASSERT_TRUE(WaitFor([&] { return counter.paints > 0; }));
    GnssReceiverState s = OneGps(45, 90, 30);
    constexpr int kGps = static_cast<int>(Constellation::Gps);
    const auto paintsFor = [&](const std::function<void(GnssReceiverState&)>& change) {
        change(s);
        counter.paints = 0;
        wnd.Update(s);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return counter.paints;
    };
    const std::vector<std::tuple<const char*, std::function<void(GnssReceiverState&)>, bool>> cases{
        {"first epoch", [](GnssReceiverState&) {}, true},
        {"same epoch", [](GnssReceiverState&) {}, false},
        {"signal strengths",
         [](GnssReceiverState& e) {
             e.satellitesInView[kGps][0].snr[0] = 41;
             e.satellitesInView[kGps][0].snr[1] = 20;
         },
         false},
        {"azimuth", [](GnssReceiverState& e) { e.satellitesInView[kGps][0].azimuthDeg = 91; },
         true},
        {"elevation", [](GnssReceiverState& e) { e.satellitesInView[kGps][0].elevationDeg = 44; },
         true},
        {"out of use", [](GnssReceiverState& e) { e.usedPrn[kGps][0] = 10; }, true},
        {"count in use", [](GnssReceiverState& e) { e.satellitesUsed = 7; }, true},
        {"another satellite",
         [](GnssReceiverState& e) { AddSatellite(e, Constellation::Glonass, 3, 20, 10); }, true},
    };
    for (const auto& [name, change, repaint] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(paintsFor(change) > 0, repaint);
    }
}

TEST(SnrWnd, BarsAndLabelCellsLandOnTheirPixels)
{
    using C = Constellation;
    const GnssReceiverState used = OneGps(45, 0), l1Strong = OneGps(45, 0, 40, 20, false),
                            l2Strong = OneGps(45, 0, 20, 40, false);
    GnssReceiverState twoBands;  // slot 0: L1 only; slot 1: L1 and L2
    AddSatellite(twoBands, C::Gps, 1, 45, 0, 30, 0);
    AddSatellite(twoBands, C::Gps, 2, 45, 0, 30, 45);
    GnssReceiverState sbas;  // NMEA lists SBAS under GPS and marks it only by its number
    AddSatellite(sbas, C::Gps, 40, 45, 0, 30).constellation = Row(C::Sbas);
    GnssReceiverState nmeaSbas = sbas;
    CNmeaParser nmea(nullptr);
    nmeaSbas.owner = &nmea;
    CDisplayToggles l1Off;
    l1Off.SetBand(CDisplayToggles::Band::L1, false);
    // H high: the chart bottom Yb = H - 30, a bar of v dB-Hz tops at Yb - v * H / 60 and is
    // shrunk by one pixel; the label cell of a satellite in use takes its colour.
    // clang-format off
    struct Case { const char* what; const GnssReceiverState* state; QSize size;
                  const CDisplayToggles* toggles; std::vector<std::pair<QPoint, QRgb>> pixels; };
    const Case cases[] = {
        {"30 dB-Hz, 300 high: top 120", &used, kSnr, nullptr,
         {{{20, 120}, kWhite}, {{20, 121}, kBlue}, {{20, 268}, kBlue}, {{20, 275}, kBlue}}},
        {"30 dB-Hz, 240 high: top 90", &used, QSize(300, 240), nullptr,
         {{{20, 90}, kWhite}, {{20, 91}, kBlue}}},
        {"L1 off: L1 fallback, L2 45 dB-Hz outlined", &twoBands, kSnr, &l1Off,
         {{{20, 120}, kWhite}, {{20, 121}, kBlue}, {{220, 46}, kBlue}, {{151, 100}, kBlue},
          {{220, 100}, kWhite}}},
        {"weaker L2 marked from 70 to 170", &l1Strong, kSnr, nullptr,
         {{{150, 120}, kPaleYellow}, {{1, 120}, kBlue}, {{150, 230}, kBlue},
          {{20, 275}, kIdleGrey}}},
        {"weaker L1 marked, L2 bar outlined", &l2Strong, kSnr, nullptr,
         {{{150, 120}, kBlue}, {{150, 230}, kWhite}, {{1, 230}, kBlue}}},
        {"SBAS under GPS", &sbas, kSnr, nullptr, {{{20, 200}, kBlue}}},
        {"SBAS under GPS from NMEA", &nmeaSbas, kSnr, nullptr, {{{20, 200}, kPurple}}}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage image = Paint<CSnrWnd>(*c.state, c.size, c.toggles);
        for (const auto& [p, rgb] : c.pixels)
            EXPECT_EQ(image.pixel(p), rgb) << p.x() << "," << p.y();
    }
    // No bar at 0 dB-Hz, but its value "0" above the chart bottom: dark antialiased ink.
    const QImage flat = Paint<CSnrWnd>(OneGps(45, 0, 0, 0, false), kSnr);
    EXPECT_FALSE(HasColour(flat, kBlue));
    bool ink = false;
    for (int y = 240; y < 270; ++y)
        for (int x = 0; x < 300; ++x) ink = ink || qGray(flat.pixel(x, y)) < 100;
    EXPECT_TRUE(ink);
}

// The chart keeps its frame and label cells between paints: whatever changes, a kept chart must
// look as a new one given the same state.
TEST(SnrWnd, KeptChartLooksAsANewOne)
{
    constexpr int kGps = static_cast<int>(Constellation::Gps);
    GnssReceiverState s = OneGps(45, 90, 30);
    AddSatellite(s, Constellation::Gps, 12, 30, 10, 41, 35);
    const std::vector<std::tuple<const char*, std::function<void(GnssReceiverState&)>, QSize>>
        steps{
            {"first", [](GnssReceiverState&) {}, kSnr},
            {"signals", [](GnssReceiverState& e) { e.satellitesInView[kGps][0].snr[0] = 44; },
             kSnr},
            {"into use", [](GnssReceiverState& e) { MarkUsed(e, kGps, 12); }, kSnr},
            {"other number", [](GnssReceiverState& e) { e.satellitesInView[kGps][1].prn = 13; },
             kSnr},
            {"another satellite",
             [](GnssReceiverState& e) { AddSatellite(e, Constellation::Glonass, 3, 20, 10, 38); },
             kSnr},
            {"resized", [](GnssReceiverState&) {}, QSize(240, 200)},
        };
    CSnrWnd kept;
    for (const auto& [name, change, size] : steps) {
        SCOPED_TRACE(name);
        change(s);
        kept.Update(s);
        EXPECT_EQ(RenderWidget(kept, size), Paint<CSnrWnd>(s, size));
    }
}

TEST(SkyViews, CountsPastTheTablesAreClamped)
{
    GnssReceiverState s;
    for (int row = 0; row < kConstellationCount; ++row) {
        s.inViewCount[row] = 1000;
        s.usedCount[row] = 500;
    }
    s.inViewCount[Row(Constellation::Qzss)] = -4;
    s.contentFlags = ~0u;
    CSnrWnd snr;
    snr.Update(s);
    EXPECT_EQ(snr.ShownSatelliteCount(), 5 * kMaxInViewPerConstellation);
    // Under the sanitizers: no read past the tables.
    RenderWidget(snr, kSnr);
    Paint<CSkyMapWnd>(s, kSky);
}
