#include "setup/calculator_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "geo/coord_converter.h"
#include "geo/coord_system_table.h"
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

}  // namespace
