#include "views/plots_view.h"

#include <QColorDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "geo/coord_system_table.h"
#include "settings/settings_store.h"
#include "views/reference_stations.h"
#include "views/view_fonts.h"

namespace {

constexpr int kFontHeight = 16;
constexpr int kTextMargin = 5;
constexpr int kRadiusMargin = 10;
constexpr int kGridStepsInRange = 3;
constexpr int kMaxPointSize = 50;
// Positions from another process always go onto GRS80 UTM-K.
constexpr int kForeignPositionRow = kUtmKRow;
// Far beyond any window, yet safely inside int and the raster engine's fixed point.
constexpr double kPixelLimit = 1e6;

constexpr std::uint32_t kGridColour = 0xC4C4C4;
constexpr std::uint32_t kScaleLabelColour = 0x060606;
constexpr std::uint32_t kRmsCircleColour = 0x00FF00;
constexpr std::uint32_t kCepCircleColour = 0x0000FF;
// Live points ignore the configurable colours: GPS, DGPS, Float, RTK, DR.
constexpr std::array<std::uint32_t, kPlotLegendCount> kLiveColours{0x808080, 0x008000, 0xFF0000,
                                                                   0x0000FF, 0x000040};
constexpr std::array<IntSetting, kPlotLegendCount> kClassColourKeys{
    settings::kPlotRgbGps, settings::kPlotRgbDgps, settings::kPlotRgbFloat, settings::kPlotRgbRtk,
    settings::kPlotRgbDr};

static_assert(CPlotMarkGrid::kSlots == kPlotLegendCount);
constexpr int kButtonX = 56;  // from the right edge
constexpr int kButtonTop = 2;
constexpr int kButtonPitch = 54;

CPlotsView::CentreMode CentreModeFrom(std::int32_t value)
{
    if (value < 0 || value > 3) return CPlotsView::CentreMode::kNewestPoint;
    return static_cast<CPlotsView::CentreMode>(value);
}

double DegreesFrom(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

std::size_t SlotIndex(std::int32_t fixClass)
{
    return static_cast<std::size_t>(PlotSlotOfClass(fixClass));
}

// The circle leaves a visible mark only when some of its outline lies inside the view.
bool CircleCrossesView(const QPointF& c, double r, const QRect& view)
{
    if (!std::isfinite(r) || r <= 0.0 || r > kPixelLimit) return false;
    if (!std::isfinite(c.x()) || !std::isfinite(c.y())) return false;
    const double dx = std::max({view.left() - c.x(), 0.0, c.x() - view.right()});
    const double dy = std::max({view.top() - c.y(), 0.0, c.y() - view.bottom()});
    const double farX = std::max(std::fabs(c.x() - view.left()), std::fabs(c.x() - view.right()));
    const double farY = std::max(std::fabs(c.y() - view.top()), std::fabs(c.y() - view.bottom()));
    return std::hypot(dx, dy) <= r && r <= std::hypot(farX, farY);
}

void DrawCircle(QPainter& painter, std::uint32_t colorRef, const QPointF& c, double r,
                const QRect& view)
{
    if (!CircleCrossesView(c, r, view)) return;
    painter.setPen(QPen(ColorFromColorRef(colorRef), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(c, r, r);
}

enum class Glyph { kPlus, kMinus, kCross, kTarget };

QIcon MakeButtonIcon(Glyph glyph)
{
    QPixmap pixmap(40, 40);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 4, Qt::SolidLine, Qt::RoundCap));
    switch (glyph) {
        case Glyph::kPlus: painter.drawLine(20, 8, 20, 32); [[fallthrough]];
        case Glyph::kMinus: painter.drawLine(8, 20, 32, 20); break;
        case Glyph::kCross:
            painter.drawLine(10, 10, 30, 30);
            painter.drawLine(30, 10, 10, 30);
            break;
        case Glyph::kTarget:
            painter.drawEllipse(QPoint(20, 20), 11, 11);
            painter.drawPoint(20, 20);
            break;
    }
    return QIcon(pixmap);
}

}  // namespace

QColor ColorFromColorRef(std::uint32_t colorRef)
{
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

std::uint32_t ColorRefFromColor(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
           (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

CPlotsView::CPlotsView(QWidget* parent)
    : QWidget(parent),
      eastingText_(PlotEastingText(0.0)),
      northingText_(PlotNorthingText(0.0)),
      ellipsoidLabel_(PlotEllipsoidLabel()),
      coordSystemLabel_(PlotCoordSystemLabel(coordSystem_))
{
    for (std::size_t i = 0; i < classColours_.size(); ++i) {
        classColours_[i] =
            ColorFromColorRef(static_cast<std::uint32_t>(kClassColourKeys[i].defaultValue));
    }
    setFont(ViewFont(kFontDotumChe, kFontHeight));
    setAttribute(Qt::WA_OpaquePaintEvent);
    CreateButtons();
}

void CPlotsView::CreateButtons()
{
    struct ButtonKind {
        const char* name;
        QString tip;
        Glyph glyph;
        void (CPlotsView::*slot)();
    };
    const std::array<ButtonKind, 4> kinds{{
        {"zoomIn", tr("확대"), Glyph::kPlus, &CPlotsView::ZoomIn},
        {"zoomOut", tr("축소"), Glyph::kMinus, &CPlotsView::ZoomOut},
        {"clear", tr("지우기"), Glyph::kCross, &CPlotsView::ClearLivePoints},
        {"resetPan", tr("화면 이동 초기화"), Glyph::kTarget, &CPlotsView::ResetPan},
    }};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(kinds[i].name));
        button->setToolTip(kinds[i].tip);
        button->setIcon(MakeButtonIcon(kinds[i].glyph));
        button->setIconSize(QSize(40, 40));
        button->resize(kButtonWidth, kButtonHeight);
        connect(button, &QToolButton::clicked, this, kinds[i].slot);
        buttons_[i] = button;
    }
}

void CPlotsView::LoadSettings(const CSettingsStore& store)
{
    scaleIndex_ = ClampPlotScaleIndex(store.Get(settings::kPlotScaleIndex));
    centreMode_ = CentreModeFrom(store.Get(settings::kRefPointCenter));
    const std::int32_t system = store.Get(settings::kRefPointCoordSys);
    coordSystem_ = (system >= 0 && system < kPlotCoordSystemCount)
                       ? system
                       : settings::kRefPointCoordSys.defaultValue;
    degreeTextStyle_ = store.Get(settings::kRefPointDmsType);
    pointSize_ = std::clamp(store.Get(settings::kPlotPixelSize), 1, kMaxPointSize);
    for (std::size_t i = 0; i < classColours_.size(); ++i) {
        classColours_[i] =
            ColorFromColorRef(static_cast<std::uint32_t>(store.Get(kClassColourKeys[i])));
    }
    coordSystemLabel_ = PlotCoordSystemLabel(coordSystem_);
    LoadCentre(store);
    marks_.ClearReplay();
    update();
}

void CPlotsView::LoadCentre(const CSettingsStore& store)
{
    centreLongitude_ = DegreesFrom(store.Get(settings::kRefPointLongitude));
    centreLatitude_ = DegreesFrom(store.Get(settings::kRefPointLatitude));
    // A station row outside the table leaves the stored point, as when none is chosen.
    if (centreMode_ == CentreMode::kReferenceStation) {
        if (const auto station = StationPosition(store.Get(settings::kRefPointRefSite))) {
            centreLongitude_ = station->longitude;
            centreLatitude_ = station->latitude;
        }
    }
    const auto centre = Project(centreLongitude_, centreLatitude_, SelectedRow(centreLongitude_));
    centreEasting_ = centre ? centre->x() : 0.0;
    centreNorthing_ = centre ? centre->y() : 0.0;
}

void CPlotsView::SetReplayPositionList(const std::vector<GeoPoint>* list)
{
    if (list == nullptr) {
        replayPositionAt_ = {};
        return;
    }
    replayPositionAt_ = [list](std::size_t n) -> std::optional<ReplayPosition> {
        if (n >= list->size()) return std::nullopt;
        const GeoPoint& p = (*list)[n];
        return ReplayPosition{p.longitude, p.latitude, static_cast<std::int32_t>(p.fixQuality)};
    };
}

void CPlotsView::SetReplayPositions(ReplayPositionAt positionAt)
{
    replayPositionAt_ = std::move(positionAt);
}

std::optional<QPointF> CPlotsView::Project(double longitude, double latitude, int row)
{
    if (!std::isfinite(longitude) || !std::isfinite(latitude)) return std::nullopt;
    if (converter_.DestinationRow() != row && !converter_.SelectDestination(row)) {
        return std::nullopt;
    }
    double easting = 0.0;
    double northing = 0.0;
    if (!converter_.Convert(longitude, latitude, easting, northing).Ok()) return std::nullopt;
    if (!std::isfinite(easting) || !std::isfinite(northing)) return std::nullopt;
    return QPointF(easting, northing);
}

int CPlotsView::SelectedRow(double longitude) const
{
    return PlotCoordSystemRow(coordSystem_, longitude).value_or(-1);
}

bool CPlotsView::HasFixedCentre() const
{
    return centreMode_ == CentreMode::kReferenceStation ||
           centreMode_ == CentreMode::kArbitraryPoint;
}

bool CPlotsView::AddPosition(double longitude, double latitude, std::uint32_t flag,
                             std::int32_t fixClass, bool useSelectedSystem)
{
    const int row = useSelectedSystem ? SelectedRow(longitude) : kForeignPositionRow;
    const auto grid = Project(longitude, latitude, row);
    if (!grid) return false;
    marks_.AddLive(grid->x(), grid->y(), static_cast<std::uint8_t>(SlotIndex(fixClass)));
    newest_ = PlotPoint{grid->x(), grid->y(), flag, fixClass};
    eastingText_ = PlotEastingText(grid->x());
    northingText_ = PlotNorthingText(grid->y());
    if (HasFixedCentre()) {
        statistics_.Add(grid->x(), grid->y(), latitude, longitude, centreLatitude_,
                        centreLongitude_);
    } else {
        statistics_.Add(grid->x(), grid->y(), latitude, longitude);
    }
    newestLatitude_ = latitude;
    newestLongitude_ = longitude;
    update();
    return true;
}

bool CPlotsView::AddReplayPoint(int index)
{
    if (!replayPositionAt_ || index < 0) return false;
    const std::optional<ReplayPosition> epoch = replayPositionAt_(static_cast<std::size_t>(index));
    if (!epoch) return false;
    const auto grid = Project(epoch->longitude, epoch->latitude, SelectedRow(epoch->longitude));
    if (!grid) return false;
    marks_.AddReplay(grid->x(), grid->y(), static_cast<std::uint8_t>(SlotIndex(epoch->fixQuality)));
    update();
    return true;
}

void CPlotsView::Clear(bool repaint)
{
    // Gives the memory of a long session back.
    marks_.Clear();
    anchor_.reset();
    newest_.reset();
    statistics_.Clear();
    if (repaint) update();
}

void CPlotsView::ClearLivePoints()
{
    marks_.ClearLive();
    newest_.reset();
    statistics_.Clear();
    update();
}

void CPlotsView::SetErrorCircles(double rms, double cep)
{
    rms_ = rms;
    cep_ = cep;
    update();
}

void CPlotsView::SetMouseLock(bool on) { mouseLocked_ = on; }

void CPlotsView::ChooseClassColour(int colourClass, CSettingsStore& store)
{
    if (colourClass < 1 || colourClass > kPlotLegendCount) return;
    const QColor chosen = QColorDialog::getColor(ClassColour(colourClass), this);
    if (chosen.isValid()) SetClassColour(colourClass, chosen, store);
}

bool CPlotsView::SetClassColour(int colourClass, const QColor& colour, CSettingsStore& store)
{
    if (colourClass < 1 || colourClass > kPlotLegendCount || !colour.isValid()) return false;
    const auto slot = static_cast<std::size_t>(colourClass - 1);
    classColours_[slot] = colour.toRgb();
    store.Write(kClassColourKeys[slot], static_cast<std::int32_t>(ColorRefFromColor(colour)));
    update();
    return true;
}

QColor CPlotsView::ClassColour(int colourClass) const
{
    if (colourClass < 1 || colourClass > kPlotLegendCount) return {};
    return classColours_[static_cast<std::size_t>(colourClass - 1)];
}

std::optional<CPlotsView::PlotPoint> CPlotsView::NewestLivePoint() const { return newest_; }

int CPlotsView::LineHeight() const { return fontMetrics().height(); }

QRect CPlotsView::LegendRect(int colourClass) const
{
    if (marks_.ReplayCount() == 0 || colourClass < 1 || colourClass > kPlotLegendCount) return {};
    const int h = LineHeight();
    const int y = (5 + colourClass) * h + kTextMargin;
    return QRect(4 * h + kTextMargin, y + 1, h - 2, h - 2);
}

void CPlotsView::SetScaleIndex(int index)
{
    const int clamped = ClampPlotScaleIndex(index);
    const bool changed = clamped != scaleIndex_;
    scaleIndex_ = clamped;
    if (changed) emit ScaleIndexChanged(scaleIndex_);
    update();
}

void CPlotsView::ZoomIn() { SetScaleIndex(scaleIndex_ - 1); }

void CPlotsView::ZoomOut() { SetScaleIndex(scaleIndex_ + 1); }

void CPlotsView::ResetPan()
{
    pan_ = QPoint();
    update();
}

CPlotsView::Geometry CPlotsView::CurrentGeometry() const
{
    Geometry g;
    g.width = width();
    g.height = height();
    g.cx = g.width / 2;
    g.cy = g.height / 2;
    // A window smaller than the margins still gets a usable radius.
    g.r = std::max(1, std::min(g.width, g.height) / 2 - kRadiusMargin);
    g.range = kGridStepsInRange * PlotScaleMetres(scaleIndex_);
    if (centreMode_ == CentreMode::kAverage) {
        FollowCentre(g, statistics_.AverageEasting(), statistics_.AverageNorthing());
    } else if (centreMode_ == CentreMode::kNewestPoint) {
        FollowCentre(g, newest_ ? newest_->easting : 0.0, newest_ ? newest_->northing : 0.0);
    } else {
        g.centreEasting = centreEasting_;
        g.centreNorthing = centreNorthing_;
    }
    g.shift = pan_ + (dragCurrent_ - dragStart_);
    return g;
}

// A centre that follows the points moves in whole pixels from an anchor, so that the next paint
// moves the kept marks and draws only the strips that come into view, instead of placing every
// mark again for a sub-pixel move. Marks stay within half a pixel of the exact centre's places.
void CPlotsView::FollowCentre(Geometry& g, double easting, double northing) const
{
    // Far enough to re-anchor seldom, near enough that visible columns stay within the
    // pixel rule's range before the shift.
    constexpr double kAnchorReach = 1 << 18;
    g.centreEasting = easting;
    g.centreNorthing = northing;
    if (!std::isfinite(easting) || !std::isfinite(northing)) return;
    const auto offset = [&](double from, double to) { return (to - from) * g.r / g.range; };
    if (!anchor_ || anchor_->r != g.r || anchor_->range != g.range ||
        !(std::abs(offset(anchor_->easting, easting)) < kAnchorReach) ||
        !(std::abs(offset(anchor_->northing, northing)) < kAnchorReach)) {
        anchor_ = FollowAnchor{easting, northing, g.range, g.r};
    }
    g.centreEasting = anchor_->easting;
    g.centreNorthing = anchor_->northing;
    g.follow = QPoint(-static_cast<int>(std::lround(offset(anchor_->easting, easting))),
                      static_cast<int>(std::lround(offset(anchor_->northing, northing))));
}

PlotPixelRule CPlotsView::PixelRule(const Geometry& g)
{
    const QPoint shift = g.shift + g.follow;
    return PlotPixelRule{g.width,         g.height,         g.cx,      g.cy,     g.r, g.range,
                         g.centreEasting, g.centreNorthing, shift.x(), shift.y()};
}

void CPlotsView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const Geometry g = CurrentGeometry();
    const int h = LineHeight();
    DrawAxesAndGrid(painter, g);
    DrawScaleLabel(painter, g);
    DrawTextLines(painter, h);
    DrawLegend(painter, h);
    DrawPoints(painter, g);
    DrawErrorCircles(painter, g);
    DrawStatisticsLines(painter, h);
}

void CPlotsView::DrawAxesAndGrid(QPainter& painter, const Geometry& g) const
{
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(g.cx, 0, g.cx, g.height - 1);
    painter.drawLine(0, g.cy, g.width - 1, g.cy);

    const int step = static_cast<int>(std::lround(g.r / static_cast<double>(kGridStepsInRange)));
    if (step < 1) return;
    painter.setPen(QPen(ColorFromColorRef(kGridColour), 1, Qt::DotLine));
    for (int x = g.cx + step; x < g.width; x += step) painter.drawLine(x, 0, x, g.height - 1);
    for (int x = g.cx - step; x >= 0; x -= step) painter.drawLine(x, 0, x, g.height - 1);
    for (int y = g.cy + step; y < g.height; y += step) painter.drawLine(0, y, g.width - 1, y);
    for (int y = g.cy - step; y >= 0; y -= step) painter.drawLine(0, y, g.width - 1, y);
}

void CPlotsView::DrawScaleLabel(QPainter& painter, const Geometry& g) const
{
    const QString label = PlotScaleLabel(scaleIndex_);
    const QFontMetrics metrics = fontMetrics();
    const int x =
        g.cx + static_cast<int>(std::lround(g.r / static_cast<double>(kGridStepsInRange)));
    const QRect box(x, g.cy - metrics.height(), metrics.horizontalAdvance(label) + 1,
                    metrics.height());
    painter.setPen(ColorFromColorRef(kScaleLabelColour));
    texts_.Draw(painter, box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label);
}

void CPlotsView::DrawTextLines(QPainter& painter, int h) const
{
    const std::array<QString, 6> lines{PlotLevelLine(scaleIndex_),
                                       PlotCountLine(static_cast<std::int64_t>(LiveCount())),
                                       ellipsoidLabel_,
                                       coordSystemLabel_,
                                       eastingText_,
                                       northingText_};
    painter.setPen(Qt::black);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int y = static_cast<int>(i) * h + kTextMargin;
        texts_.Draw(painter, QRect(kTextMargin, y, width(), h),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, lines[i]);
    }
}

void CPlotsView::DrawLegend(QPainter& painter, int h) const
{
    painter.setPen(Qt::black);
    for (int slot = 0; slot < kPlotLegendCount; ++slot) {
        const int y = (6 + slot) * h + kTextMargin;
        texts_.Draw(painter, QRect(kTextMargin, y, 3 * h, h),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, PlotLegendLabel(slot));
        const QColor live = ColorFromColorRef(kLiveColours[static_cast<std::size_t>(slot)]);
        painter.fillRect(QRect(3 * h + kTextMargin, y + 1, h - 2, h - 2), live);
        const QRect replaySwatch = LegendRect(slot + 1);
        if (!replaySwatch.isEmpty()) {
            painter.fillRect(replaySwatch, classColours_[static_cast<std::size_t>(slot)]);
        }
    }
}

CPlotMarkPainter::Style CPlotsView::MarkStyle(const Geometry& g) const
{
    CPlotMarkPainter::Style style{pointSize_, QSize(g.width, g.height), {}, classColours_};
    for (std::size_t i = 0; i < style.live.size(); ++i) {
        style.live[i] = ColorFromColorRef(kLiveColours[i]);
    }
    return style;
}

void CPlotsView::DrawErrorCircles(QPainter& painter, const Geometry& g) const
{
    if (!HasFixedCentre()) return;
    const QRect view(0, 0, g.width, g.height);
    // Both circles follow the pan, like the points they describe.
    const QPointF centre(g.cx + g.shift.x(), g.cy + g.shift.y());
    DrawCircle(painter, kRmsCircleColour, centre, g.r * rms_ / g.range, view);

    const double ax = g.cx + g.r * (statistics_.AverageEasting() - g.centreEasting) / g.range + 0.5;
    const double ay =
        g.cy - g.r * (statistics_.AverageNorthing() - g.centreNorthing) / g.range + 0.5;
    if (!(std::fabs(ax) < kPixelLimit && std::fabs(ay) < kPixelLimit)) return;
    const QPointF average(std::trunc(ax) + g.shift.x(), std::trunc(ay) + g.shift.y());
    DrawCircle(painter, kCepCircleColour, average, g.r * cep_ / g.range, view);
}

void CPlotsView::DrawStatisticsLines(QPainter& painter, int h) const
{
    const QString average =
        PlotAverageLine(statistics_.AverageLatitude(), statistics_.AverageLongitude());
    const QString maxError = HasFixedCentre() ? PlotMaxErrorLine(statistics_.MaxErrorLatitude(),
                                                                 statistics_.MaxErrorLongitude())
                                              : PlotBlankMaxErrorLine();
    painter.setPen(Qt::black);
    const auto flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    texts_.Draw(painter, QRect(kTextMargin, 12 * h + kTextMargin, width(), h), flags, average);
    texts_.Draw(painter, QRect(kTextMargin, 13 * h + kTextMargin, width(), h), flags, maxError);
}

void CPlotsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->move(width() - kButtonX, kButtonTop + static_cast<int>(i) * kButtonPitch);
    }
}

void CPlotsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || mouseLocked_) return;
    dragging_ = true;
    dragStart_ = event->position().toPoint();
    dragCurrent_ = dragStart_;
}

void CPlotsView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    dragCurrent_ = event->position().toPoint();
    update();
}

void CPlotsView::mouseReleaseEvent(QMouseEvent* event)
{
    // A drag that began unlocked is always committed, so the plot never keeps a dangling
    // offset.
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    pan_ += dragCurrent_ - dragStart_;
    dragCurrent_ = dragStart_;
    update();
}

void CPlotsView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    for (int colourClass = 1; colourClass <= kPlotLegendCount; ++colourClass) {
        if (LegendRect(colourClass).contains(at)) {
            emit ClassColourRequested(colourClass);
            return;
        }
    }
}

void CPlotsView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    // Horizontal scrolling and touchpad phase events carry no vertical delta: not a zoom.
    if (delta == 0) return;
    if (delta > 0) {
        ZoomIn();
    } else {
        ZoomOut();
    }
    event->accept();
}
