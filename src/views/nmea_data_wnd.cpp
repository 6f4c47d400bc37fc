#include "views/nmea_data_wnd.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <array>

#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "views/view_fonts.h"

namespace {

// The panel colours, given as 0x00BBGGRR values, here in RGB order.
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kLightGrey(0xEA, 0xEA, 0xEA);  // 0xEAEAEA
const QColor kSeparator(0xC4, 0xC4, 0xC4);  // 0xC4C4C4
const QColor kAlarmRed(0xFF, 0x00, 0x00);   // COLORREF 0x0000FF
const QColor kFareBlue(0xEA, 0xEA, 0xFF);   // COLORREF 0xFFEAEA
const QColor kText(0x00, 0x00, 0x00);

// Row boundaries of the five background bands across the whole panel.
constexpr std::array<int, 6> kBandRows{0, 4, 8, 12, 14, kMainRowCount};
constexpr int kStatusRow = 2;

// Parts of the third column, out of kThirdParts.
constexpr int kThirdParts = 5;
struct PartSpan {
    int first;
    int last;
};
constexpr PartSpan kThirdLabel{0, 1};
constexpr PartSpan kThirdValue{2, 4};
constexpr std::array<PartSpan, 3> kFareColumns{{{0, 0}, {1, 2}, {3, 4}}};
constexpr std::array<PartSpan, 3> kSensorColumns{{{0, 0}, {1, 2}, {3, 4}}};

// Rows of the taxi layout in the third column.
constexpr int kImuRow = kFareRowCount;
constexpr int kSensorHeaderRow = kImuRow + 1;

constexpr int kMinFontPixels = 6;
constexpr int kMaxFontPixels = 18;
constexpr int kCellPadding = 4;

}  // namespace

QByteArray CNmeaDataWnd::SensorStatusPoll()
{
    static constexpr char kPoll[] = {'\xB5', '\x62', '\x10', '\x10',
                                     '\x00', '\x00', '\x20', '\x70'};
    return QByteArray(kPoll, sizeof kPoll);
}

CNmeaDataWnd::CNmeaDataWnd(CSettingsStore& store, QWidget* parent)
    : QWidget(parent),
      store_(store),
      state_(std::make_unique<GnssReceiverState>()),
      timeToFloat_(QStringLiteral("00:00")),
      timeToFixed_(QStringLiteral("00:00"))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    sensorPollTimer_.setInterval(kSensorPollIntervalMs);
    connect(&sensorPollTimer_, &QTimer::timeout, this, &CNmeaDataWnd::OnSensorPollTick);
    // Nothing waits on the reply window yet; it only runs out.
    sensorReplyTimer_.setSingleShot(true);
    sensorReplyTimer_.setInterval(kSensorReplyWindowMs);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &CNmeaDataWnd::OnRefreshTick);
    Reset();
    ApplySettings();
}

CNmeaDataWnd::~CNmeaDataWnd() = default;

void CNmeaDataWnd::Update(const GnssReceiverState& state)
{
    if (state.contentFlags == 0) return;
    *state_ = state;
    // The copy must not lead back into a decoder.
    state_->owner = nullptr;
    // A fast receiver sends epochs faster than anyone reads them: the cells are worked out
    // at most once a refresh, and only the ones whose text changed are painted again.
    stale_ = true;
    if (!refreshTimer_.isActive()) refreshTimer_.start();
}

void CNmeaDataWnd::Invalidate()
{
    stale_ = true;
    update();
}

void CNmeaDataWnd::OnRefreshTick()
{
    if (stale_) update(RefreshCanvas());
}

void CNmeaDataWnd::SetStatistics(double horizontalDrms, double verticalDrms, double horizontalCep,
                                 double verticalCep)
{
    statistics_ = {horizontalDrms, verticalDrms, horizontalCep, verticalCep};
    Invalidate();
}

void CNmeaDataWnd::SetTimesToFix(const QString& timeToFloat, const QString& timeToFixed)
{
    // Called after every intake pass; the texts change once a second at most.
    const bool newFloat = !timeToFloat.isEmpty() && timeToFloat != timeToFloat_;
    const bool newFixed = !timeToFixed.isEmpty() && timeToFixed != timeToFixed_;
    if (!newFloat && !newFixed) return;
    if (newFloat) timeToFloat_ = timeToFloat;
    if (newFixed) timeToFixed_ = timeToFixed;
    Invalidate();
}

void CNmeaDataWnd::Reset()
{
    state_->Clear();
    // A reset panel shows zeros throughout, heading included.
    state_->headingDeg = 0.0f;
    state_->yawDeg = 0.0f;
    Invalidate();
}

void CNmeaDataWnd::SetReplayMode(bool replayRunning, bool rmsFromGst)
{
    replayRunning_ = replayRunning;
    rmsFromGst_ = rmsFromGst;
    Invalidate();
}

void CNmeaDataWnd::SetTaxiFare(const TaxiFareValues& fare)
{
    fare_ = fare;
    Invalidate();
}

void CNmeaDataWnd::SetSensorStatus(const SensorStatusTable& sensors)
{
    sensors_ = sensors;
    Invalidate();
}

bool CNmeaDataWnd::SensorPollWanted() const
{
    return store_.Get(settings::kNmeaOperationType) == kTaxiOperationType &&
           store_.Get(settings::kNmeaGpsModule) == 1;
}

void CNmeaDataWnd::ApplySettings()
{
    if (!SensorPollWanted()) {
        sensorPollTimer_.stop();
    } else if (!sensorPollTimer_.isActive()) {
        sensorPollTimer_.start();
    }
    Invalidate();
}

void CNmeaDataWnd::OnSensorPollTick()
{
    // The settings may have changed since the poll was started.
    if (!SensorPollWanted()) {
        sensorPollTimer_.stop();
        return;
    }
    emit sensorPollRequested(SensorStatusPoll());
    sensorReplyTimer_.start();
    ++sensorPollCount_;
}

int CNmeaDataWnd::RowTop(int row) const { return row * height() / kMainRowCount; }

QRect CNmeaDataWnd::CellRect(int column, int row) const
{
    if (column < kLabelColumn || column > kThirdColumn || row < 0 || row >= kMainRowCount)
        return {};
    const int left = column * width() / 3;
    const int right = (column + 1) * width() / 3;
    return QRect(QPoint(left, RowTop(row)), QPoint(right - 1, RowTop(row + 1) - 1));
}

QRect CNmeaDataWnd::ThirdColumnCell(int row, int first, int last) const
{
    const QRect column = CellRect(kThirdColumn, row);
    const int left = column.left() + first * column.width() / kThirdParts;
    const int right = column.left() + (last + 1) * column.width() / kThirdParts;
    return QRect(QPoint(left, column.top()), QPoint(right - 1, column.bottom()));
}

QRect CNmeaDataWnd::FareAreaRect() const
{
    return CellRect(kThirdColumn, 0).united(CellRect(kThirdColumn, kFareRowCount - 1));
}

void CNmeaDataWnd::paintEvent(QPaintEvent* event)
{
    if (width() <= 0 || height() <= 0) return;
    // The layout and the fee come from the settings, which change without a word to the panel.
    const Layout layout{store_.Get(settings::kNmeaOperationType),
                        store_.Get(settings::kNmeaBasicFee)};
    lastRedrawnCells_ = 0;
    if (stale_ || layout != canvasLayout_ || canvas_.isNull() || canvasBackdrop_.size != size() ||
        canvasBackdrop_.pixelRatio != devicePixelRatioF()) {
        refreshTimer_.stop();
        // Cells that changed outside what this paint covers are painted next.
        const QRegion missed = RefreshCanvas() - event->region();
        if (!missed.isEmpty()) update(missed);
    }
    QPainter painter(this);
    const qreal ratio = canvas_.devicePixelRatio();
    for (const QRect& r : event->region())
        painter.drawPixmap(r, canvas_,
                           QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
}

QRegion CNmeaDataWnd::RefreshCanvas()
{
    stale_ = false;
    // The receiver's own estimates are taken at every refresh.
    statistics_ = PaintTimeStatistics(statistics_, *state_, replayRunning_, rmsFromGst_);
    canvasLayout_ = {store_.Get(settings::kNmeaOperationType), store_.Get(settings::kNmeaBasicFee)};
    const bool taxi = canvasLayout_.operationType == kTaxiOperationType;
    const TaxiFareValues fare =
        fare_.meterPresent ? fare_
                           : FareValuesWithoutMeter(BasicFeeFromText(canvasLayout_.basicFee));

    std::vector<Cell> cells;
    cells.reserve(canvasCells_.size());
    AddMainCells(cells, statistics_);
    if (taxi) {
        AddTaxiCells(cells, fare);
    } else {
        AddBaseInfoCells(cells);
    }
    const Backdrop backdrop{size(), devicePixelRatioF(),
                            taxi && fare.meterPresent && fare.meterActive,
                            HasInterferenceAlarm(state_->interferenceFlags)};
    return PaintCanvas(backdrop, std::move(cells));
}

QRegion CNmeaDataWnd::PaintCanvas(const Backdrop& backdrop, std::vector<Cell> cells)
{
    const bool whole =
        canvas_.isNull() || backdrop != canvasBackdrop_ || cells.size() != canvasCells_.size() ||
        !std::equal(
            cells.begin(), cells.end(), canvasCells_.begin(),
            [](const Cell& a, const Cell& b) { return a.rect == b.rect && a.bold == b.bold; });
    if (whole) {
        canvas_ = QPixmap(backdrop.size * backdrop.pixelRatio);
        canvas_.setDevicePixelRatio(backdrop.pixelRatio);
    }
    QPainter painter(&canvas_);
    if (whole) PaintBackground(painter, backdrop.fareArea);
    int redrawn = 0;
    QRegion changed = whole ? QRegion(rect()) : QRegion();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!whole && cells[i].text == canvasCells_[i].text) continue;
        if (!whole) changed += cells[i].rect;
        // Each cell is clipped to itself, so one can be painted again without its neighbours.
        painter.setClipRect(cells[i].rect);
        if (!whole) PaintBackground(painter, backdrop.fareArea);
        DrawCell(painter, cells[i]);
        ++redrawn;
    }
    lastRedrawnCells_ = redrawn;
    canvasBackdrop_ = backdrop;
    canvasCells_ = std::move(cells);
    return changed;
}

void CNmeaDataWnd::PaintBackground(QPainter& painter, bool fareArea) const
{
    for (std::size_t band = 0; band + 1 < kBandRows.size(); ++band) {
        const int top = RowTop(kBandRows[band]);
        const bool last = band + 2 == kBandRows.size();
        const int bottom = last ? height() : RowTop(kBandRows[band + 1]);
        painter.fillRect(0, top, width(), bottom - top, band % 2 == 0 ? kWhite : kLightGrey);
    }
    if (HasInterferenceAlarm(state_->interferenceFlags))
        painter.fillRect(CellRect(kValueColumn, kStatusRow), kAlarmRed);
    if (fareArea) {
        painter.fillRect(FareAreaRect(), kFareBlue);
        PaintFareFrame(painter);
    }
    painter.setPen(kSeparator);
    for (int column = 1; column < 3; ++column) {
        const int x = column * width() / 3;
        painter.drawLine(x, 0, x, height());
    }
}

void CNmeaDataWnd::PaintFareFrame(QPainter& painter) const
{
    painter.setPen(kSeparator);
    const QRect area = FareAreaRect();
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    for (int row = 1; row < kFareRowCount; ++row)
        painter.drawLine(area.left(), RowTop(row), area.right(), RowTop(row));
    for (std::size_t c = 1; c < kFareColumns.size(); ++c) {
        const int x = ThirdColumnCell(0, kFareColumns[c].first, kFareColumns[c].last).left();
        painter.drawLine(x, area.top(), x, area.bottom());
    }
}

void CNmeaDataWnd::AddMainCells(std::vector<Cell>& cells, const PanelStatistics& statistics) const
{
    const bool relay = store_.Get(settings::kCommRelayServerMode) != 0;
    const auto texts = MainCells(*state_, statistics, relay);
    for (int row = 0; row < kMainRowCount; ++row) {
        const CellText& text = texts[static_cast<std::size_t>(row)];
        cells.push_back({CellRect(kLabelColumn, row), text.label, true});
        cells.push_back({CellRect(kValueColumn, row), text.value, false});
    }
}

void CNmeaDataWnd::AddBaseInfoCells(std::vector<Cell>& cells) const
{
    const auto texts = BaseInfoCells(*state_, timeToFloat_, timeToFixed_);
    for (int row = 0; row < kBaseInfoRowCount; ++row) {
        const CellText& text = texts[static_cast<std::size_t>(row)];
        cells.push_back(
            {ThirdColumnCell(row, kThirdLabel.first, kThirdLabel.last), text.label, true});
        cells.push_back(
            {ThirdColumnCell(row, kThirdValue.first, kThirdValue.last), text.value, false});
    }
}

void CNmeaDataWnd::AddTaxiCells(std::vector<Cell>& cells, const TaxiFareValues& fare) const
{
    const auto fareRows = FareRows(fare);
    for (int row = 0; row < kFareRowCount; ++row) {
        const FareRow& r = fareRows[static_cast<std::size_t>(row)];
        const std::array<const QString*, 3> texts{&r.name, &r.amount, &r.distance};
        for (std::size_t c = 0; c < texts.size(); ++c) {
            const PartSpan span = kFareColumns[c];
            cells.push_back({ThirdColumnCell(row, span.first, span.last), *texts[c], row == 0});
        }
    }
    cells.push_back(
        {ThirdColumnCell(kImuRow, kThirdLabel.first, kThirdLabel.last), tr("IMU상태"), true});
    cells.push_back({ThirdColumnCell(kImuRow, kThirdValue.first, kThirdValue.last),
                     ImuStateText(state_->sensorsCalibrated), false});
    const auto sensorRows = SensorRows(sensors_);
    for (int i = 0; i < kSensorRowCount; ++i) {
        const SensorRow& r = sensorRows[static_cast<std::size_t>(i)];
        const std::array<const QString*, 3> texts{&r.time, &r.status, &r.sensor};
        for (std::size_t c = 0; c < texts.size(); ++c) {
            const PartSpan span = kSensorColumns[c];
            cells.push_back(
                {ThirdColumnCell(kSensorHeaderRow + i, span.first, span.last), *texts[c], i == 0});
        }
    }
}

void CNmeaDataWnd::DrawCell(QPainter& painter, const Cell& cell)
{
    const QRect& rect = cell.rect;
    const QString& text = cell.text;
    const bool bold = cell.bold;
    if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
    int pixels = std::clamp(rect.height() * 3 / 5, kMinFontPixels, kMaxFontPixels);
    QFont font = ViewFont(kFontMalgunGothic, pixels, bold);
    const int room = std::max(1, rect.width() - kCellPadding);
    const int needed = QFontMetrics(font).horizontalAdvance(text);
    // Long values shrink rather than spill into the next cell.
    if (needed > room) {
        pixels = std::max(kMinFontPixels, pixels * room / needed);
        font = ViewFont(kFontMalgunGothic, pixels, bold);
    }
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
}
