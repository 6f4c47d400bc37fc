#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include "views/graphs/graph_model.h"

// Compass gauge with a course and a heading needle; new angles sweep in over 30 timer ticks.
class CHeadingCtrl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTickMs = 20;
    static inline const QColor kCourseColour{255, 0, 0};
    static inline const QColor kHeadingColour{0, 0, 255};

    explicit CHeadingCtrl(QWidget* parent = nullptr);

    void SetAngles(double courseDeg, double headingDeg);
    void SetAnimation(bool on);
    bool AnimationOn() const { return stepper_.Animation(); }
    double ShownCourse() const { return stepper_.Course(); }
    double ShownHeading() const { return stepper_.Heading(); }
    bool Animating() const { return stepper_.Animating(); }
    bool TimerActive() const { return timer_.isActive(); }
    // The texts under the dial, from the angles as received.
    QString CourseLabel() const { return CourseText(course_); }
    QString HeadingLabel() const { return HeadingText(heading_); }
    // Pixel where a needle of the given angle ends, for the tests.
    QPoint NeedleTip(double degrees, double lengthFraction) const;

public slots:
    // One animation step (the timer calls it).
    void Tick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect DialRect() const;

    CHeadingStepper stepper_;
    QTimer timer_;
    double course_ = 0.0;
    double heading_ = 0.0;
};
