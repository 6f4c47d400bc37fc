#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/relay_client.h"
#include "app/replay_controller.h"
#include "settings/settings_store.h"

// The frame's commands: menus, toolbars and the status bar's panes.

namespace {

constexpr std::array<int, CMainFrame::kStatusPaneCount> kPaneWidths{200, 100, 150, 400,
                                                                    150, 150, 150, 100};

}  // namespace

QAction* CMainFrame::AddCommand(int command, const QString& text, bool enabled)
{
    auto* action = new QAction(text, this);
    action->setData(command);
    action->setEnabled(enabled);
    actions_.insert(command, action);
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenu* port = menuBar()->addMenu(tr("컴포트(&F)"));
    port->addAction(AddCommand(command::kOpenPort, tr("컴포트 열기(&O)"), true));
    port->addAction(AddCommand(command::kClosePort, tr("컴포트 닫기(&C)"), false));
    port->addSeparator();
    port->addAction(AddCommand(command::kExit, tr("끝내기(&X)"), true));
    connect(Action(command::kExit), &QAction::triggered, this, &QWidget::close);

    QMenu* save = menuBar()->addMenu(tr("저장(&S)"));
    save->addAction(AddCommand(command::kRecordStart, tr("시작하기(&S)"), true));
    save->addAction(AddCommand(command::kRecordStop, tr("중지하기(&T)"), false));
    QMenu* replay = menuBar()->addMenu(tr("리플레이(&R)"));
    replay->addAction(AddCommand(command::kReplayStart, tr("시작하기(&S)"), true));
    replay->addAction(AddCommand(command::kReplayStop, tr("중지하기(&T)"), false));
    QMenu* ntrip = menuBar()->addMenu(tr("NTRIP(&N)"));
    ntrip->addAction(AddCommand(command::kNtripStart, tr("시작하기(&S)"), false));
    ntrip->addAction(AddCommand(command::kNtripStop, tr("중지하기(&T)"), false));

    QMenu* map = menuBar()->addMenu(tr("맵(&M)"));
    map->addAction(AddCommand(command::kWebMap, tr("구글맵(&D)"), true));
    map->addAction(AddCommand(command::kPlotMap, tr("플롯맵(&P)"), true));
    AddCommand(command::kMapAndPlot, tr("지도+PLOT"), true);
    const std::pair<int, void (CMainFrame::*)()> modes[] = {
        {command::kWebMap, &CMainFrame::OnWebMap},
        {command::kPlotMap, &CMainFrame::OnPlotMap},
        {command::kMapAndPlot, &CMainFrame::OnMapAndPlot}};
    for (const auto& [id, slot] : modes) {
        Action(id)->setCheckable(true);
        connect(Action(id), &QAction::triggered, this, slot);
    }

    QMenu* tools = menuBar()->addMenu(tr("도구(&T)"));
    tools->addAction(AddCommand(command::kSettings, tr("설정/거리계산(&O)"), false));
    tools->addAction(AddCommand(command::kCoordConverter, tr("좌표변환(&C)"), false));
    tools->addAction(AddCommand(command::kRtcmMonitor, tr("RTCM 모니터(&R)"), true));
    tools->addAction(AddCommand(command::kHeadingGauge, tr("방향계"), false));
    tools->addAction(AddCommand(command::kSpeedGraph, tr("속도그래프"), false));
    tools->addAction(AddCommand(command::kDistanceGraph, tr("거리그래프"), false));
    tools->addAction(AddCommand(command::kNorthSouthGraph, tr("N-S 그래프"), false));
    tools->addAction(AddCommand(command::kEastWestGraph, tr("E-W 그래프"), false));
    tools->addAction(AddCommand(command::kElevationGraph, tr("표고 그래프"), false));
    tools->addAction(AddCommand(command::kHeadingSumGraph, tr("방향누적 그래프"), false));

    QMenu* viewer = menuBar()->addMenu(tr("뷰어(&V)"));
    viewer->addAction(AddCommand(command::kNextMainView, tr("메인뷰어변경"), true));
    QMenu* look = viewer->addMenu(tr("모양(&L)"));
    look->addAction(AddCommand(command::kLookSystem, tr("시스템 스타일(&D)"), true));
    look->addAction(AddCommand(command::kLookFusionLight, tr("Fusion 밝은 스타일(&F)"), true));
    look->addAction(AddCommand(command::kLookFusionDark, tr("Fusion 어두운 스타일(&K)"), true));
    QMenu* language = viewer->addMenu(tr("언어(&G)"));
    language->addAction(AddCommand(command::kLanguageKorean, tr("한국어"), true));
    language->addAction(AddCommand(command::kLanguageEnglish, QStringLiteral("English"), true));
    connect(Action(command::kNextMainView), &QAction::triggered, this, &CMainFrame::OnNextMainView);

    QMenu* help = menuBar()->addMenu(tr("정보(&H)"));
    help->addAction(AddCommand(command::kAbout, tr("Skarnet2 정보(&A)..."), true));
    connect(Action(command::kAbout), &QAction::triggered, this, &CMainFrame::OnAbout);
}

void CMainFrame::CreateToolbars()
{
    QToolBar* main = addToolBar(tr("메인"));
    main->setObjectName(QStringLiteral("mainToolBar"));
    const int groups[][3] = {{command::kOpenPort, command::kClosePort, 0},
                             {command::kReplayStart, command::kReplayStop, 0},
                             {command::kRecordStart, command::kRecordStop, 0},
                             {command::kNtripStart, command::kNtripStop, 0},
                             {command::kWebMap, command::kPlotMap, command::kMapAndPlot},
                             {command::kSettings, 0, 0},
                             {command::kCoordConverter, 0, 0},
                             {command::kNextMainView, 0, 0},
                             {command::kAbout, 0, 0}};
    for (const auto& group : groups) {
        for (const int id : group) {
            if (id != 0) main->addAction(Action(id));
        }
        main->addSeparator();
    }

    addToolBarBreak();
    QToolBar* filters = addToolBar(tr("필터"));
    filters->setObjectName(QStringLiteral("filterToolBar"));
    const std::pair<int, const char*> toggles[] = {
        {command::kGps, "GPS"},       {command::kSbas, "SBAS"}, {command::kGlonass, "GLONASS"},
        {command::kBeidou, "BEIDOU"}, {command::kQzss, "QZSS"}, {command::kGalileo, "GALILEO"},
        {command::kL1, "L1"},         {command::kL2, "L2"},     {command::kGga, "GGA"},
        {command::kRmc, "RMC"},       {command::kGsa, "GSA"},   {command::kGsv, "GSV"}};
    for (const auto& [id, text] : toggles) {
        QAction* action = AddCommand(id, QString::fromLatin1(text), true);
        action->setCheckable(true);
        action->setChecked(true);
        const int command = id;  // clang 14 cannot capture a structured binding
        connect(action, &QAction::toggled, this,
                [this, command](bool on) { OnFilterToggle(command, on); });
        filters->addAction(action);
        if (id == command::kGalileo || id == command::kL2) filters->addSeparator();
    }

    QToolBar* third = addToolBar(tr("도구"));
    third->setObjectName(QStringLiteral("thirdToolBar"));
    third->addAction(AddCommand(command::kClear, tr("지우기"), true));
    connect(Action(command::kClear), &QAction::triggered, this, &CMainFrame::OnClear);
    auto* extraction = new QComboBox(third);
    extraction->addItems({QString(), QStringLiteral("VTG"), QStringLiteral("RMC"),
                          QStringLiteral("GGA"), QStringLiteral("GSA"), QStringLiteral("GSV"),
                          QStringLiteral("BIN"), QStringLiteral("LOGS")});
    extraction->setCurrentIndex(0);
    connect(extraction, &QComboBox::currentTextChanged, replay_.get(),
            &CReplayController::SetExtractionType);
    third->addWidget(extraction);
    third->addWidget(relay_->DeviceCombo());
}

// Web map, plot or both; the first two are kept for the next start.
void CMainFrame::SetViewMode(int mode)
{
    viewMode_ = mode;
    Action(command::kWebMap)->setChecked(mode == 0);
    Action(command::kPlotMap)->setChecked(mode == 1);
    Action(command::kMapAndPlot)->setChecked(mode == 2);
    PlaceViews();
}

void CMainFrame::OnWebMap()
{
    SetViewMode(0);
    store_.Write(settings::kViewMapPlot, 0);
}

void CMainFrame::OnPlotMap()
{
    SetViewMode(1);
    store_.Write(settings::kViewMapPlot, 1);
}

// Side by side needs the large pane, which only arrangement 0 gives the map.
void CMainFrame::OnMapAndPlot()
{
    mainView_ = 0;
    SetViewMode(2);
}

void CMainFrame::CreateStatusBar()
{
    for (int i = 0; i < kStatusPaneCount; ++i) {
        panes_[static_cast<std::size_t>(i)] = new QLabel(this);
        panes_[static_cast<std::size_t>(i)]->setMinimumWidth(
            kPaneWidths[static_cast<std::size_t>(i)]);
        statusBar()->addWidget(panes_[static_cast<std::size_t>(i)], i == 0 ? 1 : 0);
    }
    SetPane(pane::kConnection, QStringLiteral("Not Connected"));
    SetPane(pane::kPort, QStringLiteral("COM1 / 9600bps"));
    SetPane(pane::kTimes, tr("시작[-] / Fixed[-] / 경과[-]"));
    SetPane(pane::kNtrip, QStringLiteral("NTRIP : Not Connected"));
    SetPane(pane::kRtcm, QStringLiteral("RTCM Recv : 0"));
    SetPane(pane::kSix, QStringLiteral("-"));
    SetPane(pane::kInternet, tr("인터넷 안됨"));
}

void CMainFrame::OnFilterToggle(int command, bool on)
{
    switch (command) {
        case command::kGps:
        case command::kSbas:
            // GPS and SBAS always go together.
            toggles_.SetConstellation(Constellation::Gps, on);
            for (const int tied : {command::kGps, command::kSbas}) {
                if (Action(tied)->isChecked() != on) Action(tied)->setChecked(on);
            }
            rawLogFilter_.gpgsv = on;
            break;
        case command::kGlonass:
            toggles_.SetConstellation(Constellation::Glonass, on);
            rawLogFilter_.glgsv = on;
            break;
        case command::kBeidou:
            toggles_.SetConstellation(Constellation::BeiDou, on);
            rawLogFilter_.gbgsv = on;
            break;
        case command::kQzss:
            toggles_.SetConstellation(Constellation::Qzss, on);
            rawLogFilter_.gqgsv = on;
            break;
        case command::kGalileo:
            toggles_.SetConstellation(Constellation::Galileo, on);
            rawLogFilter_.gagsv = on;
            break;
        case command::kL1: toggles_.SetBand(CDisplayToggles::Band::L1, on); break;
        case command::kL2: toggles_.SetBand(CDisplayToggles::Band::L2, on); break;
        case command::kGga: rawLogFilter_.gga = on; break;
        case command::kRmc: rawLogFilter_.rmc = on; break;
        case command::kGsa: rawLogFilter_.gsa = on; break;
        case command::kGsv: rawLogFilter_.gsv = on; break;
        default: return;
    }
    if (QAction* action = Action(command); action && action->isChecked() != on) {
        action->setChecked(on);
    }
    intake_.SetRawLogFilter(rawLogFilter_);
}
