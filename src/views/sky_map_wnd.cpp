#include "views/sky_map_wnd.h"

#include <QPainter>

#include "views/display_toggles.h"
#include "views/satellite_display.h"
#include "views/sky_geometry.h"
#include "views/sky_texts.h"
#include "views/view_fonts.h"

namespace {
constexpr int kLabelFontHeight = 16;
constexpr int kCaptionFontHeight = 20;
constexpr int kCountFontHeight = 35;
constexpr int kSpokeStepDeg = 30;
constexpr int kCountBoxCornerRadius = 10;

QFont LabelFont()
{
    QFont font = ViewFont(kFontMalgunGothic, kLabelFontHeight);
    font.setWeight(QFont::Light);
    return font;
}

QPen DottedGridPen() { return QPen(kGridColour, 1, Qt::DotLine); }
}  // namespace

CSkyMapWnd::CSkyMapWnd(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void CSkyMapWnd::SetToggles(const CDisplayToggles* toggles)
{
    if (toggles_) disconnect(toggles_, nullptr, this, nullptr);
    toggles_ = toggles;
    if (toggles_) connect(toggles_, &CDisplayToggles::changed, this, qOverload<>(&QWidget::update));
    update();
}

void CSkyMapWnd::Update(const GnssReceiverState& state)
{
    if (!CopySatelliteData(state_, state)) return;
    // Signal strengths change at every epoch of a fast receiver; the map does not show them.
    ShownContent(next_);
    if (next_ == shown_) return;
    std::swap(next_, shown_);
    update();
}

void CSkyMapWnd::Clear()
{
    state_.Clear();
    shown_.clear();
    update();
}

void CSkyMapWnd::ShownContent(std::vector<std::int32_t>& out) const
{
    out.clear();
    out.push_back(state_.satellitesUsed);
    out.push_back(state_.inViewTotal);
    for (int row = 0; row < kConstellationCount; ++row) {
        const int count = InViewCountOf(state_, static_cast<Constellation>(row));
        out.push_back(count);
        for (int i = 0; i < count; ++i) {
            const SatelliteInView& satellite = state_.satellitesInView[row][i];
            out.insert(out.end(),
                       {satellite.prn, satellite.elevationDeg, satellite.azimuthDeg,
                        satellite.constellation, IsSatelliteInUse(state_, satellite) ? 1 : 0});
        }
    }
}

bool CSkyMapWnd::IsShown(Constellation constellation) const
{
    return !toggles_ || toggles_->IsConstellationOn(constellation);
}

void CSkyMapWnd::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, GridImage());
    PaintSatellites(painter);
    PaintCounts(painter);
}

const QPixmap& CSkyMapWnd::GridImage()
{
    const qreal ratio = devicePixelRatioF();
    if (grid_.isNull() || grid_.deviceIndependentSize() != QSizeF(size()) ||
        grid_.devicePixelRatio() != ratio) {
        grid_ = QPixmap(size() * ratio);
        grid_.setDevicePixelRatio(ratio);
        labelSizes_.clear();  // measured for another screen, perhaps
        QPainter painter(&grid_);
        painter.fillRect(rect(), Qt::white);
        PaintGrid(painter);
    }
    return grid_;
}

void CSkyMapWnd::PaintGrid(QPainter& painter) const
{
    const PolarGrid grid = SkyGrid(size());
    painter.setFont(LabelFont());
    for (int angle = 0; angle < 360; angle += kSpokeStepDeg) {
        painter.setPen(DottedGridPen());
        painter.drawLine(grid.centre, PolarPoint(grid.centre, grid.radius, angle));
        const QString text = SpokeLabel(angle);
        const QPoint at = PolarPoint(grid.centre, grid.radius + kSkyLabelOffset, angle);
        painter.setPen(kLabelTextColour);
        painter.drawText(CentredRect(at, painter.fontMetrics().size(0, text)), Qt::AlignCenter,
                         text);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black));
    painter.drawEllipse(grid.centre, grid.radius, grid.radius);
    painter.setPen(DottedGridPen());
    painter.drawEllipse(grid.centre, grid.radius * 2 / 3, grid.radius * 2 / 3);
    painter.drawEllipse(grid.centre, grid.radius / 3, grid.radius / 3);
}

void CSkyMapWnd::PaintSatellites(QPainter& painter) const
{
    const PolarGrid grid = SkySatelliteGrid(size());
    painter.setFont(LabelFont());
    for (const Constellation row : kSkyMapOrder) {
        if (!IsShown(row)) continue;
        const int count = InViewCountOf(state_, row);
        const auto* satellites = state_.satellitesInView[static_cast<std::size_t>(row)];
        for (int i = 0; i < count; ++i) PaintSatellite(painter, grid, row, satellites[i]);
    }
}

void CSkyMapWnd::PaintSatellite(QPainter& painter, const PolarGrid& grid, Constellation row,
                                const SatelliteInView& satellite) const
{
    const QString text = SatelliteLabel(row, satellite.prn);
    const QPoint at = SatellitePoint(grid, satellite.elevationDeg, satellite.azimuthDeg);
    auto size = labelSizes_.constFind(text);
    if (size == labelSizes_.constEnd())
        size = labelSizes_.insert(text, painter.fontMetrics().size(0, text));
    const QRect box = CentredRect(at, *size);
    const bool inUse = IsSatelliteInUse(state_, satellite);
    painter.fillRect(box, inUse ? SkyLabelColour(row, satellite) : kIdleLabelColour);
    painter.setPen(inUse ? Qt::white : Qt::black);
    texts_.Draw(painter, box, Qt::AlignCenter, text);
}

void CSkyMapWnd::PaintCounts(QPainter& painter) const
{
    const int r = SkyGrid(size()).radius;
    PaintCountBox(painter, QRect(0, 0, r, kSkyCountBoxHeight), tr("In Use"), state_.satellitesUsed);
    PaintCountBox(painter, QRect(width() - r, 0, r, kSkyCountBoxHeight), tr("In View"),
                  state_.inViewTotal);
}

void CSkyMapWnd::PaintCountBox(QPainter& painter, const QRect& box, const QString& caption,
                               std::int32_t count) const
{
    painter.setPen(QPen(Qt::black));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(box.adjusted(0, 0, -1, -1), kCountBoxCornerRadius,
                            kCountBoxCornerRadius);
    painter.setFont(ViewFont(kFontMalgunGothic, kCaptionFontHeight));
    texts_.Draw(painter, box, Qt::AlignHCenter | Qt::AlignTop, caption);
    painter.setFont(ViewFont(kFontMalgunGothic, kCountFontHeight));
    texts_.Draw(painter, box, Qt::AlignHCenter | Qt::AlignBottom, NumberText(count));
}
