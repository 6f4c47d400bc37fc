#include "views/record_dlg.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kPictureSize = 32;
constexpr int kTextLeft = 40;
constexpr int kLineHeight = 15;
constexpr int kSecondLineTop = 16;
constexpr int kFileNameMargin = 172;
constexpr int kLengthWidth = 200;
constexpr int kTimeRight = 132;
constexpr int kTimeWidth = 100;

constexpr QPoint kRingCentre{16, 16};
constexpr double kRingRadius = 12.0;
constexpr int kDotRadius = 3;
constexpr int kCoreRadius = 5;
const QColor kDotOff(170, 170, 170);
const QColor kDotLit(220, 30, 30);
const QColor kStopPlate(225, 225, 225);
const QColor kStopSquare(120, 20, 20);

QString TwoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QChar('0')); }

void DrawDot(QPainter& painter, QPoint centre, int radius, const QColor& colour)
{
    painter.setBrush(colour);
    painter.drawEllipse(centre, radius, radius);
}

}  // namespace

QString RecordStartLine(const std::optional<QTime>& start)
{
    if (!start || !start->isValid()) return QStringLiteral("S --:--:--");
    return QStringLiteral("S ") + start->toString(QStringLiteral("HH:mm:ss"));
}

QString RecordRunningLine(std::optional<qint64> elapsedSeconds)
{
    if (!elapsedSeconds) return QStringLiteral("R --:--:--");
    // A clock set back must not show a negative span.
    const qint64 seconds = std::max<qint64>(*elapsedSeconds, 0);
    return QStringLiteral("R %1:%2:%3")
        .arg(TwoDigits(seconds / 3600), TwoDigits(seconds / 60 % 60), TwoDigits(seconds % 60));
}

QString RecordLengthLine(qint64 bytes)
{
    return QCoreApplication::translate("CRecordDlg", "Length : %1 bytes").arg(bytes);
}

RecordWindowRects RecordWindowLayout(int width)
{
    RecordWindowRects r;
    r.picture = QRect(0, 0, kPictureSize, kPictureSize);
    r.stopButton = QRect(width - kPictureSize, 0, kPictureSize, kPictureSize);
    r.fileName = QRect(kTextLeft, 0, std::max(width - kFileNameMargin, 0), kLineHeight);
    r.length = QRect(kTextLeft, kSecondLineTop, kLengthWidth, kLineHeight);
    r.startTime = QRect(width - kTimeRight, 0, kTimeWidth, kLineHeight);
    r.runningTime = QRect(width - kTimeRight, kSecondLineTop, kTimeWidth, kLineHeight);
    return r;
}

QPoint RecordAnimationDotCentre(int index)
{
    const int step =
        ((index % kRecordAnimationFrames) + kRecordAnimationFrames) % kRecordAnimationFrames;
    const double angle = qDegreesToRadians(360.0 * step / kRecordAnimationFrames);
    // Clockwise from twelve o'clock.
    return kRingCentre +
           QPoint(qRound(kRingRadius * std::sin(angle)), qRound(-kRingRadius * std::cos(angle)));
}

QImage RecordAnimationFrame(int index)
{
    QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < kRecordAnimationFrames; ++i)
        DrawDot(painter, RecordAnimationDotCentre(i), kDotRadius, kDotOff);
    DrawDot(painter, RecordAnimationDotCentre(index), kDotRadius, kDotLit);
    DrawDot(painter, kRingCentre, kCoreRadius, kDotLit);
    return image;
}

QImage RecordStopPicture()
{
    QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kStopPlate);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    painter.setBrush(kStopSquare);
    painter.drawRect(QRect(10, 10, 12, 12));
    return image;
}

CRecordDlg::CRecordDlg(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      picture_(new QLabel(this)),
      stopButton_(new QToolButton(this)),
      fileName_(AddLabel(QStringLiteral("fileName"), QString())),
      length_(AddLabel(QStringLiteral("length"), RecordLengthLine(0))),
      startTime_(AddLabel(QStringLiteral("startTime"), RecordStartLine(std::nullopt))),
      runningTime_(AddLabel(QStringLiteral("runningTime"), RecordRunningLine(std::nullopt))),
      animationTimer_(new QTimer(this)),
      clockTimer_(new QTimer(this))
{
    setWindowTitle(tr("로그 기록"));
    setWindowOpacity(kAlpha / 255.0);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setToolTip(tr("로그 기록 중"));
    picture_->setPixmap(QPixmap::fromImage(RecordAnimationFrame(0)));
    stopButton_->setObjectName(QStringLiteral("stopButton"));
    stopButton_->setToolTip(tr("기록 중지"));
    stopButton_->setIcon(QIcon(QPixmap::fromImage(RecordStopPicture())));
    stopButton_->setIconSize(QSize(kPictureSize - 8, kPictureSize - 8));
    stopButton_->setAutoRaise(true);
    connect(stopButton_, &QToolButton::clicked, this, &CRecordDlg::OnStopClicked);
    animationTimer_->setInterval(kAnimationPeriodMs);
    connect(animationTimer_, &QTimer::timeout, this, &CRecordDlg::AdvanceAnimation);
    clockTimer_->setInterval(kClockPeriodMs);
    connect(clockTimer_, &QTimer::timeout, this, &CRecordDlg::UpdateRunningLine);
    resize(kDefaultSize);
}

QLabel* CRecordDlg::AddLabel(const QString& name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

void CRecordDlg::Show(const QString& fileName)
{
    fileName_->setText(fileName);
    startTime_->setText(RecordStartLine(QTime::currentTime()));
    elapsed_.start();
    UpdateRunningLine();
    clockTimer_->start();
    show();
}

void CRecordDlg::SetLength(qint64 bytes) { length_->setText(RecordLengthLine(bytes)); }

void CRecordDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const RecordWindowRects r = RecordWindowLayout(width());
    picture_->setGeometry(r.picture);
    stopButton_->setGeometry(r.stopButton);
    fileName_->setGeometry(r.fileName);
    length_->setGeometry(r.length);
    startTime_->setGeometry(r.startTime);
    runningTime_->setGeometry(r.runningTime);
}

// The animation only costs time while someone can see it.
void CRecordDlg::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    animationTimer_->start();
}

void CRecordDlg::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    animationTimer_->stop();
    clockTimer_->stop();
}

void CRecordDlg::AdvanceAnimation()
{
    animationIndex_ = (animationIndex_ + 1) % kRecordAnimationFrames;
    picture_->setPixmap(QPixmap::fromImage(RecordAnimationFrame(animationIndex_)));
}

void CRecordDlg::UpdateRunningLine()
{
    const std::optional<qint64> seconds =
        elapsed_.isValid() ? std::optional<qint64>(elapsed_.elapsed() / 1000) : std::nullopt;
    runningTime_->setText(RecordRunningLine(seconds));
}

void CRecordDlg::OnStopClicked()
{
    clockTimer_->stop();
    emit stopRequested();
}
