#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/command_ids.h"
#include "app/connection_times.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "settings/settings_store.h"
#include "setup/setup_comm_dlg.h"
#include "support/frame_support.h"
#include "views/graphs/graph_model.h"
#include "views/nmea_data_wnd.h"
#include "views/plot_texts.h"
#include "views/plots_view.h"
#include "views/sky_map_wnd.h"
#include "views/snr_wnd.h"
#include "views/status_texts.h"

namespace {

const QRegularExpression kHangul(QStringLiteral("[\\x{AC00}-\\x{D7A3}\\x{3131}-\\x{318E}]"));

QStringList Placeholders(const QString& text)
{
    QStringList found;
    auto it = QRegularExpression(QStringLiteral("%(\\d|s)")).globalMatch(text);
    while (it.hasNext()) found << it.next().captured();
    found.sort();
    return found;
}

// Every text a widget shows: titles, labels, buttons, items, headers, hints.
void CollectWidgetTexts(QWidget* w, QStringList& out)
{
    out << w->windowTitle() << w->toolTip();
    if (auto* label = qobject_cast<QLabel*>(w)) out << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) out << button->text();
    if (auto* box = qobject_cast<QGroupBox*>(w)) out << box->title();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) out << edit->placeholderText();
    if (auto* menu = qobject_cast<QMenu*>(w)) out << menu->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    if (auto* tabs = qobject_cast<QTabBar*>(w))
        for (int i = 0; i < tabs->count(); ++i) out << tabs->tabText(i);
    if (auto* list = qobject_cast<QListWidget*>(w))
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    if (auto* table = qobject_cast<QTableWidget*>(w)) {
        for (int c = 0; c < table->columnCount(); ++c)
            if (auto* item = table->horizontalHeaderItem(c)) out << item->text();
    }
    for (QAction* action : w->actions()) out << action->text() << action->toolTip();
}

// The texts the views paint rather than hold in widgets.
void CollectPaintedTexts(QStringList& out)
{
    GnssReceiverState state;
    state.latitudeDeg = 37.5;
    state.longitudeDeg = 127.0;
    for (bool relay : {false, true}) {
        for (const CellText& cell : MainCells(state, {}, relay)) out << cell.label << cell.value;
        out << StationLabel(relay);
    }
    for (const CellText& cell : BaseInfoCells(state, QString(), QString()))
        out << cell.label << cell.value;
    for (const FareRow& row : FareRows(FareValuesWithoutMeter(3800)))
        out << row.name << row.amount << row.distance;
    for (const SensorRow& row : SensorRows({})) out << row.time << row.status << row.sensor;
    for (int value = -1; value <= 9; ++value)
        out << FixModeText(value) << QualityText(value) << ImuStateText(value);
    for (int system = 0; system < 7; ++system) out << PlotCoordSystemLabel(system);
    out << PlotEllipsoidLabel() << CConnectionTimes().StatusText(QDateTime::currentDateTime());
    for (const TimeTick& tick : TimeTicks({0, 72000}, 72000, 10.0, true)) out << tick.label;
}

// What the window, every window and dialog its menus open, and its painted texts show.
QStringList ShownTexts()
{
    QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("s.conf")));
    QStringList texts;
    {
        CMainFrame frame(store);
        frame.show();
        for (const int id : {command::kSettings, command::kCoordConverter, command::kRtcmMonitor,
                             command::kHeadingGauge, command::kSpeedGraph, command::kDistanceGraph,
                             command::kNorthSouthGraph, command::kEastWestGraph,
                             command::kElevationGraph, command::kHeadingSumGraph}) {
            Command(frame, id).trigger();
        }
        CSetupCommDlg receiverLink(store, CSetupCommDlg::Target::kReceiverLink, &frame);
        CSetupCommDlg ntripOutput(store, CSetupCommDlg::Target::kNtripOutput, &frame);
        for (QWidget* w : QApplication::allWidgets()) CollectWidgetTexts(w, texts);
        for (QAction* action : frame.findChildren<QAction*>()) texts << action->text();
    }
    CollectPaintedTexts(texts);
    return texts;
}

QStringList Korean(const QStringList& texts)
{
    QStringList korean = texts.filter(kHangul);
    korean.removeDuplicates();
    return korean;
}

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("SKARNET2_NO_MESSAGE_BOXES", "1"); }
    void TearDown() override { InstallLanguage(QStringLiteral("ko")); }
};

// In Korean the walk sees the window's Korean texts; in English none may remain.
TEST_F(LanguageTest, EnglishLeavesNoKoreanTextInAnyWindow)
{
    ASSERT_EQ(InstalledLanguage(), QStringLiteral("ko"));
    EXPECT_GT(Korean(ShownTexts()).size(), 150);
    ASSERT_TRUE(InstallLanguage(QStringLiteral("en")));
    ASSERT_EQ(InstalledLanguage(), QStringLiteral("en"));
    const QStringList left = Korean(ShownTexts());
    EXPECT_TRUE(left.isEmpty()) << left.join(QStringLiteral("\n")).toStdString();
    EXPECT_FALSE(InstallLanguage(QStringLiteral("fr")));
    EXPECT_EQ(InstalledLanguage(), QStringLiteral("ko"));
}

// Texts only messages show (errors, warnings) are checked in the translation itself: every
// Korean text has an English one with the same placeholders and line breaks.
TEST_F(LanguageTest, EveryKoreanTextHasACompleteEnglishTranslation)
{
    QFile file(QStringLiteral(SKARNET2_TS_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString source;
    int checked = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.name() == QLatin1String("translation")) {
            const bool unfinished =
                xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            const QString english = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (!source.contains(kHangul)) continue;
            ++checked;
            const std::string where = source.toStdString();
            EXPECT_FALSE(unfinished || english.isEmpty()) << where;
            EXPECT_FALSE(english.contains(kHangul)) << where;
            EXPECT_EQ(Placeholders(english), Placeholders(source)) << where;
            EXPECT_EQ(english.count(QLatin1Char('\n')), source.count(QLatin1Char('\n'))) << where;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(checked, 250);
}

TEST(LaunchLanguage, CommandLineFirstThenStoredChoice)
{
    QTemporaryDir dir;
    CSettingsStore store(dir.filePath(QStringLiteral("s.conf")));
    // clang-format off
    const struct { const char *stored, *launch, *chosen; } cases[] = {
        {"", "", "ko"}, {"en", "", "en"}, {"ko", "en", "en"}, {"en", "ko", "ko"}, {"xx", "", "ko"}};
    // clang-format on
    for (const auto& c : cases) {
        store.Write(settings::kViewLanguage, QString::fromUtf8(c.stored));
        EXPECT_EQ(ChosenLanguage(store, QString::fromUtf8(c.launch)), QString::fromUtf8(c.chosen))
            << c.stored << "/" << c.launch;
    }
}

}  // namespace
