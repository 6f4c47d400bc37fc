#include "views/graphs/graph_ctrls.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QSaveFile>
#include <QWheelEvent>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "views/view_fonts.h"

namespace {

constexpr int kLeftMargin = 60;
constexpr int kRightMargin = 8;
constexpr int kTopMargin = 24;
constexpr int kBottomMargin = 20;
constexpr int kTextFontHeight = 14;
constexpr int kTitleFontHeight = 16;
constexpr int kPointSize = 3;
constexpr int kMinZoomStep = -3;
constexpr int kMaxZoomStep = 5;

const QColor kGridColour{0xC4, 0xC4, 0xC4};
const QColor kZeroLineColour{0x80, 0x80, 0x80};
const QColor kLabelColour{0x06, 0x06, 0x06};

void AppendNumber(QByteArray& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void AppendNumber(QByteArray& out, float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void AppendNumber(QByteArray& out, std::size_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

// Points of one colour, drawn in one call.
struct PointBucket {
    QRgb colour;
    QPolygon points;
};

}  // namespace

QColor GraphFixColour(int fixClass)
{
    switch (fixClass) {
        case 2: return QColor(0x00, 0x80, 0x00);
        case 4: return QColor(0xFF, 0x00, 0x00);
        case 5: return QColor(0x00, 0x00, 0xFF);
        case 6: return QColor(0x40, 0x00, 0x00);
        default: break;
    }
    return QColor(0x80, 0x80, 0x80);
}

CGraphCtrl::CGraphCtrl(Style style, QWidget* parent)
    : QWidget(parent), style_(std::move(style)), windowLength_(style_.windowLength)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

std::size_t CGraphCtrl::Span() const
{
    const double span = std::ldexp(static_cast<double>(windowLength_), zoomStep_);
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::llround(span)), 2,
                                   kMaxGraphSamples);
}

GraphWindow CGraphCtrl::Window() const
{
    return VisibleGraphWindow(ring_.Count(), ring_.OldestIndex(), Span(), pinnedLast_);
}

std::pair<std::size_t, std::size_t> CGraphCtrl::VisibleWindow() const
{
    const GraphWindow w = Window();
    return {w.first, w.last};
}

void CGraphCtrl::SetSampleRate(double samplesPerSecond)
{
    if (samplesPerSecond > 0.0 && std::isfinite(samplesPerSecond))
        samplesPerSecond_ = samplesPerSecond;
    update();
}

void CGraphCtrl::Push(const GraphSample& sample, bool repaint)
{
    ring_.Push(sample);
    if (repaint) update();
}

void CGraphCtrl::ClearSamples(bool repaint)
{
    ring_.Clear();
    pinnedLast_.reset();
    dragging_ = false;
    if (repaint) update();
}

void CGraphCtrl::FollowNewest()
{
    pinnedLast_.reset();
    update();
}

void CGraphCtrl::ZoomBy(int steps)
{
    zoomStep_ = std::clamp(zoomStep_ + steps, kMinZoomStep, kMaxZoomStep);
    update();
}

QRect CGraphCtrl::PlotRect() const
{
    return QRect(kLeftMargin, kTopMargin, std::max(2, width() - kLeftMargin - kRightMargin),
                 std::max(2, height() - kTopMargin - kBottomMargin));
}

int CGraphCtrl::IndexToX(std::size_t index) const
{
    const QRect plot = PlotRect();
    const GraphWindow w = Window();
    const double offset = static_cast<double>(index) - static_cast<double>(w.first);
    return plot.left() + static_cast<int>(std::lround(offset * (plot.width() - 1) /
                                                      static_cast<double>(Span() - 1)));
}

int CGraphCtrl::FractionToY(double fraction) const
{
    const QRect plot = PlotRect();
    const double f = std::clamp(fraction, 0.0, 1.0);
    return plot.top() + static_cast<int>(std::lround((1.0 - f) * (plot.height() - 1)));
}

QStringList CGraphCtrl::AxisLabels() const
{
    QStringList labels;
    for (const GridLine& line : GridLines())
        if (!line.label.isEmpty()) labels << line.label;
    return labels;
}

QByteArray CGraphCtrl::CsvHeader() const { return "index,value,valid,fix_class\n"; }

void CGraphCtrl::AppendCsvRow(QByteArray& out, std::size_t index, const GraphSample& s) const
{
    AppendNumber(out, index);
    out += ',';
    AppendNumber(out, s.value);
    out += s.Valid() ? ",1," : ",0,";
    AppendNumber(out, static_cast<std::size_t>(s.fixClass));
    out += '\n';
}

bool CGraphCtrl::ExportCsv(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray chunk = CsvHeader();
    const std::size_t oldest = ring_.OldestIndex();
    for (std::size_t i = 0; i < ring_.Kept(); ++i) {
        AppendCsvRow(chunk, oldest + i, ring_.Kept(i));
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size()) return false;
            chunk.clear();
        }
    }
    if (file.write(chunk) != chunk.size()) return false;
    return file.commit();
}

void CGraphCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect plot = PlotRect();
    PaintGrid(painter, plot);
    PaintTimeAxis(painter, plot);
    PaintNewest(painter, plot);  // under the samples, so it never hides one
    PaintSamples(painter, plot);
    PaintTexts(painter, plot);
}

void CGraphCtrl::PaintGrid(QPainter& painter, const QRect& plot) const
{
    painter.setFont(ViewFont(kFontMalgunGothic, kTextFontHeight));
    const int textHeight = painter.fontMetrics().height();
    const std::vector<GridLine> lines = GridLines();
    // The zero line goes last so that grid lines never cover it.
    for (const bool zero : {false, true}) {
        for (const GridLine& line : lines) {
            if (line.zero != zero) continue;
            const int y = FractionToY(line.fraction);
            painter.setPen(line.zero ? kZeroLineColour : kGridColour);
            painter.drawLine(plot.left(), y, plot.right(), y);
            if (line.label.isEmpty()) continue;
            painter.setPen(kLabelColour);
            // The top label stays clear of the title row.
            const int top = std::max(y - textHeight / 2, kTopMargin);
            painter.drawText(QRect(0, top, kLeftMargin - 4, textHeight),
                             Qt::AlignRight | Qt::AlignVCenter, line.label);
        }
    }
    painter.setPen(kGridColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
}

void CGraphCtrl::PaintTimeAxis(QPainter& painter, const QRect& plot) const
{
    const GraphWindow w = Window();
    if (ring_.Count() == 0) return;
    const int textHeight = painter.fontMetrics().height();
    for (const TimeTick& tick : TimeTicks(w, Span(), samplesPerSecond_, style_.hoursOnTimeAxis)) {
        const int x = IndexToX(tick.index);
        painter.setPen(kGridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(kLabelColour);
        painter.drawText(QRect(x - 40, plot.bottom() + 2, 80, textHeight), Qt::AlignCenter,
                         tick.label);
    }
}

void CGraphCtrl::PaintSamples(QPainter& painter, const QRect& plot) const
{
    if (ring_.Count() == 0) return;
    const GraphWindow w = Window();
    const std::size_t first = std::max(w.first, ring_.OldestIndex());
    const double xScale = (plot.width() - 1) / static_cast<double>(Span() - 1);
    const double yScale = plot.height() - 1;
    std::vector<PointBucket> buckets;
    for (int series = 0; series < SeriesCount(); ++series) {
        QPoint previous(-1, -1);
        for (std::size_t i = first; i <= w.last; ++i) {
            double fraction = 0.0;
            QColor colour;
            if (!SamplePoint(ring_.At(i), series, &fraction, &colour)) continue;
            const QPoint p(plot.left() + static_cast<int>(std::lround((i - w.first) * xScale)),
                           plot.top() + static_cast<int>(std::lround(
                                            (1.0 - std::clamp(fraction, 0.0, 1.0)) * yScale)));
            if (p == previous) continue;  // long windows put many samples on one pixel
            previous = p;
            const QRgb rgb = colour.rgb();
            auto bucket = std::find_if(buckets.begin(), buckets.end(),
                                       [rgb](const PointBucket& b) { return b.colour == rgb; });
            if (bucket == buckets.end()) bucket = buckets.insert(buckets.end(), {rgb, QPolygon()});
            bucket->points << p;
        }
    }
    painter.save();
    painter.setClipRect(plot);
    for (const PointBucket& bucket : buckets) {
        painter.setPen(
            QPen(QColor::fromRgb(bucket.colour), kPointSize, Qt::SolidLine, Qt::SquareCap));
        painter.drawPoints(bucket.points);
    }
    painter.restore();
}

void CGraphCtrl::PaintTexts(QPainter& painter, const QRect& plot) const
{
    painter.setFont(ViewFont(kFontMalgunGothic, kTitleFontHeight, true));
    painter.setPen(kLabelColour);
    const QRect titleRow(4, 0, width() - 8, kTopMargin);
    painter.drawText(titleRow, Qt::AlignLeft | Qt::AlignVCenter, style_.title);
    int x = titleRow.left() + painter.fontMetrics().horizontalAdvance(style_.title) + 16;
    painter.setFont(ViewFont(kFontMalgunGothic, kTextFontHeight, true));
    for (const auto& [text, colour] : style_.legend) {
        painter.setPen(colour);
        painter.drawText(QRect(x, 0, width(), kTopMargin), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += painter.fontMetrics().horizontalAdvance(text) + 10;
    }
    painter.setPen(kLabelColour);
    painter.drawText(titleRow, Qt::AlignRight | Qt::AlignVCenter, style_.topCaption);
    painter.drawText(QRect(4, plot.bottom() + 1, width() - 8, kBottomMargin),
                     Qt::AlignRight | Qt::AlignVCenter, style_.bottomCaption);
}

void CGraphCtrl::PaintNewest(QPainter& painter, const QRect& plot) const
{
    const QString newest = NewestText();
    if (newest.isEmpty()) return;
    painter.setFont(ViewFont(kFontArial, std::min(style_.valueFontHeight, plot.height())));
    painter.setPen(style_.valueColour);
    painter.drawText(plot.adjusted(4, 0, -6, 0), Qt::AlignRight | Qt::AlignTop, newest);
}

void CGraphCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragStartX_ = event->position().toPoint().x();
    dragStartLast_ = Window().last;
}

void CGraphCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || ring_.Count() == 0) return;
    const QRect plot = PlotRect();
    const double samplesPerPixel = static_cast<double>(Span() - 1) / std::max(1, plot.width() - 1);
    // Dragging to the right brings older samples into view.
    const long shift = std::lround((event->position().x() - dragStartX_) * samplesPerPixel);
    const long last = static_cast<long>(dragStartLast_) - shift;
    const std::size_t newest = ring_.Count() - 1;
    if (last >= static_cast<long>(newest))
        pinnedLast_.reset();
    else
        pinnedLast_ = static_cast<std::size_t>(std::max(0L, last));
    update();
}

void CGraphCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void CGraphCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) FollowNewest();
}

void CGraphCtrl::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0) ZoomBy(delta > 0 ? -1 : 1);
    event->accept();
}

void CGraphCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* exportAction = menu.addAction(tr("CSV로 내보내기..."));
    if (menu.exec(event->globalPos()) != exportAction) return;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("CSV로 내보내기"), QString(), tr("CSV 파일 (*.csv)"));
    if (path.isEmpty()) return;
    if (!ExportCsv(path))
        QMessageBox::warning(this, style_.title,
                             tr("CSV 파일을 저장하지 못했습니다:\n%1").arg(path));
}

// --- Value graphs -----------------------------------------------------------------------------

CValueGraphCtrl::CValueGraphCtrl(ValueGraphKind kind, Style style, QWidget* parent)
    : CGraphCtrl(std::move(style), parent), scale_(kind)
{
}

void CValueGraphCtrl::AddValue(double value, bool valid, int fixClass, bool repaint)
{
    valid = valid && std::isfinite(value);
    GraphSample sample;
    sample.value = scale_.Add(value, valid);
    sample.fixClass = static_cast<std::uint8_t>(std::clamp(fixClass, 0, 255));
    sample.flags = valid ? kSampleValid : 0;
    if (valid) newest_ = sample.value;
    Push(sample, repaint);
}

void CValueGraphCtrl::ResetGraph(bool repaint)
{
    scale_.Reset();
    newest_.reset();
    ClearSamples(repaint);
}

QString CValueGraphCtrl::NewestText() const
{
    if (!newest_) return QString();
    const double shown = scale_.Centred() ? *newest_ - scale_.Reference() : *newest_;
    return ValueText(scale_.Kind(), scale_.FullScale(), shown);
}

std::vector<GridLine> CValueGraphCtrl::GridLines() const
{
    return ValueGridLines(scale_.Kind(), scale_.FullScale());
}

bool CValueGraphCtrl::SamplePoint(const GraphSample& sample, int, double* fraction,
                                  QColor* colour) const
{
    if (!sample.Valid()) return false;
    *fraction = scale_.Fraction(sample.value);
    *colour = GraphFixColour(sample.fixClass);
    return true;
}

namespace {

std::vector<std::pair<QString, QColor>> FixLegend()
{
    return {{QStringLiteral("GPS"), GraphFixColour(1)},
            {QStringLiteral("DGPS"), GraphFixColour(2)},
            {QStringLiteral("Float"), GraphFixColour(5)},
            {QStringLiteral("RTK"), GraphFixColour(4)},
            {QStringLiteral("DR"), GraphFixColour(6)}};
}

}  // namespace

CPosDevGraphCtrl::CPosDevGraphCtrl(const QString& title, const QString& topCaption,
                                   const QString& bottomCaption, QWidget* parent)
    : CValueGraphCtrl(
          ValueGraphKind::kDeviation,
          Style{title, topCaption, bottomCaption, 600, 80, Qt::black, true, FixLegend()}, parent)
{
}

CSpeedGraphCtrl::CSpeedGraphCtrl(QWidget* parent)
    : CValueGraphCtrl(ValueGraphKind::kSpeed,
                      Style{tr("속도"), {}, {}, 200, 40, Qt::black, true, {}}, parent)
{
}

CDistanceGraphCtrl::CDistanceGraphCtrl(QWidget* parent)
    : CValueGraphCtrl(ValueGraphKind::kDistance,
                      Style{tr("이동거리"), {}, {}, 200, 40, Qt::black, true, {}}, parent)
{
}

CElevationGraphCtrl::CElevationGraphCtrl(QWidget* parent)
    : CValueGraphCtrl(ValueGraphKind::kElevation,
                      Style{tr("표고 변이"), {}, {}, 200, 40, Qt::black, true, {}}, parent)
{
}

// --- Heading graph ----------------------------------------------------------------------------

CHdgDevGraphCtrl::CHdgDevGraphCtrl(QWidget* parent)
    : CGraphCtrl(Style{tr("방향누적 그래프"),
                       {},
                       {},
                       3600,
                       40,
                       QColor(0, 0, 255),
                       false,
                       {{QStringLiteral("AVR"), kAvrColour}, {QStringLiteral("HDT"), kHdtColour}}},
                 parent)
{
}

void CHdgDevGraphCtrl::AddValues(double yawDeg, double headingDeg, int fixClass, bool repaint)
{
    GraphSample sample;
    sample.fixClass = static_cast<std::uint8_t>(std::clamp(fixClass, 0, 255));
    if (yawDeg >= 0.0 && std::isfinite(yawDeg)) {
        sample.value = NormalisedDegrees(yawDeg);
        sample.flags |= kSampleValid;
        newestYaw_ = sample.value;
    }
    if (headingDeg >= 0.0 && std::isfinite(headingDeg)) {
        sample.second = static_cast<float>(NormalisedDegrees(headingDeg));
        sample.flags |= kSampleSecondValid;
        newestHeading_ = sample.second;
    }
    Push(sample, repaint);
}

void CHdgDevGraphCtrl::ResetGraph(bool repaint)
{
    newestYaw_.reset();
    newestHeading_.reset();
    ClearSamples(repaint);
}

void CHdgDevGraphCtrl::SetSeriesShown(int series, bool shown)
{
    if (series < 0 || series > 1) return;
    shown_[series] = shown;
    update();
}

bool CHdgDevGraphCtrl::SeriesShown(int series) const
{
    return series >= 0 && series <= 1 && shown_[series];
}

QString CHdgDevGraphCtrl::NewestText() const
{
    if (shown_[0] && newestYaw_) return HeadingValueText(*newestYaw_);
    if (shown_[1] && newestHeading_) return HeadingValueText(*newestHeading_);
    return QString();
}

bool CHdgDevGraphCtrl::SamplePoint(const GraphSample& sample, int series, double* fraction,
                                   QColor* colour) const
{
    if (!shown_[series]) return false;
    if (series == 0) {
        if (!sample.Valid()) return false;
        *fraction = sample.value / 360.0;
        *colour = kAvrColour;
        return true;
    }
    if (!sample.SecondValid()) return false;
    *fraction = sample.second / 360.0;
    *colour = kHdtColour;
    return true;
}

QByteArray CHdgDevGraphCtrl::CsvHeader() const { return "index,avr,hdt,fix_class\n"; }

void CHdgDevGraphCtrl::AppendCsvRow(QByteArray& out, std::size_t index, const GraphSample& s) const
{
    AppendNumber(out, index);
    out += ',';
    if (s.Valid()) AppendNumber(out, s.value);
    out += ',';
    if (s.SecondValid()) AppendNumber(out, s.second);
    out += ',';
    AppendNumber(out, static_cast<std::size_t>(s.fixClass));
    out += '\n';
}
