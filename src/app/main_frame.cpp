#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>
#include <ctime>

#include "app/command_ids.h"
#include "settings/settings_store.h"
#include "settings/taxi_meter_settings_reader.h"
#include "app/version.h"
#include "decode/nmea_parser.h"
#include "link/comm.h"
#include "link/port_watcher.h"
#include "link/socket_client.h"
#include "logio/missing_check.h"
#include "setup/setup_comm_dlg.h"
#include "views/calc_status_dlg.h"
#include "views/missing_log_dlg.h"
#include "views/nmea_data_wnd.h"
#include "views/nmea_log_dlg.h"
#include "views/plots_view.h"
#include "views/record_dlg.h"
#include "views/reference_stations.h"
#include "views/replay_dlg.h"
#include "views/replay_speed.h"
#include "views/sky_map_wnd.h"
#include "views/snr_wnd.h"

namespace {

constexpr std::array<int, CMainFrame::kStatusPaneCount> kPaneWidths{200, 100, 150, 400,
                                                                    150, 150, 150, 100};
constexpr int kPaneConnection = 1;
constexpr int kPanePort = 2;
constexpr int kPaneTimes = 3;
constexpr int kPaneNtrip = 4;
constexpr int kPaneRtcm = 5;
constexpr int kPaneSix = 6;
constexpr int kPaneInternet = 7;

constexpr std::int32_t kTaxiOperation = 1;
constexpr int kReplayWindowHeight = 50;
constexpr int kRecordWindowHeight = 32;
constexpr std::int32_t kErrorBaseStation = 1;
constexpr std::int32_t kErrorBaseArbitrary = 3;
// Fix quality numbers the plot draws in their own colours; the rest count as GPS.
constexpr std::int32_t kClassNoFix = 0;
constexpr std::int32_t kClassGps = 1;
constexpr std::int32_t kFixMode2D = 2;

bool Usable(double v) { return std::isfinite(v) && v != 0.0; }

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainFrame::CMainFrame(CSettingsStore& store, QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      intake_(*this),
      comm_(std::make_unique<CComm>()),
      socket_(std::make_unique<CSocketClient>()),
      portWatcher_(std::make_unique<CPortWatcher>())
{
    setWindowTitle(MainWindowTitle());
    CreateViews();
    CreateMenus();
    CreateToolbars();
    CreateStatusBar();

    intake_.SetSyncProtocol(store_.ReadSyncProtocol());
    intake_.SetSkipChecksum(store_.Get(settings::kReplaySkipChecksum) != 0);
    intake_.SetDecoderSetup([this](CParser& parser) { ConfigureDecoder(parser); });
    recorder_.SetLatestLogging(store_.Get(settings::kReplayLatestLogging) != 0);
    operationType_ = store_.Get(settings::kNmeaOperationType);
    taxiMeter_.LoadSettings(LoadTaxiMeterSettings(store_));

    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(kIdleFlushMs);
    connect(&idleTimer_, &QTimer::timeout, this, &CMainFrame::OnIdleFlush);
    paintTimer_.setSingleShot(true);
    connect(&paintTimer_, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    paintClock_.start();
    clockTimer_.setInterval(1000);
    connect(&clockTimer_, &QTimer::timeout, this, [this] {
        if (times_.Running()) SetPane(kPaneTimes, times_.StatusText(QDateTime::currentDateTime()));
    });

    connect(comm_.get(), &CComm::bytesArrived, this, &CMainFrame::OnSerialBytes);
    connect(comm_.get(), &CComm::portLost, this, &CMainFrame::OnSerialPortLost);
    connect(socket_.get(), &CSocketClient::notice, this, &CMainFrame::OnSocketNotice);
    connect(portWatcher_.get(), &CPortWatcher::portAdded, this, &CMainFrame::OnPortAdded);
    connect(portWatcher_.get(), &CPortWatcher::portRemoved, this, &CMainFrame::OnPortRemoved);
    portWatcher_->Start();

    FullReset();
    UpdateCommandStates();
    resize(kDefaultWidth, kDefaultHeight);
}

CMainFrame::~CMainFrame()
{
    cancelScan_ = true;
    JoinScan();
    StopSecondaryTrack();
}

void CMainFrame::JoinScan()
{
    if (scanThread_.joinable()) scanThread_.join();
}

void CMainFrame::CreateViews()
{
    area_ = new QWidget(this);
    setCentralWidget(area_);
    plot_ = new CPlotsView(area_);
    plot_->LoadSettings(store_);
    sky_ = new CSkyMapWnd(area_);
    sky_->SetToggles(&toggles_);
    snr_ = new CSnrWnd(area_);
    snr_->SetToggles(&toggles_);
    panel_ = new CNmeaDataWnd(store_, area_);
    rawLog_ = new CNmeaLogDlg(area_);
    connect(panel_, &CNmeaDataWnd::sensorPollRequested, this, [this](const QByteArray& poll) {
        if (link_ == Link::Serial) comm_->Write(poll);
        if (link_ == Link::Network) socket_->Write(poll);
    });
    recordDlg_ = new CRecordDlg(area_);
    recordDlg_->hide();
    connect(recordDlg_, &CRecordDlg::stopRequested, this, &CMainFrame::StopRecording);
    replayDlg_ = new CReplayDlg(area_);
    replayDlg_->setWindowFlags(Qt::Widget);  // a strip inside the map cell
    replayDlg_->hide();
    calcDlg_ = new CCalcStatusDlg(this);
    calcDlg_->hide();
    connect(calcDlg_, &CCalcStatusDlg::cancelRequested, this, [this] { cancelScan_ = true; });
    missingDlg_ = new CMissingLogDlg(this);
    missingDlg_->setWindowFlags(Qt::Tool);
    missingDlg_->hide();
    player_ = std::make_unique<CReplayPlayer>(static_cast<IReplaySink&>(*this));
    connect(replayDlg_, &CReplayDlg::control, player_.get(), &CReplayPlayer::Control);
    connect(replayDlg_, &CReplayDlg::jumpSeconds, player_.get(), &CReplayPlayer::JumpSeconds);
    connect(replayDlg_, &CReplayDlg::stepOneFrame, player_.get(), &CReplayPlayer::StepOneFrame);
    connect(player_.get(), &CReplayPlayer::positionChanged, replayDlg_, &CReplayDlg::SetPosition);
    connect(player_.get(), &CReplayPlayer::playingChanged, replayDlg_, &CReplayDlg::SetPlaying);
    connect(player_.get(), &CReplayPlayer::speedChanged, replayDlg_,
            [this](int speed) { replayDlg_->SetSpeedText(SpeedText(speed)); });
    connect(player_.get(), &CReplayPlayer::exitRequested, this, &CMainFrame::StopReplay);
    connect(plot_, &CPlotsView::ClassColourRequested, this,
            [this](int colourClass) { plot_->ChooseClassColour(colourClass, store_); });
    connect(plot_, &CPlotsView::ScaleIndexChanged, this,
            [this](int index) { store_.Write(settings::kPlotScaleIndex, index); });
}

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
    connect(Action(command::kOpenPort), &QAction::triggered, this, &CMainFrame::OnOpenPort);
    connect(Action(command::kClosePort), &QAction::triggered, this, &CMainFrame::OnClosePort);
    connect(Action(command::kExit), &QAction::triggered, this, &QWidget::close);

    // NTRIP, the web map, the settings, the converter and the graphs come with their own
    // features; until then their commands stay disabled.
    QMenu* save = menuBar()->addMenu(tr("저장(&S)"));
    save->addAction(AddCommand(command::kRecordStart, tr("시작하기(&S)"), true));
    save->addAction(AddCommand(command::kRecordStop, tr("중지하기(&T)"), false));
    QMenu* replay = menuBar()->addMenu(tr("리플레이(&R)"));
    replay->addAction(AddCommand(command::kReplayStart, tr("시작하기(&S)"), true));
    replay->addAction(AddCommand(command::kReplayStop, tr("중지하기(&T)"), false));
    connect(Action(command::kRecordStart), &QAction::triggered, this,
            &CMainFrame::OnStartRecordingCommand);
    connect(Action(command::kRecordStop), &QAction::triggered, this, &CMainFrame::StopRecording);
    connect(Action(command::kReplayStart), &QAction::triggered, this,
            &CMainFrame::OnStartReplayCommand);
    connect(Action(command::kReplayStop), &QAction::triggered, this, &CMainFrame::StopReplay);
    QMenu* ntrip = menuBar()->addMenu(tr("NTRIP(&N)"));
    ntrip->addAction(AddCommand(command::kNtripStart, tr("시작하기(&S)"), false));
    ntrip->addAction(AddCommand(command::kNtripStop, tr("중지하기(&T)"), false));

    QMenu* map = menuBar()->addMenu(tr("맵(&M)"));
    map->addAction(AddCommand(command::kWebMap, tr("구글맵(&D)"), false));
    map->addAction(AddCommand(command::kPlotMap, tr("플롯맵(&P)"), true));
    Action(command::kWebMap)->setCheckable(true);
    Action(command::kPlotMap)->setCheckable(true);
    Action(command::kPlotMap)->setChecked(true);  // the plot stands in for the web map
    AddCommand(command::kMapAndPlot, tr("지도+PLOT"), false)->setCheckable(true);

    QMenu* tools = menuBar()->addMenu(tr("도구(&T)"));
    tools->addAction(AddCommand(command::kSettings, tr("설정/거리계산(&O)"), false));
    tools->addAction(AddCommand(command::kCoordConverter, tr("좌표변환(&C)"), false));
    tools->addAction(AddCommand(command::kHeadingGauge, tr("방향계"), false));
    tools->addAction(AddCommand(command::kSpeedGraph, tr("속도그래프"), false));
    tools->addAction(AddCommand(command::kDistanceGraph, tr("거리그래프"), false));
    tools->addAction(AddCommand(command::kNorthSouthGraph, tr("N-S 그래프"), false));
    tools->addAction(AddCommand(command::kEastWestGraph, tr("E-W 그래프"), false));
    tools->addAction(AddCommand(command::kElevationGraph, tr("표고 그래프"), false));
    tools->addAction(AddCommand(command::kHeadingSumGraph, tr("방향누적 그래프"), false));

    QMenu* viewer = menuBar()->addMenu(tr("뷰어(&V)"));
    viewer->addAction(AddCommand(command::kNextMainView, tr("메인뷰어변경"), true));
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
    extractionCombo_ = new QComboBox(third);
    extractionCombo_->addItems({QString(), QStringLiteral("VTG"), QStringLiteral("RMC"),
                                QStringLiteral("GGA"), QStringLiteral("GSA"), QStringLiteral("GSV"),
                                QStringLiteral("BIN"), QStringLiteral("LOGS")});
    extractionCombo_->setCurrentIndex(0);
    connect(extractionCombo_, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { extractionFilter_ = text; });
    third->addWidget(extractionCombo_);
    relayCombo_ = new QComboBox(third);
    relayCombo_->setMinimumWidth(120);
    relayCombo_->setEnabled(false);  // the relay client comes later
    third->addWidget(relayCombo_);
}

void CMainFrame::CreateStatusBar()
{
    for (int i = 0; i < kStatusPaneCount; ++i) {
        panes_[static_cast<std::size_t>(i)] = new QLabel(this);
        panes_[static_cast<std::size_t>(i)]->setMinimumWidth(
            kPaneWidths[static_cast<std::size_t>(i)]);
        statusBar()->addWidget(panes_[static_cast<std::size_t>(i)], i == 0 ? 1 : 0);
    }
    SetPane(kPaneConnection, QStringLiteral("Not Connected"));
    SetPane(kPanePort, QStringLiteral("COM1 / 9600bps"));
    SetPane(kPaneTimes, QStringLiteral("시작[-] / Fixed[-] / 경과[-]"));
    SetPane(kPaneNtrip, QStringLiteral("NTRIP : Not Connected"));
    SetPane(kPaneRtcm, QStringLiteral("RTCM Recv : 0"));
    SetPane(kPaneSix, QStringLiteral("-"));
    // The internet check comes with the network monitor; until then nothing is claimed.
    SetPane(kPaneInternet, QStringLiteral("인터넷 안됨"));
}

QAction* CMainFrame::Action(int command) const { return actions_.value(command, nullptr); }

QString CMainFrame::StatusPaneText(int pane) const
{
    if (pane < 0 || pane >= kStatusPaneCount) return {};
    return panes_[static_cast<std::size_t>(pane)]->text();
}

void CMainFrame::SetPane(int pane, const QString& text)
{
    panes_[static_cast<std::size_t>(pane)]->setText(text);
}

void CMainFrame::ShowMessage(const QString& text, const QString& caption)
{
    emit messageShown(text);
    if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
    QMessageBox::warning(this, caption.isEmpty() ? windowTitle() : caption, text);
}

// --- layout --------------------------------------------------------------------------------

bool CMainFrame::event(QEvent* event)
{
    // Qt collects every view's update() into one request per window; holding that request
    // back until the next paint slot merges the epochs that arrive meanwhile.
    if (event->type() == QEvent::UpdateRequest) {
        const qint64 now = paintClock_.elapsed();
        const qint64 since = now - lastPaintMs_;
        if (since < kMinPaintIntervalMs) {
            if (!paintTimer_.isActive())
                paintTimer_.start(static_cast<int>(kMinPaintIntervalMs - since));
            return true;
        }
        lastPaintMs_ = now;
    }
    return QMainWindow::event(event);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceViews();
}

void CMainFrame::PlaceViews()
{
    if (area_ == nullptr) return;
    const MainLayout layout = ComputeMainLayout(area_->rect());
    plot_->setGeometry(layout.CellOf(MainContent::MapAndPlot, mainView_));
    sky_->setGeometry(layout.CellOf(MainContent::SkyMap, mainView_));
    snr_->setGeometry(layout.CellOf(MainContent::SignalStrength, mainView_));
    rawLog_->setGeometry(layout.CellOf(MainContent::RawLog, mainView_));
    panel_->setGeometry(layout.leftBottom);
    const QRect map = layout.CellOf(MainContent::MapAndPlot, mainView_);
    replayDlg_->setGeometry(map.x(), map.bottom() + 1 - kReplayWindowHeight, map.width(),
                            kReplayWindowHeight);
    recordDlg_->setGeometry(map.x(), map.bottom() + 1 - kRecordWindowHeight, map.width(),
                            kRecordWindowHeight);
    replayDlg_->raise();
    recordDlg_->raise();
}

void CMainFrame::OnNextMainView()
{
    mainView_ = (mainView_ + 1) % kMainViewCount;
    PlaceViews();
}

// --- commands ------------------------------------------------------------------------------

void CMainFrame::OnClear()
{
    panel_->Reset();
    sky_->Clear();
    snr_->Clear();
    rawLog_->Clear();
    plot_->Clear(true);
}

void CMainFrame::OnAbout()
{
    const QString text = AboutLine();
    emit messageShown(text);
    if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
    QMessageBox::about(this, tr("Skarnet2 정보"), text);
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

void CMainFrame::UpdateCommandStates()
{
    const bool connected = link_ != Link::None;
    const bool replay = replayActive_ || scanning_;
    const bool recording = recorder_.IsRecording();
    Action(command::kOpenPort)->setEnabled(!connected);
    Action(command::kClosePort)->setEnabled(connected);
    Action(command::kRecordStart)->setEnabled(!recording && !replay);
    Action(command::kRecordStop)->setEnabled(recording && !replay);
    Action(command::kReplayStart)->setEnabled(!replay && !recording && !connected);
    Action(command::kReplayStop)->setEnabled(replay && !recording && !connected);
}

// --- links ---------------------------------------------------------------------------------

bool CMainFrame::OnOpenPort()
{
    if (replayActive_ || scanning_) {
        ShowMessage(tr("리플레이 모드 상태입니다.\n리플레이를 중지하십시오."), tr("통신연결 에러"));
        return false;
    }
    CSetupCommDlg dialog(store_, CSetupCommDlg::Target::kReceiverLink, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    return ConnectFromSettings();
}

bool CMainFrame::ConnectFromSettings()
{
    if (replayActive_ || scanning_) {
        ShowMessage(tr("리플레이 모드 상태입니다.\n리플레이를 중지하십시오."), tr("통신연결 에러"));
        return false;
    }
    if (link_ != Link::None) OnClosePort();
    const bool network = store_.Get(settings::kCommTxMode) == 0;
    const bool ok = network ? OpenNetwork() : OpenSerial();
    UpdateCommandStates();
    return ok;
}

bool CMainFrame::OpenNetwork()
{
    if (store_.Get(settings::kCommRelayServerMode) != 0) {
        // The relay server speaks its own login protocol, which comes with the relay client.
        ShowMessage(tr("릴레이 서버 연결은 아직 지원되지 않습니다."));
        return false;
    }
    const QString host = store_.Get(settings::kCommHostAddr);
    const int port = store_.Get(settings::kCommHostPort).toInt();
    socket_->Connect(host, static_cast<quint16>(port));
    SetPane(kPanePort, QStringLiteral("%1:%2").arg(host).arg(port));
    SetPane(kPaneConnection, QStringLiteral("Connected"));
    link_ = Link::Network;
    times_.Start(QDateTime::currentDateTime());
    clockTimer_.start();
    plot_->Clear(true);
    FullReset();
    return true;
}

bool CMainFrame::OpenSerial()
{
    intake_.SetSyncProtocol(store_.ReadSyncProtocol());
    const CommSettings comm = CommSettingsFromStore(store_);
    SetPane(kPanePort, QStringLiteral("%1 / %2bps").arg(comm.portName).arg(comm.baudRate));
    if (!comm_->Open(comm)) return false;
    portName_ = comm.portName;
    SetPane(kPaneConnection, QStringLiteral("Connected"));
    link_ = Link::Serial;
    times_.Start(QDateTime::currentDateTime());
    clockTimer_.start();
    plot_->Clear(true);
    FullReset();
    panel_->SetTimesToFix(QStringLiteral("00:00"), QStringLiteral("00:00"));
    return true;
}

void CMainFrame::OnClosePort()
{
    lostPort_.clear();
    if (link_ == Link::Serial) comm_->Close();
    if (link_ == Link::Network) socket_->Close();
    link_ = Link::None;
    times_.Stop();
    clockTimer_.stop();
    idleTimer_.stop();
    intake_.Disconnect();
    SetPane(kPaneConnection, QStringLiteral("Not Connected"));
    UpdateCommandStates();
}

void CMainFrame::OnLinkLost(const QString& reason)
{
    OnClosePort();
    statusBar()->showMessage(reason, 5000);
}

void CMainFrame::OnSerialBytes(const QByteArray& bytes)
{
    FeedSerialBytes({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                     static_cast<std::size_t>(bytes.size())});
}

void CMainFrame::FeedSerialBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) return;
    idleTimer_.stop();
    RecordBlock(bytes);  // bytes are written before they are decoded
    intake_.Arrive(bytes);
    AfterIntakePass();
}

void CMainFrame::OnSocketNotice(int code)
{
    switch (code) {
        case CSocketClient::kNoticeConnected:
            SetPane(kPaneConnection, QStringLiteral("Connected"));
            break;
        case CSocketClient::kNoticeData: {
            idleTimer_.stop();
            for (;;) {
                const std::span<std::uint8_t> space = intake_.ReceiveSpace();
                const qint64 n = socket_->Read(reinterpret_cast<char*>(space.data()),
                                               static_cast<qint64>(space.size()));
                if (n <= 0) break;
                RecordBlock(space.first(static_cast<std::size_t>(n)));
                intake_.Received(static_cast<std::size_t>(n));
            }
            AfterIntakePass();
            break;
        }
        case CSocketClient::kNoticeClosed:
            if (link_ == Link::Network) OnLinkLost(tr("연결 종료: %1").arg(socket_->LastError()));
            break;
        default: break;
    }
}

void CMainFrame::OnPortAdded(const QString& port)
{
    ShowTimedMessage(PortChangeMessage(port, true));
    // A receiver port that went away while in use is opened again when it comes back.
    if (link_ == Link::None && !lostPort_.isEmpty() &&
        ReceiverPortActionFor(port, true, lostPort_, false) == ReceiverPortAction::Reopen) {
        lostPort_.clear();
        ConnectFromSettings();
    }
}

void CMainFrame::OnPortRemoved(const QString& port)
{
    ShowTimedMessage(PortChangeMessage(port, false));
    if (link_ == Link::Serial &&
        ReceiverPortActionFor(port, false, portName_, true) == ReceiverPortAction::Close) {
        OnSerialPortLost(portName_);
    }
}

void CMainFrame::OnSerialPortLost(const QString& port)
{
    if (link_ != Link::Serial) return;
    OnLinkLost(tr("%1 연결이 끊어졌습니다.").arg(port));
    lostPort_ = port;
}

void CMainFrame::ShowTimedMessage(const QString& text)
{
    emit messageShown(text);
    statusBar()->showMessage(text, kPortChangeMessageMs);
    if (qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES")) return;
    auto* box = new QMessageBox(QMessageBox::Information, PortChangeCaption(), text,
                                QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QTimer::singleShot(kPortChangeMessageMs, box, &QWidget::close);
    box->show();
}

void CMainFrame::FullReset()
{
    idleTimer_.stop();
    intake_.FullReset();
    epochsShown_ = 0;
}

void CMainFrame::ConfigureDecoder(CParser& parser)
{
    if (auto* nmea = dynamic_cast<CNmeaParser*>(&parser)) {
        nmea->SetTaxiMeter(&taxiMeter_);
        nmea->SetOperationType(operationType_);
    }
}

// --- intake ------------------------------------------------------------------------------

void CMainFrame::AfterIntakePass()
{
    idleTimer_.start();
    const QDateTime now = QDateTime::currentDateTime();
    const GnssReceiverState& s = intake_.Snapshot();
    if (times_.Running()) {
        times_.Track(s.fixMode, s.fixQuality, now);
        SetPane(kPaneTimes, times_.StatusText(now));
        panel_->SetTimesToFix(times_.FloatTimerText(now), times_.FixedTimerText(now));
    }
}

void CMainFrame::OnIdleFlush() { intake_.IdleFlush(); }

bool CMainFrame::OnRefreshViews(GnssReceiverState& s)
{
    ++epochsShown_;
    emit epochShown(static_cast<qint64>(s.timeOfDayMs), s.latitudeDeg, s.longitudeDeg);
    if (recorder_.IsLatestLogging() && (s.contentFlags & ContentFlag::TimeOfDay)) {
        ReportRecordStatus(recorder_.OnEpochTime(s.timeText));
    }
    // The panel shows the whole epoch, whatever the other views consume of its flags.
    const std::uint32_t delivered = s.contentFlags;
    const auto updatePanel = [&] {
        const std::uint32_t remaining = s.contentFlags;
        s.contentFlags = delivered;
        panel_->Update(s);
        s.contentFlags = remaining;
    };
    if (s.contentFlags & ContentFlag::SatellitesInView) {
        snr_->Update(s);
        sky_->Update(s);
        s.contentFlags &= ~ContentFlag::SatellitesInView;
    }
    s.contentFlags &= ~(ContentFlag::Speed | ContentFlag::Course | ContentFlag::Heading);
    const bool valid = Usable(s.latitudeDeg) && Usable(s.longitudeDeg) && Usable(s.ellipsoidHeight);
    if (!valid) {
        if (s.timeOfDayMs != 0 || (s.contentFlags & ContentFlag::Interference)) updatePanel();
        return false;
    }
    if (s.contentFlags & ContentFlag::Position) {
        std::int32_t colourClass = kClassNoFix;
        if (s.contentFlags & ContentFlag::FixQuality) {
            colourClass = s.fixQuality;
        } else if (s.contentFlags & ContentFlag::FixMode) {
            colourClass = s.fixMode >= kFixMode2D ? kClassGps : kClassNoFix;
        }
        plot_->AddPosition(s.longitudeDeg, s.latitudeDeg, 0, colourClass, true);
        if (replayActive_) plot_->AddReplayPoint(static_cast<int>(replayEntry_));
        s.contentFlags &= ~(ContentFlag::Position | ContentFlag::FixMode | ContentFlag::FixQuality);
    }
    updatePanel();
    if (operationType_ == kTaxiOperation) UpdateTaxiFare();
    return true;
}

void CMainFrame::UpdateTaxiFare()
{
    TaxiFareValues fare;
    fare.meterPresent = intake_.Decoder(ProtocolId::Nmea) != nullptr;
    fare.meterActive = fare.meterPresent;
    fare.basicFee = taxiMeter_.BasicFee();
    fare.unitFee = taxiMeter_.UnitFee();
    fare.unitDistance = taxiMeter_.UnitDistance();
    fare.extraFare = taxiMeter_.ExtraFare();
    fare.basicDistanceUsed = taxiMeter_.BasicDistanceUsed();
    fare.extraDistance = taxiMeter_.ExtraDistance();
    fare.totalMovingDistance = taxiMeter_.TotalMovingDistance();
    fare.lastMovingStep = taxiMeter_.LastMovingStep();
    panel_->SetTaxiFare(fare);
}

void CMainFrame::OnRawLine(std::string_view line, bool hasFix)
{
    rawLog_->AddLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())),
                     CNmeaLogDlg::LineColour(hasFix));
}

void CMainFrame::OnErrorLine(std::string_view line)
{
    rawLog_->AddErrorLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

void CMainFrame::OnPassBegin() { rawLog_->SetRedraw(false); }

void CMainFrame::OnPassEnd() { rawLog_->SetRedraw(true); }

void CMainFrame::closeEvent(QCloseEvent* event)
{
    StopRecording();
    StopReplay();
    if (link_ != Link::None) OnClosePort();
    QMainWindow::closeEvent(event);
}

// --- recording -----------------------------------------------------------------------------

void CMainFrame::OnStartRecordingCommand()
{
    QString path;
    if (store_.Get(settings::kReplayAutoNaming) != 0) {
        path = QDir::current().filePath(FromStd(AutoLogName(LocalNow())));
    } else {
        path = QFileDialog::getSaveFileName(this, tr("로그 기록"), QString(),
                                            tr("Every File(*.*);;Text File (*.txt *.doc)"));
        if (path.isEmpty()) return;
    }
    StartRecording(path);
}

bool CMainFrame::StartRecording(const QString& path)
{
    if (recorder_.IsRecording() || replayActive_ || scanning_) return false;
    recorder_.SetLatestLogging(store_.Get(settings::kReplayLatestLogging) != 0);
    if (recorder_.Start(QFile::encodeName(path).toStdString()) != RecordStatus::Ok) {
        ShowMessage(tr("파일을 생성할 수 없습니다!"), tr("로그 기록"));
        return false;
    }
    recordDlg_->Show(path);
    recordDlg_->SetLength(0);
    recordDlg_->show();
    PlaceViews();
    UpdateCommandStates();
    return true;
}

void CMainFrame::StopRecording()
{
    recorder_.Stop();
    recordDlg_->hide();
    UpdateCommandStates();
}

void CMainFrame::RecordBlock(std::span<const std::uint8_t> bytes)
{
    if (!recorder_.IsRecording()) return;
    ReportRecordStatus(recorder_.WriteBlock(bytes));
}

void CMainFrame::ReportRecordStatus(RecordStatus status)
{
    if (status == RecordStatus::WriteFailed || status == RecordStatus::FileRemoved) {
        // The recorder has closed the file; what it wrote stays.
        recordDlg_->hide();
        UpdateCommandStates();
        ShowMessage(tr("로그 파일에 쓸 수 없어 기록을 멈췄습니다. 기록된 %1 bytes는 남아 있습니다.")
                        .arg(recorder_.ByteCount()),
                    tr("로그 기록"));
        return;
    }
    if (recorder_.IsRecording()) recordDlg_->SetLength(recorder_.ByteCount());
}

void CMainFrame::OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser)
{
    (void)parser;
    if (replayActive_) {
        if (extraction_.IsRunning() && !extraction_.HandsLinesToRawLog()) {
            extraction_.WriteMessage(message);
        }
        return;
    }
    // Latest logging keeps the current second's sentences; binary messages have no text.
    if (recorder_.IsRecording() && recorder_.IsLatestLogging() && !message.empty() &&
        message[0] == '$') {
        ReportRecordStatus(recorder_.WriteMessageText(
            std::string_view(reinterpret_cast<const char*>(message.data()), message.size())));
    }
}

// --- replay --------------------------------------------------------------------------------

void CMainFrame::OnStartReplayCommand()
{
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("리플레이"), QString(), tr("Every File(*.*)"));
    if (paths.isEmpty()) return;
    StartReplay(paths.first(), paths.size() > 1 ? paths.at(1) : QString());
}

ScanSettings CMainFrame::ReplayScanSettings(QString& error)
{
    ScanSettings settings;
    settings.syncProtocol = store_.ReadSyncProtocol();
    settings.errorBase = store_.Get(settings::kErrorCalBase);
    settings.checkMissing = store_.Get(settings::kReplayCheckMissingFrames) != 0;
    if (settings.errorBase == kErrorBaseArbitrary) {
        settings.referenceLatitude = store_.Get(settings::kErrorCalLatitude).toDouble();
        settings.referenceLongitude = store_.Get(settings::kErrorCalLongitude).toDouble();
    } else if (settings.errorBase == kErrorBaseStation) {
        if (const auto station = StationPosition(store_.Get(settings::kErrorCalRefSite))) {
            settings.hasReferenceStation = true;
            settings.referenceLatitude = station->latitude;
            settings.referenceLongitude = station->longitude;
        }
    }
    error.clear();
    return settings;
}

bool CMainFrame::StartReplay(const QString& path, const QString& secondPath)
{
    if (replayActive_ || scanning_ || recorder_.IsRecording() || link_ != Link::None) return false;
    QString error;
    const ScanSettings settings = ReplayScanSettings(error);
    panel_->SetStatistics(0.0, 0.0, 0.0, 0.0);
    intake_.FullReset();
    ClearViews();
    if (settings.checkMissing) missingDlg_->Clear();
    calcDlg_->Begin();
    calcDlg_->show();
    scanning_ = true;
    cancelScan_ = false;
    UpdateCommandStates();
    JoinScan();
    scanThread_ = std::thread([this, settings, path] {
        const auto progress = [this](int pass, int permille) {
            QMetaObject::invokeMethod(
                this, [this, pass, permille] { calcDlg_->SetPos(pass, permille); },
                Qt::QueuedConnection);
        };
        CReplayScanner scanner(settings, cancelScan_, progress);
        auto result =
            std::make_shared<ScanResult>(scanner.ScanFile(QFile::encodeName(path).toStdString()));
        QMetaObject::invokeMethod(
            this, [this, path, result] { OnScanFinished(path, result); }, Qt::QueuedConnection);
    });
    if (!secondPath.isEmpty()) StartSecondaryTrack(secondPath, settings);
    return true;
}

void CMainFrame::StartSecondaryTrack(const QString& path, const ScanSettings& settings)
{
    StopSecondaryTrack();
    cancelSecondary_ = false;
    secondaryThread_ = std::thread([this, path, settings] {
        ScanSettings quiet = settings;
        quiet.checkMissing = false;
        CReplayScanner scanner(quiet, cancelSecondary_);
        auto result =
            std::make_shared<ScanResult>(scanner.ScanFile(QFile::encodeName(path).toStdString()));
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                // The track replaces the replayed log's own positions in the plot's squares.
                if (result->status == ScanStatus::Ok && (replayActive_ || scanning_)) {
                    secondaryPoints_ = result->index.ToGeoPoints();
                    if (replayActive_) plot_->SetReplayPositionList(&secondaryPoints_);
                    emit secondaryTrackLoaded(static_cast<int>(secondaryPoints_.size()));
                }
            },
            Qt::QueuedConnection);
    });
}

void CMainFrame::StopSecondaryTrack()
{
    cancelSecondary_ = true;
    if (secondaryThread_.joinable()) secondaryThread_.join();
    secondaryPoints_.clear();
}

void CMainFrame::OnScanFinished(const QString& path, std::shared_ptr<ScanResult> result)
{
    JoinScan();
    scanning_ = false;
    calcDlg_->hide();
    UpdateCommandStates();
    if (result->status != ScanStatus::Ok) {
        StopSecondaryTrack();
        const std::string message =
            ScanStatusMessage(result->status, QFile::encodeName(path).toStdString());
        if (!message.empty()) ShowMessage(FromStd(message), tr("리플레이"));
        emit replayReady(false);
        return;
    }
    replayActive_ = true;
    intake_.FullReset();
    intake_.SetReplayRunning(true);
    replayPoints_ = result->index.ToGeoPoints();
    plot_->SetReplayPositionList(secondaryPoints_.empty() ? &replayPoints_ : &secondaryPoints_);
    const ReplayResults& r = result->statistics;
    panel_->SetStatistics(r.horizontalRms, r.verticalRms, r.horizontalCep, r.verticalCep);
    plot_->SetErrorCircles(r.horizontalRms, r.horizontalCep);
    if (result->missingChecked) {
        int number = 0;
        for (const std::string& line : result->missingLines) {
            missingDlg_->AddLine(++number, FromStd(line), CMissingLogDlg::LineColour());
        }
        missingDlg_->show();
    }
    const int count = static_cast<int>(result->index.Size());
    replayDlg_->Reset();
    replayDlg_->SetRange(count);
    replayDlg_->SetFileName(path);
    replayDlg_->SetFrameRateText(FromStd(result->RateText()));
    replayDlg_->SetSpeedText(SpeedText(kInitialSpeedValue));
    replayDlg_->show();
    PlaceViews();
    qApp->installEventFilter(this);
    const auto interval = static_cast<int>(result->frameIntervalMs);
    if (!player_->Start(path, std::move(result->index), interval)) {
        StopReplay();
        ShowMessage(tr("로그 파일을 열 수 없습니다!"), tr("리플레이"));
        emit replayReady(false);
        return;
    }
    StartExtraction();
    UpdateCommandStates();
    emit replayReady(true);
}

void CMainFrame::StopReplay()
{
    if (scanning_) {
        cancelScan_ = true;  // the scan ends and reports Cancelled
        return;
    }
    if (!replayActive_) return;
    player_->Stop();
    replayActive_ = false;
    qApp->removeEventFilter(this);
    intake_.SetReplayRunning(false);
    intake_.FullReset();
    plot_->SetReplayPositionList(nullptr);
    replayPoints_.clear();
    StopSecondaryTrack();
    replayDlg_->hide();
    StopExtraction();
    UpdateCommandStates();
}

void CMainFrame::PlayEntryBytes(std::size_t entry, std::span<const std::uint8_t> bytes)
{
    replayEntry_ = entry;
    intake_.FeedReplay(bytes);
}

void CMainFrame::ClearViews() { OnClear(); }

void CMainFrame::ResetEpochState() { intake_.PartialReset(); }

void CMainFrame::PlaybackEnded() { StopExtraction(); }

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // During a replay the playback keys reach the replay window wherever the focus is.
    if (replayActive_ && event->type() == QEvent::KeyPress && watched != replayDlg_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        switch (key) {
            case Qt::Key_Delete:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down: QCoreApplication::sendEvent(replayDlg_, event); return true;
            default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::StartExtraction()
{
    const QString type = extractionFilter_;
    if (type.isEmpty()) return;
    QString path;
    if (store_.Get(settings::kReplayAutoNaming) != 0) {
        path =
            QDir::current().filePath(FromStd(AutoExtractionName(LocalNow(), type.toStdString())));
    } else {
        path = QFileDialog::getSaveFileName(this, tr("추출"), QString(), tr("Every File(*.*)"));
        if (path.isEmpty()) return;
    }
    if (extraction_.Start(QFile::encodeName(path).toStdString(), type.toStdString()) !=
        RecordStatus::Ok) {
        ShowMessage(tr("파일을 생성할 수 없습니다!"), tr("로그 기록"));
        return;
    }
    if (extraction_.HandsLinesToRawLog()) {
        logsFile_ = std::make_unique<QFile>(path);
        if (logsFile_->open(QIODevice::Append)) rawLog_->SetLogsDevice(logsFile_.get());
    }
}

void CMainFrame::StopExtraction()
{
    rawLog_->SetLogsDevice(nullptr);
    logsFile_.reset();
    extraction_.Stop();
}
