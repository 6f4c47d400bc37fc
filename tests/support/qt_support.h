#pragma once

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
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

// Parts for what a test links: network, widgets.
#if __has_include(<QTcpServer>)
#include <QTcpServer>

// A loopback port nobody listens on (for a moment).
inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
#endif

#if __has_include(<QWidget>)
#include <QImage>
#include <QWidget>

// A widget painted headless at a size, over a fill colour no view paints.
inline QImage RenderWidget(QWidget& widget, QSize size, QColor fill = Qt::magenta)
{
    widget.resize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    widget.render(&image);
    return image;
}

// Bounding box of the pixels of exactly one colour inside area (null area: the whole image).
inline QRect ColourBounds(const QImage& image, QRgb colour, QRect area = {})
{
    area = area.isNull() ? image.rect() : area & image.rect();
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == colour) bounds |= QRect(x, y, 1, 1);
    return bounds;
}
#endif

// A pseudo-terminal pair in raw mode: a serial device on the slave, its far end on the master
// (read without blocking).
struct RawPty {
    int master = -1;
    int slave = -1;
    QString slaveName;

    RawPty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        slaveName = QString::fromLocal8Bit(name);
    }
    ~RawPty() { Close(); }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    bool Valid() const { return master >= 0; }
    void Close()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        slave = master = -1;
    }
};
