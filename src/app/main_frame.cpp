#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <cinttypes>
#include <cstdio>

#include "app/command_ids.h"
#include "app/converter_controller.h"
#include "app/external_commands.h"
#include "app/graph_controller.h"
#include "app/language.h"
#include "app/link_controller.h"
#include "app/look_controller.h"
#include "app/main_layout.h"
#include "app/map_controller.h"
#include "app/network_monitor.h"
#include "app/ntrip_client.h"
#include "app/record_controller.h"
#include "app/relay_client.h"
#include "app/replay_controller.h"
#include "app/replay_player.h"
#include "app/setup_controller.h"
#include "app/version.h"
#include "decode/nmea_parser.h"
#include "settings/settings_store.h"
#include "settings/taxi_meter_settings_reader.h"
#include "views/nmea_data_wnd.h"
#include "views/nmea_log_dlg.h"
#include "views/plots_view.h"
#include "views/sky_map_wnd.h"
#include "views/snr_wnd.h"

namespace {

constexpr std::int32_t kTaxiOperation = 1;
// Fix quality numbers the plot draws in their own colours; the rest count as GPS.

bool NoMessageBoxes() { return qEnvironmentVariableIsSet("SKARNET2_NO_MESSAGE_BOXES"); }

}  // namespace

CMainFrame::CMainFrame(CSettingsStore& store, QWidget* parent)
    : QMainWindow(parent), store_(store), intake_(*this)
{
    setWindowTitle(MainWindowTitle());
    CreateViews();
    CreateMenus();
    CreateStatusBar();
    AddViewSinks();
    CreateControllers();
    CreateToolbars();
    SetViewMode(store_.Get(settings::kViewMapPlot) == 0 ? 0 : 1);

    intake_.SetSyncProtocol(store_.ReadSyncProtocol());
    intake_.SetSkipChecksum(store_.Get(settings::kReplaySkipChecksum) != 0);
    intake_.SetDecoderSetup([this](CParser& parser) { ConfigureDecoder(parser); });
    operationType_ = store_.Get(settings::kNmeaOperationType);
    taxiMeter_.LoadSettings(LoadTaxiMeterSettings(store_));

    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(kIdleFlushMs);
    connect(&idleTimer_, &QTimer::timeout, this, [this] { intake_.IdleFlush(); });
    paintTimer_.setSingleShot(true);
    connect(&paintTimer_, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    paintClock_.start();

    ResetIntake();
    UpdateCommandStates();
    resize(kDefaultWidth, kDefaultHeight);
}

CMainFrame::~CMainFrame() = default;

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
    connect(plot_, &CPlotsView::ClassColourRequested, this,
            [this](int colourClass) { plot_->ChooseClassColour(colourClass, store_); });
    connect(plot_, &CPlotsView::ScaleIndexChanged, this,
            [this](int index) { store_.Write(settings::kPlotScaleIndex, index); });
}

void CMainFrame::CreateControllers()
{
    IFrameServices& services = *this;
    links_ = std::make_unique<CLinkController>(services);
    replay_ = std::make_unique<CReplayController>(services);
    recording_ = std::make_unique<CRecordController>(services);
    ntrip_ = std::make_unique<CNtripClient>(services);
    relay_ = std::make_unique<CRelayClient>(services, *links_);
    links_->SetRelayClient(relay_.get());
    network_ = std::make_unique<CNetworkMonitor>(services);
    map_ = std::make_unique<CMapController>(services, *network_);
    external_ = std::make_unique<CExternalCommands>(services, *map_);
    external_->Attach(QDBusConnection::sessionBus());
    connect(replay_->Player(), &CReplayPlayer::distanceRequested, map_.get(),
            &CMapController::ShowDistance);
    graphs_ = std::make_unique<CGraphController>(services);
    setup_ = std::make_unique<CSetupController>(services);
    converter_ = std::make_unique<CConverterController>(services, *external_);
    look_ = std::make_unique<CLookController>(services);
    language_ = std::make_unique<CLanguageController>(services);
    controllers_ = {links_.get(),     replay_.get(), recording_.get(), ntrip_.get(),  relay_.get(),
                    network_.get(),   map_.get(),    external_.get(),  graphs_.get(), setup_.get(),
                    converter_.get(), look_.get(),   language_.get()};
}

// The views' own steps of the refresh; controllers add theirs.
void CMainFrame::AddViewSinks()
{
    AddEpochSink(EpochStage::Satellites, QStringLiteral("sky map and signal bars"),
                 [this](EpochRefresh& epoch) {
                     if (!(epoch.state.contentFlags & ContentFlag::SatellitesInView)) return;
                     snr_->Update(epoch.state);
                     sky_->Update(epoch.state);
                     epoch.state.contentFlags &= ~ContentFlag::SatellitesInView;
                 });
    AddEpochSink(EpochStage::Plot, QStringLiteral("plot"), [this](EpochRefresh& epoch) {
        GnssReceiverState& s = epoch.state;
        if (!epoch.validPosition || !(s.contentFlags & ContentFlag::Position)) return;
        plot_->AddPosition(s.longitudeDeg, s.latitudeDeg, 0, CEpochFanOut::FixClassOf(s), true);
        s.contentFlags &= ~(ContentFlag::Position | ContentFlag::FixMode | ContentFlag::FixQuality);
    });
    AddEpochSink(EpochStage::StatusPanel, QStringLiteral("status panel"),
                 [this](EpochRefresh& epoch) {
                     GnssReceiverState& s = epoch.state;
                     const bool show = epoch.validPosition || s.timeOfDayMs != 0 ||
                                       (epoch.delivered & ContentFlag::Interference);
                     if (!show) return;
                     // The panel shows the whole epoch, whatever the others consumed.
                     const std::uint32_t remaining = s.contentFlags;
                     s.contentFlags = epoch.delivered;
                     panel_->Update(s);
                     s.contentFlags = remaining;
                     if (epoch.validPosition && operationType_ == kTaxiOperation) UpdateTaxiFare();
                 });
}

void CMainFrame::AddEpochSink(EpochStage stage, const QString& name, EpochSink sink)
{
    fanOut_.Add(stage, name, std::move(sink));
}

QAction* CMainFrame::Action(int command) const { return actions_.value(command, nullptr); }

QString CMainFrame::StatusPaneText(int pane) const
{
    if (pane < 0 || pane >= kStatusPaneCount) return {};
    return panes_[static_cast<std::size_t>(pane)]->text();
}

QString CMainFrame::StatusPaneToolTip(int pane) const
{
    if (pane < 0 || pane >= kStatusPaneCount) return {};
    return panes_[static_cast<std::size_t>(pane)]->toolTip();
}

void CMainFrame::SetPane(int pane, const QString& text)
{
    panes_[static_cast<std::size_t>(pane)]->setText(text);
}

void CMainFrame::SetPaneToolTip(int pane, const QString& text)
{
    panes_[static_cast<std::size_t>(pane)]->setToolTip(text);
}

void CMainFrame::ShowStatusMessage(const QString& text, int timeoutMs)
{
    statusBar()->showMessage(text, timeoutMs);
}

void CMainFrame::ShowMessage(const QString& text, const QString& caption)
{
    emit messageShown(text);
    if (NoMessageBoxes()) return;
    QMessageBox::warning(this, caption.isEmpty() ? windowTitle() : caption, text);
}

void CMainFrame::ShowTimedMessage(const QString& text, const QString& caption, int timeoutMs)
{
    emit messageShown(text);
    statusBar()->showMessage(text, timeoutMs);
    if (NoMessageBoxes()) return;
    auto* box =
        new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    QTimer::singleShot(timeoutMs, box, &QWidget::close);
    box->show();
}

FrameActivity CMainFrame::Activity() const
{
    FrameActivity activity;
    for (const IFeatureController* controller : controllers_) controller->AddActivity(activity);
    return activity;
}

void CMainFrame::UpdateCommandStates()
{
    const FrameActivity activity = Activity();
    for (IFeatureController* controller : controllers_) controller->UpdateCommands(activity);
}

QStringList CMainFrame::ReportLines() const
{
    const GnssReceiverState& s = intake_.Snapshot();
    const std::uint64_t ms = s.timeOfDayMs;
    char last[160];
    std::snprintf(last, sizeof last,
                  "last: %02" PRIu64 "%02" PRIu64 "%02" PRIu64 ".%03" PRIu64 ",%.9f,%.9f,%d",
                  ms / 3600000 % 100, ms / 60000 % 60, ms / 1000 % 60, ms % 1000, s.latitudeDeg,
                  s.longitudeDeg, s.fixQuality);
    QStringList lines{QStringLiteral("epochs: %1").arg(epochsShown_), QString::fromLatin1(last)};
    links_->AddReportLines(lines);
    lines << QStringLiteral("errors: %1").arg(errorLines_);
    for (const IFeatureController* controller : controllers_) {
        if (controller != links_.get()) controller->AddReportLines(lines);
    }
    return lines;
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
    const QRect map = layout.CellOf(MainContent::MapAndPlot, mainView_);
    QWidget* web = map_ ? map_->MapWindow() : nullptr;
    if (viewMode_ == 2 && web != nullptr) {
        // Map on the left half of the large pane, plot on the right.
        const int half = map.width() / 2;
        web->setGeometry(map.x(), map.y(), half, map.height());
        plot_->setGeometry(map.x() + half, map.y(), map.width() - half, map.height());
    } else {
        if (web != nullptr) web->setGeometry(map);
        plot_->setGeometry(map);
    }
    if (web != nullptr) web->setVisible(viewMode_ != 1);
    plot_->setVisible(viewMode_ != 0);
    sky_->setGeometry(layout.CellOf(MainContent::SkyMap, mainView_));
    snr_->setGeometry(layout.CellOf(MainContent::SignalStrength, mainView_));
    rawLog_->setGeometry(layout.CellOf(MainContent::RawLog, mainView_));
    panel_->setGeometry(layout.leftBottom);
    for (IFeatureController* controller : controllers_) controller->PlaceOverlays(map);
}

void CMainFrame::OnNextMainView()
{
    if (viewMode_ == 2) {
        ShowMessage(tr("지도와 PLOT를 동시에 표시될 때는 MainView를 변경할 수 없습니다."),
                    QString());
        return;
    }
    mainView_ = (mainView_ + 1) % kMainViewCount;
    PlaceViews();
}

// --- commands ------------------------------------------------------------------------------

void CMainFrame::OnClear()
{
    for (IFeatureController* controller : controllers_) controller->OnViewsReset(true);
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
    if (NoMessageBoxes()) return;
    QMessageBox::about(this, tr("Skarnet2 정보"), text);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    for (IFeatureController* controller : controllers_) controller->OnClose();
    QMainWindow::closeEvent(event);
}

// --- intake ------------------------------------------------------------------------------

void CMainFrame::ResetIntake()
{
    idleTimer_.stop();
    intake_.FullReset();
    epochsShown_ = 0;
    for (IFeatureController* controller : controllers_) controller->OnViewsReset(false);
}

// Tabs of the settings window: 0 decoding and logging, 1 plot, 3 NMEA and taxi meter.
void CMainFrame::ReloadSettings(int tab)
{
    if (tab == 0) {
        intake_.SetSyncProtocol(store_.ReadSyncProtocol());
        intake_.SetSkipChecksum(store_.Get(settings::kReplaySkipChecksum) != 0);
    } else if (tab == 1) {
        plot_->LoadSettings(store_);
        plot_->update();
    } else if (tab == 3) {
        operationType_ = store_.Get(settings::kNmeaOperationType);
        taxiMeter_.LoadSettings(LoadTaxiMeterSettings(store_));
        if (CParser* nmea = intake_.Decoder(ProtocolId::Nmea)) ConfigureDecoder(*nmea);
        UpdateTaxiFare();
    }
    for (IFeatureController* controller : controllers_) controller->OnSettingsApplied(tab);
}

void CMainFrame::ConfigureDecoder(CParser& parser)
{
    if (auto* nmea = dynamic_cast<CNmeaParser*>(&parser)) {
        nmea->SetTaxiMeter(&taxiMeter_);
        nmea->SetOperationType(operationType_);
    }
}

ReceiverLink CMainFrame::ReceiverLinkKind() const
{
    switch (links_->ConnectedLink()) {
        case CLinkController::Link::Serial: return ReceiverLink::Serial;
        case CLinkController::Link::Network: return ReceiverLink::Network;
        case CLinkController::Link::None: break;
    }
    return ReceiverLink::None;
}

void CMainFrame::WriteToReceiver(const QByteArray& bytes) { links_->Write(bytes); }

void CMainFrame::FeedArrival(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) return;
    idleTimer_.stop();
    // Bytes are recorded before they are decoded.
    for (IFeatureController* controller : controllers_) controller->OnBytesArrived(bytes);
    intake_.Arrive(bytes);
    AfterIntakePass();
}

void CMainFrame::FeedFromReader(const std::function<std::int64_t(std::span<std::uint8_t>)>& read)
{
    idleTimer_.stop();
    for (;;) {
        const std::span<std::uint8_t> space = intake_.ReceiveSpace();
        const std::int64_t n = read(space);
        if (n <= 0) break;
        const auto got = space.first(static_cast<std::size_t>(n));
        for (IFeatureController* controller : controllers_) controller->OnBytesArrived(got);
        intake_.Received(got.size());
    }
    AfterIntakePass();
}

void CMainFrame::AfterIntakePass()
{
    idleTimer_.start();
    for (IFeatureController* controller : controllers_)
        controller->AfterIntakePass(intake_.Snapshot());
}

bool CMainFrame::OnRefreshViews(GnssReceiverState& s)
{
    ++epochsShown_;
    emit epochShown(static_cast<qint64>(s.timeOfDayMs), s.latitudeDeg, s.longitudeDeg);
    return fanOut_.Refresh(s);
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
    ++errorLines_;
    rawLog_->AddErrorLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

void CMainFrame::OnPassBegin() { rawLog_->SetRedraw(false); }

void CMainFrame::OnPassEnd() { rawLog_->SetRedraw(true); }

void CMainFrame::OnMessageDecoded(std::span<const std::uint8_t> message, const CParser& parser)
{
    for (IFeatureController* controller : controllers_)
        controller->OnMessageDecoded(message, parser);
}
