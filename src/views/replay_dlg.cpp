#include "views/replay_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <algorithm>

#include "views/view_fonts.h"

namespace {
constexpr int kTextFontPixels = 11;
constexpr int kTipFontPixels = 13;
constexpr int kDefaultWidth = 640;
constexpr int kSliderLeft = 165;
constexpr int kSliderRightGap = 197 - kSliderLeft;  // the slider ends where exit begins
constexpr int kFileNameLeft = 60;
constexpr int kFileNameRightGap = 260 - kFileNameLeft;
constexpr int kFrameRateWidth = 200;
constexpr int kSpeedTextLeft = 5;
constexpr int kSpeedTextWidth = 50;
constexpr int kJumpSeconds = 1;
constexpr int kShiftJumpSeconds = 10;
constexpr int kCtrlJumpSeconds = 60;
const QColor kIconColour{230, 230, 230};
const QColor kExitColour{230, 80, 80};
const QColor kBackground{0x1D, 0x1D, 0x1D};
const QColor kTextColour{230, 230, 230};
const QString kTipFont = QStringLiteral("Palatino Linotype");

QRect ButtonRect(int x) { return {x, 0, CReplayDlg::kButtonSize, CReplayDlg::kButtonSize}; }

QRect TextRect(int x, int width)
{
    return {x, CReplayDlg::kTextTop, std::max(0, width), CReplayDlg::kTextHeight};
}

// Triangle pointing right (or left) inside the box.
QPainterPath Triangle(const QRectF& box, bool right)
{
    QPainterPath path;
    const qreal tip = right ? box.right() : box.left();
    const qreal base = right ? box.left() : box.right();
    path.moveTo(base, box.top());
    path.lineTo(tip, box.center().y());
    path.lineTo(base, box.bottom());
    path.closeSubpath();
    return path;
}

void DrawArrows(QPainter& painter, qreal s, bool right)
{
    painter.drawPath(Triangle(QRectF(s * 0.2, s * 0.3, s * 0.3, s * 0.4), right));
    painter.drawPath(Triangle(QRectF(s * 0.5, s * 0.3, s * 0.3, s * 0.4), right));
}

void DrawToEnd(QPainter& painter, qreal s, bool right)
{
    const qreal barX = right ? s * 0.68 : s * 0.22;
    painter.drawRect(QRectF(barX, s * 0.28, s * 0.1, s * 0.44));
    const qreal triX = right ? s * 0.3 : s * 0.32;
    painter.drawPath(Triangle(QRectF(triX, s * 0.28, s * 0.38, s * 0.44), right));
}

void DrawExit(QPainter& painter, qreal s)
{
    painter.setPen(QPen(kExitColour, s * 0.1, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(s * 0.3, s * 0.3), QPointF(s * 0.7, s * 0.7));
    painter.drawLine(QPointF(s * 0.7, s * 0.3), QPointF(s * 0.3, s * 0.7));
}

void DrawIcon(QPainter& painter, ReplayControlId button, qreal s)
{
    switch (button) {
        case ReplayControlId::GoToStart: DrawToEnd(painter, s, false); break;
        case ReplayControlId::Slower: DrawArrows(painter, s, false); break;
        case ReplayControlId::Play:
            painter.drawPath(Triangle(QRectF(s * 0.32, s * 0.25, s * 0.42, s * 0.5), true));
            break;
        case ReplayControlId::Pause:
            painter.drawRect(QRectF(s * 0.3, s * 0.25, s * 0.14, s * 0.5));
            painter.drawRect(QRectF(s * 0.56, s * 0.25, s * 0.14, s * 0.5));
            break;
        case ReplayControlId::Faster: DrawArrows(painter, s, true); break;
        case ReplayControlId::GoToEnd: DrawToEnd(painter, s, true); break;
        case ReplayControlId::Exit: DrawExit(painter, s); break;
        default: break;
    }
}

int JumpSize(Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier) return kCtrlJumpSeconds;
    if (modifiers & Qt::ShiftModifier) return kShiftJumpSeconds;
    return kJumpSeconds;
}
}  // namespace

std::map<ReplayControlId, QRect> ReplayLayout(int w)
{
    using Id = ReplayControlId;
    return {
        {Id::GoToStart, ButtonRect(0)},
        {Id::Slower, ButtonRect(33)},
        {Id::Play, ButtonRect(66)},
        {Id::Pause, ButtonRect(66)},
        {Id::Faster, ButtonRect(99)},
        {Id::GoToEnd, ButtonRect(132)},
        {Id::Exit, ButtonRect(w - CReplayDlg::kButtonSize)},
        {Id::Slider, QRect(kSliderLeft, 0, std::max(0, w - kSliderLeft - kSliderRightGap),
                           CReplayDlg::kButtonSize)},
        {Id::SpeedText, TextRect(kSpeedTextLeft, kSpeedTextWidth)},
        {Id::FileName, TextRect(kFileNameLeft, w - kFileNameLeft - kFileNameRightGap)},
        {Id::FrameRate, TextRect(w - kFrameRateWidth, kFrameRateWidth)},
    };
}

QString SliderTipText(const QString& label, int value)
{
    if (label.isEmpty()) return QStringLiteral("Val = %1").arg(value);
    return QStringLiteral("%1, Val = %2").arg(label).arg(value);
}

QPixmap ReplayButtonPixmap(ReplayControlId button, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kIconColour);
    DrawIcon(painter, button, size);
    return pixmap;
}

CReplayDlg::CReplayDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("리플레이"));
    setWindowOpacity(double(kAlpha) / 255.0);
    setFocusPolicy(Qt::StrongFocus);
    // Light pictures and texts on a dark strip stay readable over any view behind it.
    QPalette dark = palette();
    dark.setColor(QPalette::Window, kBackground);
    dark.setColor(QPalette::WindowText, kTextColour);
    setPalette(dark);
    setAutoFillBackground(true);
    AddButton(ReplayControlId::GoToStart, tr("처음으로 이동"), ReplayControl::GoToStart);
    AddButton(ReplayControlId::Slower, tr("속도 느리게"), ReplayControl::Slower);
    AddButton(ReplayControlId::Play, tr("플레이"), ReplayControl::Play);
    AddButton(ReplayControlId::Pause, tr("중지"), ReplayControl::Pause);
    AddButton(ReplayControlId::Faster, tr("속도 빠르게"), ReplayControl::Faster);
    AddButton(ReplayControlId::GoToEnd, tr("마지막으로 이동"), ReplayControl::GoToEnd);
    AddButton(ReplayControlId::Exit, tr("리플레이 나가기"), ReplayControl::Exit);
    CreateSlider();
    speedText_ = AddText(ReplayControlId::SpeedText);
    fileName_ = AddText(ReplayControlId::FileName);
    frameRate_ = AddText(ReplayControlId::FrameRate);
    SetSpeedText(SpeedText(kInitialSpeedValue));
    SetPlaying(false);
    resize(kDefaultWidth, kHeight);
}

QToolButton* CReplayDlg::Button(ReplayControlId id) const
{
    const auto found = buttons_.find(id);
    return found != buttons_.end() ? found->second : nullptr;
}

QToolButton* CReplayDlg::AddButton(ReplayControlId id, const QString& toolTip, ReplayControl code)
{
    auto* button = new QToolButton(this);
    button->setToolTip(toolTip);
    button->setIcon(QIcon(ReplayButtonPixmap(id, kButtonSize)));
    button->setIconSize(QSize(kButtonSize, kButtonSize));
    button->setAutoRaise(true);
    // Keys belong to the window: a focused button would take Space and Enter for itself.
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, id, code] {
        if (id == ReplayControlId::Play) SetPlaying(true);
        if (id == ReplayControlId::Pause || id == ReplayControlId::Exit) SetPlaying(false);
        Emit(code);
    });
    buttons_[id] = button;
    return button;
}

QLabel* CReplayDlg::AddText(ReplayControlId id)
{
    auto* label = new QLabel(this);
    label->setObjectName(QString::number(int(id)));
    label->setFont(ViewFont(kFontMalgunGothic, kTextFontPixels));
    return label;
}

void CReplayDlg::CreateSlider()
{
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setFocusPolicy(Qt::NoFocus);
    slider_->setRange(0, 0);
    // A window of its own so that the tip may stand above the strip.
    tip_ = new QLabel(this, Qt::ToolTip);
    tip_->setFont(QFont(kTipFont, kTipFontPixels));
    tip_->setMargin(2);
    tip_->hide();
    connect(slider_, &QSlider::sliderPressed, this, [this] { ShowTip(slider_->value()); });
    connect(slider_, &QSlider::sliderMoved, this, &CReplayDlg::ShowTip);
    connect(slider_, &QSlider::sliderReleased, this, &CReplayDlg::OnSliderReleased);
}

void CReplayDlg::ShowTip(int value)
{
    tip_->setText(SliderTipText(QString(), value));
    tip_->adjustSize();
    QStyleOptionSlider option;
    option.initFrom(slider_);
    option.orientation = Qt::Horizontal;
    option.minimum = slider_->minimum();
    option.maximum = slider_->maximum();
    option.sliderPosition = value;
    const QRect handle = slider_->style()->subControlRect(QStyle::CC_Slider, &option,
                                                          QStyle::SC_SliderHandle, slider_);
    const QPoint above = slider_->mapToGlobal(handle.center());
    tip_->move(above.x() - tip_->width() / 2, above.y() - handle.height() / 2 - tip_->height());
    tip_->show();
}

void CReplayDlg::OnSliderReleased()
{
    tip_->hide();
    Emit(ReplayControl::SliderReleased, slider_->value());
}

void CReplayDlg::SetPlaying(bool playing)
{
    playing_ = playing;
    buttons_[ReplayControlId::Play]->setVisible(!playing);
    buttons_[ReplayControlId::Pause]->setVisible(playing);
}

void CReplayDlg::SetSpeedText(const QString& text) { speedText_->setText(text); }

void CReplayDlg::SetFileName(const QString& path) { fileName_->setText(path); }

void CReplayDlg::SetFrameRateText(const QString& text) { frameRate_->setText(text); }

void CReplayDlg::SetRange(int count) { slider_->setRange(0, std::max(0, count - 1)); }

void CReplayDlg::SetPosition(int entry)
{
    if (slider_->isSliderDown()) return;
    slider_->setValue(entry);
}

void CReplayDlg::Reset()
{
    tip_->hide();
    slider_->setSliderDown(false);
    slider_->setValue(0);
}

void CReplayDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: TogglePlay(); break;
        case Qt::Key_Space: StepOneFrame(); break;
        case Qt::Key_Left: JumpByKey(-1, event->modifiers()); break;
        case Qt::Key_Right: JumpByKey(1, event->modifiers()); break;
        case Qt::Key_Up: Emit(ReplayControl::Faster); break;
        case Qt::Key_Down: Emit(ReplayControl::Slower); break;
        // Escape would hide the window while the replay runs on; only exit ends it.
        case Qt::Key_Escape: break;
        default: QDialog::keyPressEvent(event); return;
    }
    event->accept();
}

void CReplayDlg::TogglePlay()
{
    const bool wasPlaying = playing_;
    SetPlaying(!wasPlaying);
    Emit(wasPlaying ? ReplayControl::Pause : ReplayControl::Play);
}

void CReplayDlg::JumpByKey(int direction, Qt::KeyboardModifiers modifiers)
{
    SetPlaying(false);
    emit jumpSeconds(direction * JumpSize(modifiers));
}

void CReplayDlg::StepOneFrame()
{
    // The slider stands on the entry last played; at the end there is nothing to step to.
    if (slider_->value() >= slider_->maximum()) return;
    SetPlaying(false);
    emit stepOneFrame();
}

void CReplayDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const auto layout = ReplayLayout(width());
    for (const auto& [id, button] : buttons_) button->setGeometry(layout.at(id));
    slider_->setGeometry(layout.at(ReplayControlId::Slider));
    speedText_->setGeometry(layout.at(ReplayControlId::SpeedText));
    fileName_->setGeometry(layout.at(ReplayControlId::FileName));
    frameRate_->setGeometry(layout.at(ReplayControlId::FrameRate));
}

void CReplayDlg::Emit(ReplayControl code, qint64 argument)
{
    emit control(static_cast<int>(code), argument);
}
