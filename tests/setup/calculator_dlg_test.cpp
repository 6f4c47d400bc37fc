#include "setup/calculator_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "geo/coord_converter.h"
#include "geo/coord_system_table.h"
#include "geo/dms.h"
#include "support/qt_support.h"
#include "support/test_data.h"

namespace {

using Side = CCalculatorDlg::Side;

class CalculatorDlgTest : public ::testing::Test {
protected:
    CalculatorDlgTest()
    {
        dialog_.SetMessageSink([this](const QString& m) { messages_ << m; });
    }
    // A field of the dialog; a lost one fails the test (by exception) instead of crashing.
    QLineEdit* Field(const char* name)
    {
        auto* field = dialog_.findChild<QLineEdit*>(QLatin1String(name));
        if (field == nullptr) throw std::runtime_error(std::string("no field ") + name);
        return field;
    }
    double Value(const char* name) { return Field(name)->text().toDouble(); }

    CCalculatorDlg dialog_;
    QStringList messages_;
};

TEST_F(CalculatorDlgTest, RowsShowTheirParametersAndEnableTheirFields)
{
    const auto* list = dialog_.findChild<QComboBox*>("destinationList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), kCoordSystemCount);
    const struct {
        int row;
        QStringList texts;
    } cases[] = {
        {5, {"TM", "127.0028902777778", "38", "500,000", "200,000", "1", "EPSG:5174"}},
        {3, {"TM", "127.5", "38", "2,000,000", "1,000,000", "0.9996", "EPSG:5178"}},
        {12, {"UTM", "129", "0", "0", "500,000", "0.9996", "EPSG:32652"}},
        {22, {"TM", "128", "38", "600,000", "400,000", "0.9999", "NHN:128"}},
        {10, {"", "", "", "", "", "", "EPSG:4326"}},
    };
    for (const auto& c : cases) {
        dialog_.SelectRow(Side::kDestination, c.row);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(Field(qPrintable(QStringLiteral("destinationParam%1").arg(i)))->text(),
                      c.texts[i])
                << c.row;
        const bool geographic = c.row == kGeographicRow;
        EXPECT_EQ(Field("destinationLatDeg")->isEnabled(), geographic);
        EXPECT_EQ(Field("destinationLonS")->isEnabled(), geographic);
        EXPECT_EQ(Field("destinationEast")->isEnabled(), !geographic);
    }
}

TEST_F(CalculatorDlgTest, ConversionsMatchTheConverter)
{
    // Degrees to grid, grid to grid (Bessel and GRS80 with the same origin: no datum shift,
    // only the ellipsoid), grid to degrees.
    const struct {
        int from, to;
        double a, b;
    } cases[] = {{10, 13, 126.881210, 37.473125},
                 {1, 15, 201234.5, 512345.6},
                 {15, 1, 201234.5, 512345.6},
                 {13, 10, 945285.230, 1941724.502}};
    for (const auto& c : cases) {
        dialog_.SelectRow(Side::kSource, c.from);
        dialog_.SelectRow(Side::kDestination, c.to);
        if (c.from == kGeographicRow)
            dialog_.SetDegrees(Side::kSource, c.a, c.b);
        else
            dialog_.SetGrid(Side::kSource, c.a, c.b);
        ASSERT_TRUE(dialog_.Convert());
        double out1 = 0, out2 = 0;
        ASSERT_TRUE(CoordConverter(c.from, c.to).Convert(c.a, c.b, out1, out2).Ok());
        if (c.to == kGeographicRow) {
            EXPECT_NEAR(Value("destinationLonDeg"), out1, 1e-9);
            EXPECT_NEAR(Value("destinationLatDeg"), out2, 1e-9);
            EXPECT_NEAR(out1, 126.881210, 1e-7);  // the known UTM-K point comes back
            EXPECT_EQ(Field("destinationLatD")->text(), "37");
            EXPECT_EQ(Field("destinationLatM")->text(), "28");
        } else {
            EXPECT_NEAR(Value("destinationEast"), out1, 1e-4);
            EXPECT_NEAR(Value("destinationNorth"), out2, 1e-4);
        }
        if (c.from == 1 || c.from == 15) {
            // Same origin, different ellipsoid: metres apart, not the ~300 m of a datum shift.
            EXPECT_LT(std::abs(Value("destinationEast") - c.a), 5.0);
            EXPECT_GT(std::abs(Value("destinationNorth") - c.b), 0.0);
        }
    }
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(CalculatorDlgTest, DmsFieldsRoundTrip)
{
    for (const double value : {37.473125, 126.881210, -45.8775671, 37.99999999}) {
        Field("sourceLatDeg")->setText(QString::number(value, 'f', 9));
        emit Field("sourceLatDeg")->editingFinished();
        int d = 0, m = 0;
        double s = 0;
        ToDms(value, d, m, s);
        EXPECT_EQ(Field("sourceLatD")->text().toInt(), d);
        EXPECT_EQ(Field("sourceLatM")->text().toInt(), m);
        Field("sourceLatDeg")->clear();
        emit Field("sourceLatS")->editingFinished();
        EXPECT_NEAR(Value("sourceLatDeg"), value, 1e-7) << value;  // seconds keep 4 decimals
    }
}

TEST_F(CalculatorDlgTest, MoveButtonsCallTheMapCommandsInOrder)
{
    QStringList calls;
    const auto to = [&calls](const char* where) {
        return [&calls, where](double lat, double lon) {
            calls << QStringLiteral("%1 %2 %3").arg(where).arg(lat, 0, 'f', 6).arg(lon, 0, 'f', 6);
        };
    };
    dialog_.SetMapCommands([&] { calls << "clear"; }, to("map"), to("plot"));
    dialog_.SelectRow(Side::kSource, kGeographicRow);
    dialog_.SetDegrees(Side::kSource, 126.5, 37.25);
    dialog_.MoveSource();
    EXPECT_EQ(calls, QStringList({"map 37.250000 126.500000", "plot 37.250000 126.500000"}));
    // A grid destination sends its grid point back in degrees.
    calls.clear();
    dialog_.SelectRow(Side::kDestination, 1);
    dialog_.SetGrid(Side::kDestination, 200000, 500000);
    dialog_.MoveDestination();
    EXPECT_EQ(calls, QStringList({"clear", "map 38.000000 127.000000"}));
}

TEST_F(CalculatorDlgTest, ExportRunsOnAWorkerToCompletion)
{
    SKIP_WITHOUT_DATA();
    const std::string in =
        (*testdata::DataDir() / "nmea/gpsd_ublox-zed-f9p_nmea41_4gnss.log").string();
    const auto out = testdata::UniqueTempPath("calc.csv");
    dialog_.SelectRow(Side::kDestination, 13);
    QList<QPair<bool, QString>> finished;
    QObject::connect(&dialog_, &CCalculatorDlg::exportFinished, [&](bool ok, const QString& text) {
        finished.append({ok, text});
    });
    ASSERT_TRUE(dialog_.StartExport(QString::fromStdString(in),
                                    QString::fromStdString(out.string()), ExportFormat::kCsv));
    EXPECT_FALSE(dialog_.StartExport(QString::fromStdString(in), "x", ExportFormat::kCsv));
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_TRUE(finished[0].first);
    EXPECT_EQ(finished[0].second, QStringLiteral("변환을 완료하였습니다"));
    EXPECT_EQ(messages_, QStringList({QStringLiteral("변환을 완료하였습니다")}));
    EXPECT_FALSE(dialog_.Exporting());
    std::ifstream csv(out);
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "time,north,east,altitude,quality\r");
    std::filesystem::remove(out);

    // A log that cannot be read: the message, and no file.
    ASSERT_TRUE(dialog_.StartExport("/nonexistent.log", QString::fromStdString(out.string()),
                                    ExportFormat::kGpx));
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 2; }));
    EXPECT_FALSE(finished[1].first);
    EXPECT_EQ(finished[1].second, QStringLiteral("파일을 열 수 없습니다"));
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
