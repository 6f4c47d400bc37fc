#include <gtest/gtest.h>

#include <QImage>
#include <climits>
#include <memory>

#include "decode/nmea_parser.h"
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
const QRgb kRed = qRgb(255, 0, 0);
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

QImage Render(QWidget& widget, int width, int height)
{
    widget.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// Bounding box of the pixels of exactly one colour.
QRect ColourBounds(const QImage& image, QRgb colour)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// The same, looking only near a point: antialiased grid labels hold every shade of grey.
QRect ColourBoundsNear(const QImage& image, QRgb colour, QPoint point)
{
    const QRect area = QRect(point - QPoint(40, 30), QSize(81, 61)) & image.rect();
    return ColourBounds(image.copy(area), colour).translated(area.topLeft());
}

bool HasColour(const QImage& image, QRgb colour) { return !ColourBounds(image, colour).isNull(); }

// Text is antialiased: its ink is whatever is clearly darker than the background.
bool HasDarkInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) return true;
    return false;
}

void ExpectCentredAt(const QRect& box, QPoint expected)
{
    ASSERT_FALSE(box.isNull());
    EXPECT_NEAR((box.left() + box.right()) / 2.0, expected.x(), 1.0);
    EXPECT_NEAR((box.top() + box.bottom()) / 2.0, expected.y(), 1.0);
}

}  // namespace

TEST(SkyTexts, FormatsLettersLabelsAndValues)
{
    struct Case {
        QString actual;
        QString expected;
    };
    const Case cases[] = {
        {ConstellationLetter(Constellation::Gps), "G"},
        {ConstellationLetter(Constellation::Sbas), "S"},
        {ConstellationLetter(Constellation::Glonass), "L"},
        {ConstellationLetter(Constellation::Galileo), "A"},
        {ConstellationLetter(Constellation::Qzss), "Q"},
        {ConstellationLetter(Constellation::BeiDou), "B"},
        {ConstellationLetter(Constellation::Unspecified), ""},
        {ConstellationLetter(7), ""},
        {ConstellationLetter(-1), ""},
        {SatelliteLabel(Constellation::Gps, 12), "G12"},
        {SatelliteLabel(Constellation::Sbas, 133), "S133"},
        {SatelliteLabel(Constellation::BeiDou, -3), "B-3"},
        {SpokeLabel(0), "N"},
        {SpokeLabel(30), "30"},
        {SpokeLabel(330), "330"},
        {NumberText(0), "0"},
        {NumberText(-5), "-5"},
        {SnrPopupValueText(45), "45dB"},
        {SnrPopupValueText(0), "0dB"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(SatelliteDisplay, ColoursComeFromBgrValues)
{
    EXPECT_EQ(ColourFromBgr(0xFF0000).rgb(), kBlue);
    EXPECT_EQ(ColourFromBgr(0x0000FF).rgb(), kRed);
    EXPECT_EQ(ColourFromBgr(0x004080).rgb(), qRgb(128, 64, 0));
    EXPECT_EQ(ConstellationColour(Row(Constellation::Gps)).rgb(), kBlue);
    EXPECT_EQ(ConstellationColour(Row(Constellation::Sbas)).rgb(), kPurple);
    EXPECT_EQ(ConstellationColour(Row(Constellation::Glonass)).rgb(), kRed);
    EXPECT_EQ(ConstellationColour(Row(Constellation::BeiDou)).rgb(), qRgb(0, 212, 212));
    EXPECT_EQ(ConstellationColour(Row(Constellation::Qzss)).rgb(), qRgb(128, 64, 0));
    EXPECT_EQ(ConstellationColour(Row(Constellation::Galileo)).rgb(), qRgb(0, 255, 0));
    EXPECT_EQ(ConstellationColour(42).rgb(), qRgb(0, 0, 0));
}

TEST(SatelliteDisplay, InUseRule)
{
    GnssReceiverState own;  // per-constellation lists only
    MarkUsed(own, Row(Constellation::Gps), 5);
    GnssReceiverState combined;  // a list that named no constellation
    MarkUsed(combined, 0, 5);
    MarkUsed(combined, 0, 11);
    struct Case {
        const GnssReceiverState* state;
        Constellation constellation;
        int prn;
        bool inUse;
    };
    const Case cases[] = {
        {&own, Constellation::Gps, 5, true},
        {&own, Constellation::Gps, 6, false},
        {&own, Constellation::Glonass, 5, false},       // other row
        {&combined, Constellation::Glonass, 11, true},  // row 0 matches by number only
        {&combined, Constellation::Gps, 5, true},
        {&combined, Constellation::Galileo, 5, false},  // never from row 0
        {&combined, Constellation::Gps, 6, false},
    };
    for (const Case& c : cases) {
        const SatelliteInView sat{c.prn, 0, 0, {0, 0}, 0, Row(c.constellation)};
        EXPECT_EQ(IsSatelliteInUse(*c.state, sat), c.inUse) << c.prn;
    }
    const SatelliteInView stray{5, 0, 0, {0, 0}, 0, 99};
    EXPECT_FALSE(IsSatelliteInUse(own, stray));
}

TEST(SatelliteDisplay, BandChoice)
{
    struct Case {
        bool l1On, l2On;
        int l1, l2;
        SnrBarChoice expected;  // value, l2Bar, marked, weakerValue, weakerIsL1
    };
    const Case cases[] = {
        {true, false, 30, 45, {30, false, false, 0, false}},
        {false, true, 30, 45, {45, true, false, 0, false}},
        {false, true, 30, 0, {30, false, false, 0, false}},  // no L2: falls back to L1
        {true, true, 40, 20, {40, false, true, 20, false}},
        {true, true, 20, 40, {40, true, true, 20, true}},
        {true, true, 40, 0, {40, false, false, 0, false}},  // nothing to mark
        {false, false, 30, 45, {30, false, false, 0, false}},
        {true, false, 0, 0, {0, false, false, 0, false}},
    };
    for (const Case& c : cases) {
        const SatelliteInView sat{1, 0, 0, {c.l1, c.l2}, 3u, 1};
        EXPECT_EQ(ChooseSnrBar(sat, c.l1On, c.l2On), c.expected) << c.l1 << "/" << c.l2;
    }
}

TEST(SkyGeometry, PolarGridFromClientSize)
{
    // R = min(W, H) / 2 - 30 around (W/2, H/2); satellites 10 pixels lower.
    const PolarGrid grid = SkyGrid(QSize(400, 300));
    EXPECT_EQ(grid.centre, QPoint(200, 150));
    EXPECT_EQ(grid.radius, 120);
    EXPECT_EQ(SkyGrid(QSize(300, 401)).radius, 120);
    EXPECT_EQ(SkyGrid(QSize(40, 40)).radius, 0);
    const PolarGrid sats = SkySatelliteGrid(QSize(400, 300));
    EXPECT_EQ(sats.centre, QPoint(200, 160));
    EXPECT_EQ(SatellitePoint(sats, 90, 123), QPoint(200, 160));
    EXPECT_EQ(SatellitePoint(sats, 0, 0), QPoint(200, 40));
    EXPECT_EQ(SatellitePoint(sats, 0, 90), QPoint(320, 160));
    EXPECT_EQ(SatellitePoint(sats, 30, 180), QPoint(200, 240));  // r = 80
    EXPECT_EQ(SatellitePoint(sats, 120, 45), QPoint(200, 160));
    EXPECT_EQ(SatellitePoint(sats, -10, 270), QPoint(80, 160));
    // 120 * sin 30 = 60, 120 * cos 30 = 103.92.
    EXPECT_EQ(PolarPoint(grid.centre, 120, 30), QPoint(260, 46));
}

TEST(SkyGeometry, SignalChartRows)
{
    // Yb = H - 30; 60 dB-Hz spans H pixels.
    EXPECT_EQ(SnrChartBottom(300), 270);
    EXPECT_EQ(SnrBarTop(300, 30), 120);
    EXPECT_EQ(SnrBarTop(300, 0), 270);
    EXPECT_EQ(SnrBarTop(300, -5), 270);
    EXPECT_EQ(SnrBarTop(300, 90), 0);
    EXPECT_EQ(SnrBarTop(250, 7), 191);  // 220 - 29.17
    // Slot edges at i * (300 / 7) + 0.5, truncated.
    EXPECT_EQ(SnrSlotLeft(300, 7, 1), 43);
    EXPECT_EQ(SnrSlotLeft(300, 7, 3), 129);
    EXPECT_EQ(SnrSlotLeft(300, 7, 7), 300);
    EXPECT_EQ(InnerRect(0, 120, 300, 270), QRect(1, 121, 298, 148));
    EXPECT_TRUE(InnerRect(0, 0, 2, 100).isEmpty());
}

TEST(DisplayToggles, GpsAndSbasAreTiedAndChangesAreSignalled)
{
    CDisplayToggles toggles;
    int changes = 0;
    QObject::connect(&toggles, &CDisplayToggles::changed, [&changes] { ++changes; });
    for (int c = 1; c < kConstellationCount; ++c) EXPECT_TRUE(toggles.IsConstellationOn(c));
    EXPECT_FALSE(toggles.IsConstellationOn(Constellation::Unspecified));
    EXPECT_TRUE(toggles.IsBandOn(CDisplayToggles::Band::L1));
    EXPECT_TRUE(toggles.IsBandOn(CDisplayToggles::Band::L2));

    EXPECT_FALSE(toggles.ToggleConstellation(Constellation::Gps));
    EXPECT_FALSE(toggles.IsConstellationOn(Constellation::Sbas));
    toggles.SetConstellation(Constellation::Sbas, true);
    EXPECT_TRUE(toggles.IsConstellationOn(Constellation::Gps));
    toggles.SetConstellation(Constellation::Glonass, false);
    EXPECT_TRUE(toggles.IsConstellationOn(Constellation::Galileo));
    EXPECT_EQ(changes, 3);

    toggles.SetConstellation(Constellation::Glonass, false);  // no change, no signal
    toggles.SetBand(CDisplayToggles::Band::L1, true);
    EXPECT_EQ(changes, 3);
    EXPECT_FALSE(toggles.ToggleBand(CDisplayToggles::Band::L2));
    EXPECT_TRUE(toggles.IsBandOn(CDisplayToggles::Band::L1));
    EXPECT_EQ(changes, 4);
}

TEST(SkyMapWnd, SatellitesSitOnThePolarGrid)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 7, 90, 0);
    MarkUsed(s, Row(Constellation::Gps), 7);
    CSkyMapWnd zenith;
    zenith.Update(s);
    // 400 x 300: grid centre (200, 150), R = 120, satellites centred 10 pixels lower.
    ExpectCentredAt(ColourBounds(Render(zenith, 400, 300), kBlue), QPoint(200, 160));

    s.satellitesInView[Row(Constellation::Gps)][0].elevationDeg = 0;
    s.satellitesInView[Row(Constellation::Gps)][0].azimuthDeg = 90;
    CSkyMapWnd horizon;
    horizon.Update(s);
    ExpectCentredAt(ColourBounds(Render(horizon, 400, 300), kBlue), QPoint(320, 160));
}

TEST(SkyMapWnd, LabelColourFollowsUseAndOwnConstellation)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 3, 90, 0);
    CSkyMapWnd idle;
    idle.Update(s);
    QImage image = Render(idle, 400, 300);
    EXPECT_FALSE(HasColour(image, kBlue));
    ExpectCentredAt(ColourBoundsNear(image, kIdleGrey, QPoint(200, 160)), QPoint(200, 160));

    // An SBAS satellite listed with GPS keeps the SBAS colour.
    s.satellitesInView[Row(Constellation::Gps)][0].constellation = Row(Constellation::Sbas);
    MarkUsed(s, 0, 3);
    CSkyMapWnd used;
    used.Update(s);
    image = Render(used, 400, 300);
    EXPECT_FALSE(HasColour(image, kBlue));
    ExpectCentredAt(ColourBounds(image, kPurple), QPoint(200, 160));
}

TEST(SkyMapWnd, CountBoxesSpanTheRadius)
{
    CSkyMapWnd wnd;
    const QImage image = Render(wnd, 400, 300);  // R = 120
    EXPECT_EQ(image.pixel(0, 25), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(119, 25), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(121, 12), kWhite);
    EXPECT_EQ(image.pixel(280, 25), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(399, 25), qRgb(0, 0, 0));
}

TEST(SkyViews, GpsOffHidesGpsAndSbasInBothWindows)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 1, 60, 0, 40);
    AddSatellite(s, Constellation::Sbas, 40, 30, 120, 35);
    AddSatellite(s, Constellation::Glonass, 70, 45, 240, 30);
    for (Constellation c : {Constellation::Gps, Constellation::Sbas, Constellation::Glonass})
        MarkUsed(s, Row(c), s.satellitesInView[Row(c)][0].prn);
    CDisplayToggles toggles;
    CSkyMapWnd sky;
    CSnrWnd snr;
    sky.SetToggles(&toggles);
    snr.SetToggles(&toggles);
    sky.Update(s);
    snr.Update(s);
    EXPECT_EQ(snr.ShownSatelliteCount(), 3);
    EXPECT_TRUE(HasColour(Render(sky, 400, 300), kPurple));

    toggles.SetConstellation(Constellation::Gps, false);
    EXPECT_EQ(snr.ShownSatelliteCount(), 1);
    for (const QImage& image : {Render(sky, 400, 300), Render(snr, 300, 300)}) {
        EXPECT_FALSE(HasColour(image, kBlue));
        EXPECT_FALSE(HasColour(image, kPurple));
        EXPECT_TRUE(HasColour(image, kRed));
    }
}

TEST(SnrWnd, NoSignalWithoutSatellitesOrWithEverythingOff)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Glonass, 70, 45, 240, 30);
    CDisplayToggles toggles;
    for (int c = 1; c < kConstellationCount; ++c)
        toggles.SetConstellation(static_cast<Constellation>(c), false);
    CSnrWnd empty;
    CSnrWnd allOff;
    allOff.SetToggles(&toggles);
    allOff.Update(s);
    for (CSnrWnd* wnd : {&empty, &allOff}) {
        const QImage image = Render(*wnd, 300, 300);
        EXPECT_EQ(image.pixel(150, 285), kWhite);  // no label strip
        EXPECT_FALSE(HasColour(image, kRed));
        const QRect text = ColourBounds(image, qRgb(6, 6, 6));
        ASSERT_FALSE(text.isNull());
        EXPECT_NEAR(text.center().x(), 150, 8);
        EXPECT_NEAR(text.center().y(), 150, 8);
    }
}

TEST(SnrWnd, BarHeightAndLabelCell)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 9, 45, 0, 30);
    MarkUsed(s, Row(Constellation::Gps), 9);
    CSnrWnd wnd;
    wnd.Update(s);
    // 300 high: Yb = 270, top = 270 - 30 * 300 / 60 = 120; the bar is shrunk by one pixel.
    const QImage image = Render(wnd, 300, 300);
    EXPECT_EQ(image.pixel(20, 120), kWhite);
    EXPECT_EQ(image.pixel(20, 121), kBlue);
    EXPECT_EQ(image.pixel(20, 268), kBlue);
    EXPECT_EQ(image.pixel(20, 275), kBlue);  // label cell of a satellite in use

    GnssReceiverState idle;
    AddSatellite(idle, Constellation::Gps, 9, 45, 0, 0);
    CSnrWnd zero;
    zero.Update(idle);
    const QImage flat = Render(zero, 300, 300);
    EXPECT_EQ(flat.pixel(20, 275), kIdleGrey);
    EXPECT_TRUE(ColourBounds(flat, kBlue).isNull());      // height 0
    EXPECT_TRUE(HasDarkInk(flat.copy(0, 240, 300, 30)));  // the value "0" above the bar
}

TEST(SnrWnd, L2OnlyShowsL2OutlinedAndFallsBackToL1)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 1, 45, 0, 30, 0);
    AddSatellite(s, Constellation::Gps, 2, 45, 0, 30, 45);
    CDisplayToggles toggles;
    toggles.SetBand(CDisplayToggles::Band::L1, false);
    CSnrWnd wnd;
    wnd.SetToggles(&toggles);
    wnd.Update(s);
    const QImage image = Render(wnd, 300, 300);
    // Slot 0 (0..150): L1 fallback, filled from row 121.
    EXPECT_EQ(image.pixel(20, 120), kWhite);
    EXPECT_EQ(image.pixel(20, 121), kBlue);
    // Slot 1 (150..300): 45 dB-Hz, top 270 - 225 = 45, outline only.
    EXPECT_EQ(image.pixel(220, 46), kBlue);
    EXPECT_EQ(image.pixel(151, 100), kBlue);
    EXPECT_EQ(image.pixel(220, 100), kWhite);
}

TEST(SnrWnd, WeakerBandIsMarkedInsideTheBar)
{
    // 40 dB-Hz: top 70; 20 dB-Hz: 170. The section 70..170 shows the weaker band.
    GnssReceiverState l1Strong;
    AddSatellite(l1Strong, Constellation::Gps, 1, 45, 0, 40, 20);
    CSnrWnd a;
    a.Update(l1Strong);
    QImage image = Render(a, 300, 300);
    EXPECT_EQ(image.pixel(150, 120), kPaleYellow);
    EXPECT_EQ(image.pixel(1, 120), kBlue);  // outline of the section
    EXPECT_EQ(image.pixel(150, 230), kBlue);

    GnssReceiverState l2Strong;
    AddSatellite(l2Strong, Constellation::Gps, 1, 45, 0, 20, 40);
    CSnrWnd b;
    b.Update(l2Strong);
    image = Render(b, 300, 300);
    EXPECT_EQ(image.pixel(150, 120), kBlue);
    EXPECT_EQ(image.pixel(150, 230), kWhite);
    EXPECT_EQ(image.pixel(1, 230), kBlue);
}

TEST(SnrWnd, NmeaMarksSbasOnlyByItsNumber)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 40, 45, 0, 30).constellation = Row(Constellation::Sbas);
    CSnrWnd plain;
    plain.Update(s);
    EXPECT_EQ(Render(plain, 300, 300).pixel(20, 200), kBlue);

    CNmeaParser nmea(nullptr);
    s.owner = &nmea;
    CSnrWnd fromNmea;
    fromNmea.Update(s);
    EXPECT_EQ(Render(fromNmea, 300, 300).pixel(20, 200), kPurple);
}

TEST(SnrWnd, ClickShowsPopupUntilTheMouseMoves)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 9, 45, 0, 30);
    CSnrWnd wnd;
    wnd.Update(s);
    Render(wnd, 300, 300);
    wnd.OnLButtonDown(QPoint(150, 200));
    // The popup's lower edge is the click row; its left border is at the click column.
    QImage image = Render(wnd, 300, 300);
    EXPECT_EQ(image.pixel(150, 195), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(151, 195), kWhite);
    EXPECT_EQ(image.pixel(151, 205), kBlue);
    wnd.OnMouseMove(QPoint(151, 200));
    image = Render(wnd, 300, 300);
    EXPECT_EQ(image.pixel(151, 195), kBlue);
}

TEST(SkyViews, UpdateTakesOnlyWhatTheEpochDelivered)
{
    GnssReceiverState first;
    AddSatellite(first, Constellation::Gps, 9, 45, 0, 30);
    CSnrWnd wnd;
    wnd.Update(first);

    GnssReceiverState usedOnly;
    MarkUsed(usedOnly, Row(Constellation::Gps), 9);
    wnd.Update(usedOnly);
    EXPECT_EQ(wnd.State().inViewCount[Row(Constellation::Gps)], 1);
    EXPECT_EQ(wnd.State().usedCount[Row(Constellation::Gps)], 1);

    GnssReceiverState nothing;  // content flags 0: ignored
    wnd.Update(nothing);
    EXPECT_EQ(wnd.State().satellitesUsed, 1);

    wnd.Clear();
    EXPECT_EQ(wnd.ShownSatelliteCount(), 0);
    EXPECT_TRUE(ColourBounds(Render(wnd, 300, 300), kBlue).isNull());
}

TEST(SkyViews, AbsurdStatesPaintWithoutReadingPastTheTables)
{
    GnssReceiverState s;
    for (int row = 0; row < kConstellationCount; ++row) {
        s.inViewCount[row] = 1000;
        s.usedCount[row] = 500;
        for (SatelliteInView& sat : s.satellitesInView[row])
            sat = SatelliteInView{INT_MIN, 120, INT_MAX, {-5, 100000}, 3u, 99};
    }
    s.inViewCount[Row(Constellation::Qzss)] = -4;
    s.satellitesUsed = 1000;
    s.inViewTotal = INT_MAX;
    s.contentFlags = ~0u;
    CSkyMapWnd sky;
    CSnrWnd snr;
    sky.Update(s);
    snr.Update(s);
    EXPECT_EQ(snr.ShownSatelliteCount(), 5 * kMaxInViewPerConstellation);
    EXPECT_FALSE(Render(sky, 400, 300).isNull());
    EXPECT_FALSE(Render(snr, 300, 300).isNull());
    EXPECT_FALSE(Render(snr, 3, 3).isNull());
    EXPECT_FALSE(Render(sky, 5, 5).isNull());

    // An elevation above 90 is drawn at the zenith, not mirrored through it.
    GnssReceiverState high;
    AddSatellite(high, Constellation::Glonass, 5, 120, 0);
    MarkUsed(high, Row(Constellation::Glonass), 5);
    CSkyMapWnd zenith;
    zenith.Update(high);
    ExpectCentredAt(ColourBounds(Render(zenith, 400, 300), kRed), QPoint(200, 160));
}

TEST(SkyViews, TogglesMayGoAwayBeforeTheWindows)
{
    GnssReceiverState s;
    AddSatellite(s, Constellation::Gps, 9, 45, 0, 30);
    MarkUsed(s, Row(Constellation::Gps), 9);
    CSkyMapWnd sky;
    CSnrWnd snr;
    sky.Update(s);
    snr.Update(s);
    {
        auto toggles = std::make_unique<CDisplayToggles>();
        toggles->SetConstellation(Constellation::Gps, false);
        sky.SetToggles(toggles.get());
        snr.SetToggles(toggles.get());
        EXPECT_FALSE(HasColour(Render(snr, 300, 300), kBlue));
    }
    EXPECT_TRUE(HasColour(Render(sky, 400, 300), kBlue));
    EXPECT_TRUE(HasColour(Render(snr, 300, 300), kBlue));
}
