#include <gtest/gtest.h>

#include <QAction>
#include <QSettings>

#include "app/command_ids.h"
#include "app/converter_controller.h"
#include "app/map_controller.h"
#include "app/setup_controller.h"
#include "geo/coord_system_table.h"
#include "setup/calculator_dlg.h"
#include "setup/setup_coord_dlg.h"
#include "setup/setup_dlg.h"
#include "setup/setup_ntrip_dlg.h"
#include "setup/setup_replay_dlg.h"
#include "support/frame_support.h"
#include "views/plots_view.h"

namespace {

class SetupFrameTest : public FrameTest {
protected:
    void SetUp() override { store_.Write(settings::kViewMapPlot, 1); }
};

// 382 shows and hides the window with its five tabs, the stored tab in front.
TEST_F(SetupFrameTest, CommandTogglesTheWindowWithItsTabs)
{
    store_.Write(settings::kSetupTab, 4);
    CMainFrame frame(store_);
    QAction* command = &Command(frame, command::kSettings);
    command->trigger();
    CSetupDlg* window = frame.Setup().Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(window->PageCount(), 5);
    EXPECT_EQ(window->CurrentTab(), 4);
    window->SelectTab(1);
    EXPECT_EQ(store_.Get(settings::kSetupTab), 1);
    command->trigger();
    EXPECT_FALSE(window->isVisible());
}

// Apply writes only the page in front, and the window takes the page's settings over at once.
TEST_F(SetupFrameTest, ApplyWritesTheFrontPageAndTheWindowFollows)
{
    CMainFrame frame(store_);
    frame.Setup().Toggle();
    CSetupDlg* window = frame.Setup().Window();
    ASSERT_NE(window, nullptr);
    auto* replay = qobject_cast<CSetupReplayDlg*>(window->Page(0));
    auto* coord = qobject_cast<CSetupCoordDlg*>(window->Page(1));
    ASSERT_TRUE(replay && coord && qobject_cast<CSetupNTripDlg*>(window->Page(2)));

    replay->SetSyncProtocol(1);
    coord->SetPixelSize(7);
    window->SelectTab(2);
    const QStringList before = QSettings(store_.FilePath(), QSettings::IniFormat).allKeys();
    window->Apply();
    QStringList written = QSettings(store_.FilePath(), QSettings::IniFormat).allKeys();
    for (const QString& key : before) written.removeAll(key);
    for (const QString& key : written) EXPECT_TRUE(key.startsWith("NTRIP/")) << key.toStdString();
    EXPECT_EQ(store_.Get(settings::kReplaySyncProtocol), 0);
    EXPECT_NE(frame.PlotView()->PointSize(), 7);

    window->SelectTab(1);
    window->Apply();
    EXPECT_EQ(store_.Get(settings::kPlotPixelSize), 7);
    EXPECT_EQ(frame.PlotView()->PointSize(), 7);
    window->SelectTab(0);
    window->Apply();
    EXPECT_EQ(store_.Get(settings::kReplaySyncProtocol), 1);
}

// 421 opens the converter; its move button drives the plot and the map through the same
// commands other programs use.
TEST_F(SetupFrameTest, ConverterMovesThePointToTheMapAndThePlot)
{
    CMainFrame frame(store_);
    Command(frame, command::kCoordConverter).trigger();
    CCalculatorDlg* converter = frame.Converter().Window();
    ASSERT_NE(converter, nullptr);
    EXPECT_TRUE(converter->isVisible());
    converter->SelectRow(CCalculatorDlg::Side::kSource, kGeographicRow);
    converter->SetDegrees(CCalculatorDlg::Side::kSource, 126.9780, 37.5665);
    converter->MoveSource();
    EXPECT_EQ(frame.PlotView()->LiveCount(), 1u);
    EXPECT_EQ(frame.Map().Waiting(), 1u);
    EXPECT_NEAR(frame.PlotView()->NewestLatitude(), 37.5665, 1e-9);
}

}  // namespace
