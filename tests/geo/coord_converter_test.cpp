#include "geo/coord_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "geo/coord_system_table.h"
#include "geo/dms.h"

namespace {

// Reference figures, one point per row about 3 degrees west or east (in turn) of the central
// meridian, from PROJ 9.1.1 (no datum shift, ellipsoid as in the table):
//   echo "LON LAT" | cs2cs -f %.4f +proj=longlat +ellps=E +to +proj=tmerc +lat_0=38
//       +lon_0=L0 +k=K +x_0=FE +y_0=FN +ellps=E        (E = bessel or GRS80)
//   echo "LON LAT" | cs2cs -f %.4f +proj=longlat +a=6378137 +b=6356752.3142 +to
//       +proj=utm +zone=51|52 +a=6378137 +b=6356752.3142   (rows 11 and 12)
// L0 of rows 4..8 is 125/127/127/129/131.0028902777778.
// clang-format off
constexpr std::tuple<int, double, double, double, double> kProjPoints[] = {
    {0, 126.01, 33.10, -79127.7756, -39622.2410}, {1, 130.00, 39.65, 457475.8773, 687453.7232},
    {2, 122.01, 33.60, -77534.6652, 15857.3806}, {3, 130.50, 39.15, 1259219.0335, 2131880.4622},
    {4, 122.01, 34.10, -76187.2056, 71348.0745}, {5, 130.00, 38.65, 460898.1937, 576407.9702},
    {6, 124.01, 34.60, -74550.3141, 176834.2838}, {7, 132.00, 38.15, 462703.5878, 520894.4135},
    {8, 128.01, 35.10, -72892.4857, 182323.7928}, {9, 131.00, 37.65, 664717.5721, 565395.9104},
    {11, 120.01, 35.60, 229124.1874, 3943700.6472}, {12, 132.00, 37.15, 766436.1783, 4115727.1735},
    {13, 124.51, 36.10, 730821.3741, 1793365.4469}, {14, 128.00, 36.65, 468289.4966, 354366.8236},
    {15, 124.01, 36.60, -67567.9290, 348788.1594}, {16, 132.00, 36.15, 470015.7248, 298860.9345},
    {17, 128.01, 37.10, -65829.1000, 404296.9568}, {18, 128.00, 35.65, 471721.3517, 343358.4180},
    {19, 124.01, 37.60, -64069.9828, 559809.1703}, {20, 132.00, 35.15, 473406.2505, 287859.2542},
    {21, 128.01, 38.10, -62290.7082, 615324.8168}, {22, 131.00, 34.65, 675042.7889, 232400.1859},
};
// clang-format on

TEST(CoordConverter, MatchesProjOnEveryGridRow)
{
    for (const auto& [row, lon, lat, east, north] : kProjPoints) {
        double e = 0, n = 0, lo = 0, la = 0;
        ASSERT_TRUE(CoordConverter(kGeographicRow, row).Convert(lon, lat, e, n).Ok());
        // 0.2 mm: PROJ prints 0.1 mm; a Bessel axis 5 mm off moves points by 0.5 mm.
        EXPECT_NEAR(e, east, 2e-4) << row;
        EXPECT_NEAR(n, north, 2e-4) << row;
        ASSERT_TRUE(CoordConverter(row, kGeographicRow).Convert(east, north, lo, la).Ok());
        EXPECT_NEAR(lo, lon, 1e-8) << row;
        EXPECT_NEAR(la, lat, 1e-8) << row;
    }
}

TEST(CoordConverter, ExamplesAndGridToGrid)
{
    // The first two are worked examples; the rest change only the ellipsoid, from PROJ:
    //   echo "X Y 0 0" | cct -d 4 +proj=pipeline +step +inv +proj=tmerc <source definition>
    //       +step +proj=tmerc|utm <destination definition>       (definitions as above)
    const std::tuple<int, int, double, double, double, double> kCases[] = {
        {10, 1, 127.0, 38.0, 200000.0, 500000.0},
        {10, 13, 126.881210, 37.473125, 945285.230, 1941724.502},
        {1, 15, 250000, 450000, 250005.9868, 449994.6441},      // Bessel -> GRS80, 127E
        {16, 0, 150000, 300000, 150005.9747, 300021.3586},      // GRS80 -> Bessel, 129E
        {13, 12, 1000000, 2000000, 368300.3305, 4206876.5232},  // UTM-K -> UTM 52N
        {10, 10, 127.25, 37.5, 127.25, 37.5},                   // no datum shift: identity
    };
    for (const auto& [from, to, x, y, east, north] : kCases) {
        double e = 0, n = 0;
        ASSERT_TRUE(CoordConverter(from, to).Convert(x, y, e, n).Ok());
        EXPECT_NEAR(e, east, 1e-3) << from << "->" << to;
        EXPECT_NEAR(n, north, 1e-3) << from << "->" << to;
    }
}

TEST(CoordConverter, FailuresAreResultsNotExceptions)
{
    double e = 0, n = 0;
    for (const auto& [row, dest] : {std::pair{15, 10}, std::pair{13, 3}, std::pair{11, 12}}) {
        for (double north : {std::nan(""), HUGE_VAL, 1e300, -1e300}) {
            const auto status = CoordConverter(row, dest).Convert(200000.0, north, e, n);
            EXPECT_EQ(status.error, "Latitude failed to converge");
            EXPECT_TRUE(std::isnan(e) && std::isnan(n));
        }
    }
    CoordConverter c(23, 1);
    EXPECT_EQ(c.Convert(127, 38, e, n).error, CoordConverter::kUnknownCoordSystem);
    EXPECT_TRUE(c.SelectSource(10) && !c.SelectDestination(-1) && !c.Convert(1, 2, e, n).Ok());
    // A point on the pole comes back as the pole, not through a division by cos(90).
    ASSERT_TRUE(CoordConverter(10, 15).Convert(127.0, 90.0, e, n).Ok());
    ASSERT_TRUE(CoordConverter(15, 10).Convert(e, n, e, n).Ok());
    EXPECT_NEAR(n, 90.0, 1e-8);
    EXPECT_NEAR(e, 127.0, 1e-8);
}

TEST(CoordSystemTable, UtmZonesAndPlotRows)
{
    const std::tuple<double, int, int> kZones[] = {
        {126.0, 52, 12}, {125.999, 51, 11}, {132.0, 53, 11}, {131.999, 52, 12},
        {120.0, 51, 11}, {119.999, 50, 11}, {-180.0, 1, 11}, {179.999, 60, 11}};
    for (const auto& [lon, zone, row] : kZones)
        EXPECT_EQ(std::pair(UtmZone(lon).value_or(0), PlotUtmRow(lon)), std::pair(zone, row))
            << lon;
    EXPECT_FALSE(UtmZone(std::nan("")).has_value());
    const int kPlotRows[] = {3, 9, 12, 7, 5, 4, 8};
    for (int i = 0; i < kPlotCoordSystemCount; ++i)
        EXPECT_EQ(PlotCoordSystemRow(i, 127.0), kPlotRows[i]);
    EXPECT_EQ(PlotCoordSystemRow(2, 125.0), 11);
    EXPECT_FALSE(PlotCoordSystemRow(7, 127.0).has_value());
    EXPECT_EQ(kCoordSystems[13].name, "GRS80|TM|UTM-K(도로명지도)");
    EXPECT_EQ(kCoordSystems[13].code, "EPSG:5179");
}

TEST(Dms, ToDmsCarriesAndParseDmsReadsStationTexts)
{
    const std::tuple<double, int, int, double> kDms[] = {
        {37.9999999999, 38, 0, 0.0},   {37.99999999, 37, 59, 59.999964},
        {37.49999999999, 37, 30, 0.0}, {126.909371505556, 126, 54, 33.73742},
        {-37.9999999999, -38, 0, 0.0}, {-0.5, 0, -30, 0.0}};
    int d = 0, m = 0;
    double s = 0;
    for (const auto& [value, degrees, minutes, seconds] : kDms) {
        ASSERT_TRUE(ToDms(value, d, m, s));
        EXPECT_EQ(std::pair(d, m), std::pair(degrees, minutes)) << value;
        EXPECT_NEAR(s, seconds, 1e-6) << value;
    }
    EXPECT_FALSE(ToDms(std::nan(""), d, m, s));
    EXPECT_FALSE(ToDms(1e12, d, m, s));

    // Expected: d + m/60 + s/3600.
    const std::pair<const char*, double> kTexts[] = {{"126도 54분 33.73742초", 126.909371505556},
                                                     {" 37도 28분 07.16509초", 37.468656969444},
                                                     {"127도 03분 15.2103초", 127.054225083333},
                                                     {"128도 56분 59.95341초", 128.949987058333},
                                                     {"-126도 30분 0초", -126.5},
                                                     {"-0도 30분 0초", -0.5}};
    for (const auto& [text, degrees] : kTexts)
        EXPECT_NEAR(ParseDms(text).value_or(0), degrees, 1e-11) << text;
    for (const char* bad : {"", "126도 54분", "126 54 33", "126도 x분 1초", "126도 54분 3a초"})
        EXPECT_FALSE(ParseDms(bad).has_value()) << bad;
}

}  // namespace
