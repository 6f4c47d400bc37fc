#include "views/graphs/heading_ctrl.h"

#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cmath>

#include "views/view_fonts.h"

namespace {
constexpr int kDialFontHeight = 16;
constexpr int kTextFontHeight = 22;
constexpr int kTextLines = 2;
constexpr int kMargin = 6;
constexpr double kCourseLength = 0.85;
constexpr double kHeadingLength = 0.65;
}  // namespace

CHeadingCtrl::CHeadingCtrl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 200);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CHeadingCtrl::Tick);
}

void CHeadingCtrl::SetAngles(double courseDeg, double headingDeg)
{
    timer_.stop();
    course_ = courseDeg;
    heading_ = headingDeg;
    if (stepper_.SetTargets(courseDeg, headingDeg)) timer_.start();
    update();
}

void CHeadingCtrl::SetAnimation(bool on)
{
    stepper_.SetAnimation(on);
    if (!on) timer_.stop();
    update();
}

void CHeadingCtrl::Tick()
{
    if (!stepper_.Tick()) timer_.stop();
    update();
}

QRect CHeadingCtrl::DialRect() const
{
    const int textHeight = kTextLines * (kTextFontHeight + 4);
    const int side = std::max(10, std::min(width(), height() - textHeight) - 2 * kMargin);
    return QRect((width() - side) / 2, kMargin, side, side);
}

QPoint CHeadingCtrl::NeedleTip(double degrees, double lengthFraction) const
{
    const QRect dial = DialRect();
    const QPointF c = QRectF(dial).center();
    const double r = dial.width() / 2.0 * lengthFraction;
    const double a = qDegreesToRadians(degrees);
    return QPointF(c.x() + r * std::sin(a), c.y() - r * std::cos(a)).toPoint();
}

void CHeadingCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect dial = DialRect();
    const QPointF c = QRectF(dial).center();
    const double r = dial.width() / 2.0;
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(c, r, r);

    painter.setFont(ViewFont(kFontMalgunGothic, kDialFontHeight));
    const int labelHeight = painter.fontMetrics().height();
    for (int deg = 0; deg < 360; deg += 10) {
        const bool major = deg % 30 == 0;
        const double a = qDegreesToRadians(static_cast<double>(deg));
        const QPointF dir(std::sin(a), -std::cos(a));
        painter.setPen(QPen(Qt::black, major ? 2 : 1));
        painter.drawLine(c + dir * r, c + dir * (r - (major ? 10 : 5)));
        if (!major) continue;
        const QString label = deg == 0 ? QStringLiteral("N") : QString::number(deg);
        const QPointF at = c + dir * (r - 14 - labelHeight / 2.0);
        painter.drawText(QRectF(at.x() - 20, at.y() - labelHeight / 2.0, 40, labelHeight),
                         Qt::AlignCenter, label);
    }

    // Heading under course, so the longer course needle stays visible.
    painter.setPen(QPen(kHeadingColour, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c, NeedleTip(stepper_.Heading(), kHeadingLength));
    painter.setPen(QPen(kCourseColour, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c, NeedleTip(stepper_.Course(), kCourseLength));
    painter.setBrush(Qt::black);
    painter.drawEllipse(c, 3, 3);

    painter.setFont(ViewFont(kFontMalgunGothic, kTextFontHeight));
    const int lineHeight = kTextFontHeight + 4;
    QRect text(0, dial.bottom() + kMargin, width(), lineHeight);
    painter.setPen(kCourseColour);
    painter.drawText(text, Qt::AlignCenter, CourseLabel());
    painter.setPen(kHeadingColour);
    painter.drawText(text.translated(0, lineHeight), Qt::AlignCenter, HeadingLabel());
}
