#include "views/snr_wnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "decode/parser.h"
#include "views/display_toggles.h"
#include "views/sky_geometry.h"
#include "views/sky_texts.h"
#include "views/view_fonts.h"

namespace {
constexpr int kBarFontHeight = 16;
constexpr int kNoSignalFontHeight = 30;
constexpr int kPopupPadding = 4;
const QColor kStripColour{215, 215, 215};
const QColor kWeakerL2Colour{255, 255, 207};

QFont BarFont() { return ViewFont(kFontMalgunGothic, kBarFontHeight); }
}  // namespace

CSnrWnd::CSnrWnd(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void CSnrWnd::SetToggles(const CDisplayToggles* toggles)
{
    if (toggles_) disconnect(toggles_, nullptr, this, nullptr);
    toggles_ = toggles;
    if (toggles_) connect(toggles_, &CDisplayToggles::changed, this, qOverload<>(&QWidget::update));
    update();
}

void CSnrWnd::Update(const GnssReceiverState& state)
{
    if (!CopySatelliteData(state_, state)) return;
    if (!firstProtocol_ && state.owner) firstProtocol_ = state.owner->GetProtocolId();
    update();
}

void CSnrWnd::Clear()
{
    state_.Clear();
    update();
}

void CSnrWnd::OnLButtonDown(const QPoint& point)
{
    clicked_ = true;
    clickPoint_ = point;
    update();
}

void CSnrWnd::OnMouseMove(const QPoint&)
{
    // Without a repaint the popup would linger until the next epoch.
    if (clicked_) update();
    clicked_ = false;
}

void CSnrWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) OnLButtonDown(event->position().toPoint());
}

void CSnrWnd::mouseMoveEvent(QMouseEvent* event) { OnMouseMove(event->position().toPoint()); }

bool CSnrWnd::IsShown(Constellation constellation) const
{
    return !toggles_ || toggles_->IsConstellationOn(constellation);
}

bool CSnrWnd::IsBandOn(CDisplayToggles::Band band) const
{
    return !toggles_ || toggles_->IsBandOn(band);
}

int CSnrWnd::ShownSatelliteCount() const
{
    int count = 0;
    for (const Constellation row : kSignalOrder)
        if (IsShown(row)) count += InViewCountOf(state_, row);
    return count;
}

void CSnrWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int count = ShownSatelliteCount();
    if (count == 0) {
        painter.fillRect(rect(), Qt::white);
        PaintNoSignal(painter);
        return;
    }
    std::vector<Slot> shown;
    shown.reserve(static_cast<std::size_t>(count));
    for (const Constellation row : kSignalOrder) {
        if (!IsShown(row)) continue;
        const int rowCount = InViewCountOf(state_, row);
        const auto* satellites = state_.satellitesInView[static_cast<std::size_t>(row)];
        for (int i = 0; i < rowCount; ++i)
            shown.push_back(MakeSlot(static_cast<int>(shown.size()), count, row, satellites[i]));
    }
    painter.drawPixmap(0, 0, FrameImage(shown));
    popupRect_ = QRect();
    painter.setFont(BarFont());
    for (const Slot& slot : shown) {
        PaintBar(painter, slot);
        if (slot.bar.marked) PaintWeakerMark(painter, slot);
        TakePopup(painter, slot);
    }
    PaintPopup(painter);
}

const QPixmap& CSnrWnd::FrameImage(const std::vector<Slot>& shown)
{
    // The grid and the label cells change with the satellites listed, not with their signals:
    // a fast receiver sends new strengths at every epoch over the same frame.
    std::vector<QRgb> key;
    key.reserve(4 * shown.size());
    for (const Slot& slot : shown) {
        key.insert(key.end(),
                   {static_cast<QRgb>(slot.row), static_cast<QRgb>(slot.satellite->prn),
                    slot.colour.rgba(), IsSatelliteInUse(state_, *slot.satellite) ? 1u : 0u});
    }
    const qreal ratio = devicePixelRatioF();
    if (!frame_.isNull() && frame_.deviceIndependentSize() == QSizeF(size()) &&
        frame_.devicePixelRatio() == ratio && key == frameKey_)
        return frame_;
    frameKey_ = std::move(key);
    frame_ = QPixmap(size() * ratio);
    frame_.setDevicePixelRatio(ratio);
    QPainter painter(&frame_);
    // The label strip below the chart is filled by PaintFrame.
    painter.fillRect(0, 0, width(), std::max(0, SnrChartBottom(height())), Qt::white);
    PaintFrame(painter, static_cast<int>(shown.size()));
    painter.setFont(BarFont());
    for (const Slot& slot : shown) PaintLabelCell(painter, slot);
    return frame_;
}

CSnrWnd::Slot CSnrWnd::MakeSlot(int index, int count, Constellation row,
                                const SatelliteInView& satellite) const
{
    const bool fromNmea = firstProtocol_ == static_cast<std::int32_t>(ProtocolId::Nmea);
    Slot slot;
    slot.left = SnrSlotLeft(width(), count, index);
    slot.right = SnrSlotLeft(width(), count, index + 1);
    slot.row = row;
    slot.satellite = &satellite;
    slot.bar = ChooseSnrBar(satellite, IsBandOn(CDisplayToggles::Band::L1),
                            IsBandOn(CDisplayToggles::Band::L2));
    slot.colour = SignalBarColour(row, satellite, fromNmea);
    slot.top = SnrBarTop(height(), slot.bar.value);
    slot.weakerTop = slot.bar.marked ? SnrBarTop(height(), slot.bar.weakerValue) : slot.top;
    return slot;
}

void CSnrWnd::PaintNoSignal(QPainter& painter) const
{
    painter.setFont(ViewFont(kFontMalgunGothic, kNoSignalFontHeight));
    painter.setPen(kLabelTextColour);
    texts_.Draw(painter, rect(), Qt::AlignCenter, tr("No Signal"));
}

void CSnrWnd::PaintFrame(QPainter& painter, int count) const
{
    const int bottom = SnrChartBottom(height());
    const QRect strip(0, bottom, width(), height() - bottom);
    painter.fillRect(strip, kStripColour);
    painter.setPen(QPen(kGridColour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(strip.adjusted(0, 0, -1, -1));
    for (int i = 1; i < count; ++i) {
        const int x = SnrSlotLeft(width(), count, i);
        painter.drawLine(x, 0, x, height());
    }
}

void CSnrWnd::PaintBar(QPainter& painter, const Slot& slot) const
{
    const int bottom = SnrChartBottom(height());
    const QRect bar = InnerRect(slot.left, slot.top, slot.right, bottom);
    if (!bar.isEmpty()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(slot.colour, 1));
        if (slot.bar.l2Bar)
            painter.drawRect(bar.adjusted(0, 0, -1, -1));
        else
            painter.fillRect(bar, slot.colour);
    }
    // Strong signals reach the top: keep their value inside the window.
    const int textBottom = std::max(slot.top, painter.fontMetrics().height());
    painter.setPen(Qt::black);
    texts_.Draw(painter, QRect(slot.left, 0, slot.right - slot.left, textBottom),
                Qt::AlignHCenter | Qt::AlignBottom, NumberText(slot.bar.value));
}

void CSnrWnd::PaintWeakerMark(QPainter& painter, const Slot& slot) const
{
    const QRect section = InnerRect(slot.left, slot.top, slot.right, slot.weakerTop);
    if (!section.isEmpty()) {
        painter.fillRect(section, slot.bar.weakerIsL1 ? slot.colour : kWeakerL2Colour);
        painter.setPen(QPen(slot.colour, 1));
        painter.setBrush(Qt::NoBrush);
        if (!slot.bar.weakerIsL1) painter.drawRect(section.adjusted(0, 0, -1, -1));
    }
    // Below the mark the bar is solid unless it is an outlined L2 bar.
    painter.setPen(slot.bar.l2Bar ? Qt::black : Qt::white);
    texts_.Draw(painter,
                QRect(slot.left, slot.weakerTop, slot.right - slot.left, kSnrWeakerTextHeight),
                Qt::AlignCenter, NumberText(slot.bar.weakerValue));
}

void CSnrWnd::PaintLabelCell(QPainter& painter, const Slot& slot) const
{
    const int bottom = SnrChartBottom(height());
    const bool inUse = IsSatelliteInUse(state_, *slot.satellite);
    const QRect cell = InnerRect(slot.left, bottom, slot.right, height());
    if (!cell.isEmpty()) painter.fillRect(cell, inUse ? slot.colour : kIdleLabelColour);
    const int half = (height() - bottom) / 2;
    const int width = slot.right - slot.left;
    painter.setPen(inUse ? Qt::white : Qt::black);
    texts_.Draw(painter, QRect(slot.left, bottom, width, half), Qt::AlignCenter,
                ConstellationLetter(slot.row));
    texts_.Draw(painter, QRect(slot.left, bottom + half, width, height() - bottom - half),
                Qt::AlignCenter, NumberText(slot.satellite->prn));
}

void CSnrWnd::TakePopup(QPainter& painter, const Slot& slot)
{
    const int bottom = SnrChartBottom(height());
    const QPoint p = clickPoint_;
    if (!clicked_ || p.x() < slot.left || p.x() >= slot.right || p.y() < slot.top ||
        p.y() >= bottom)
        return;
    // A click under the weaker band's height asks about the weaker band.
    const bool weaker = slot.bar.marked && p.y() >= slot.weakerTop;
    popupLabel_ = SatelliteLabel(slot.row, slot.satellite->prn);
    popupValue_ = SnrPopupValueText(weaker ? slot.bar.weakerValue : slot.bar.value);
    const QFontMetrics metrics = painter.fontMetrics();
    const int textWidth =
        std::max(metrics.horizontalAdvance(popupLabel_), metrics.horizontalAdvance(popupValue_));
    const int textHeight = metrics.height();
    popupRect_ = QRect(p.x(), p.y() - 2 * textHeight, textWidth + kPopupPadding, 2 * textHeight);
}

void CSnrWnd::PaintPopup(QPainter& painter) const
{
    if (!clicked_ || popupRect_.isEmpty()) return;
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(popupRect_.adjusted(0, 0, -1, -1));
    const int half = popupRect_.height() / 2;
    QRect upper = popupRect_;
    upper.setHeight(half);
    texts_.Draw(painter, upper, Qt::AlignCenter, popupLabel_);
    texts_.Draw(painter, upper.translated(0, half), Qt::AlignCenter, popupValue_);
}
