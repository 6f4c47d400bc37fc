#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// A link named on the command line, as if the operator had chosen it in the dialog.
struct ConnectTarget {
    enum class Kind { Tcp, Relay, Serial };
    Kind kind = Kind::Tcp;
    QString host;  // TCP or relay host, or the serial port name / path
    int port = 0;  // TCP or relay port
    int baud = 0;  // serial; 0 keeps the stored rate
};

struct LaunchOptions {
    bool noSplash = false;
    bool version = false;  // print the version and quit
    std::optional<ConnectTarget> connect;
    QString replay;         // a log to replay at once
    int replaySpeedMs = 0;  // its playback speed value (1000 x1 ... 1 fastest); 0: x1
    QString screenshot;
    int quitAfterMs = -1;             // -1: run until closed
    bool report = false;              // facts on standard output at quit
    bool ntrip = false;               // start the NTRIP client with the stored settings
    QString language;                 // "ko" or "en" for this run; empty: the stored choice
    std::uint64_t progressEvery = 0;  // epochs between progress lines on stdout; 0: none
};

// "tcp://HOST:PORT", "relay://HOST:PORT" or "serial:PORTNAME[@BAUD]".
std::optional<ConnectTarget> ParseConnectTarget(const QString& text);

// Whether the arguments only ask for text (--help, --version): then no display is needed.
bool AsksOnlyForText(int argc, char** argv);

// Fills options from the program's arguments; returns an error text for bad ones. --help is
// answered by the caller (QCommandLineParser prints it).
QString ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options, bool& help,
                           QString& helpText);
