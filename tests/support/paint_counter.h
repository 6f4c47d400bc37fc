#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>

// Counts the paint events of the objects it filters, and the region they painted.
struct PaintCounter : QObject {
    int paints = 0;
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) return false;
        painted += static_cast<QPaintEvent*>(event)->region();
        ++paints;
        return false;
    }
};
