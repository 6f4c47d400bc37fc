#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

// Spins the event loop until done() or the deadline; returns done().
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}
