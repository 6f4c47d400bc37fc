#include "app/launch_options.h"

#include <QCommandLineParser>
#include <cmath>

namespace {

constexpr int kMaxPort = 65535;
constexpr int kDefaultScreenshotDelayMs = 5000;

}  // namespace

std::optional<ConnectTarget> ParseConnectTarget(const QString& text)
{
    ConnectTarget target;
    const bool relay = text.startsWith(QLatin1String("relay://"));
    if (relay || text.startsWith(QLatin1String("tcp://"))) {
        const QString rest = text.mid(relay ? 8 : 6);
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0) return std::nullopt;
        bool ok = false;
        target.kind = relay ? ConnectTarget::Kind::Relay : ConnectTarget::Kind::Tcp;
        target.host = rest.left(colon);
        target.port = rest.mid(colon + 1).toInt(&ok);
        if (!ok || target.port <= 0 || target.port > kMaxPort) return std::nullopt;
        return target;
    }
    if (text.startsWith(QLatin1String("serial:"))) {
        QString rest = text.mid(7);
        target.kind = ConnectTarget::Kind::Serial;
        if (const qsizetype at = rest.lastIndexOf(QLatin1Char('@')); at >= 0) {
            bool ok = false;
            target.baud = rest.mid(at + 1).toInt(&ok);
            if (!ok || target.baud <= 0) return std::nullopt;
            rest = rest.left(at);
        }
        if (rest.isEmpty()) return std::nullopt;
        target.host = rest;
        return target;
    }
    return std::nullopt;
}

bool AsksOnlyForText(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QLatin1String arg(argv[i]);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h") ||
            arg == QLatin1String("--version"))
            return true;
    }
    return false;
}

QString ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options, bool& help,
                           QString& helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Skarnet2: GNSS receiver monitor. Without options it starts with the "
                       "splash and waits for the operator to open a port."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    const QCommandLineOption noSplash(QStringLiteral("no-splash"),
                                      QStringLiteral("Starts without the splash window."));
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connects at start: tcp://HOST:PORT, relay://HOST:PORT (the relay server, "
                       "with the stored login and device) or serial:PORTNAME[@BAUD]."),
        QStringLiteral("target"));
    const QCommandLineOption replay(QStringLiteral("replay"),
                                    QStringLiteral("Replays the log at once."),
                                    QStringLiteral("file"));
    const QCommandLineOption replaySpeed(
        QStringLiteral("replay-speed"),
        QStringLiteral("Playback speed of --replay: x1, x2, x4, x8, x20 or fastest."),
        QStringLiteral("speed"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Saves the main window as a PNG when quitting (default after 5 s)."),
        QStringLiteral("file"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                       QStringLiteral("Quits after this many seconds."),
                                       QStringLiteral("seconds"));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Prints what was shown, one fact per line, when quitting."));
    const QCommandLineOption ntrip(
        QStringLiteral("ntrip"),
        QStringLiteral("Starts the NTRIP client with the stored settings, as its start command."));
    const QCommandLineOption language(
        QStringLiteral("lang"),
        QStringLiteral("The window's language for this run: ko (Korean) or en (English); "
                       "without it the language chosen in the viewer menu."),
        QStringLiteral("code"));
    const QCommandLineOption progress(
        QStringLiteral("progress"),
        QStringLiteral("Prints a line every N epochs shown: epochs, resident memory, and the "
                       "time of one full paint of the plot and of the window (soak runs)."),
        QStringLiteral("N"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Prints the program's version."));
    parser.addOptions({helpOption, version, noSplash, connect, replay, replaySpeed, screenshot,
                       quitAfter, report, ntrip, language, progress});
    helpText = parser.helpText();
    if (!parser.parse(arguments)) return parser.errorText();
    help = parser.isSet(helpOption);
    options.version = parser.isSet(version);
    if (!parser.positionalArguments().isEmpty()) {
        return QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    }
    options.noSplash = parser.isSet(noSplash);
    options.report = parser.isSet(report);
    options.ntrip = parser.isSet(ntrip);
    if (parser.isSet(connect)) {
        options.connect = ParseConnectTarget(parser.value(connect));
        if (!options.connect) {
            return QStringLiteral(
                       "bad --connect '%1': use tcp://HOST:PORT, relay://HOST:PORT or "
                       "serial:PORTNAME[@BAUD]")
                .arg(parser.value(connect));
        }
    }
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const double seconds = parser.value(quitAfter).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6) {
            return QStringLiteral("bad --quit-after '%1'").arg(parser.value(quitAfter));
        }
        options.quitAfterMs = static_cast<int>(seconds * 1000.0);
    }
    if (parser.isSet(language)) {
        options.language = parser.value(language);
        if (options.language != QLatin1String("ko") && options.language != QLatin1String("en"))
            return QStringLiteral("bad --lang '%1': use ko or en").arg(options.language);
    }
    if (parser.isSet(progress)) {
        bool ok = false;
        options.progressEvery = parser.value(progress).toULongLong(&ok);
        if (!ok || options.progressEvery == 0)
            return QStringLiteral("bad --progress '%1'").arg(parser.value(progress));
    }
    options.replay = parser.value(replay);
    if (parser.isSet(replaySpeed)) {
        static const std::pair<const char*, int> kSpeeds[] = {
            {"x1", 1000}, {"x2", 500}, {"x4", 250}, {"x8", 125}, {"x20", 50}, {"fastest", 1}};
        for (const auto& [name, value] : kSpeeds) {
            if (parser.value(replaySpeed) == QLatin1String(name)) options.replaySpeedMs = value;
        }
        if (options.replaySpeedMs == 0) {
            return QStringLiteral("bad --replay-speed '%1': use x1, x2, x4, x8, x20 or fastest")
                .arg(parser.value(replaySpeed));
        }
        if (options.replay.isEmpty()) return QStringLiteral("--replay-speed needs --replay");
    }
    if (options.connect && !options.replay.isEmpty()) {
        return QStringLiteral("--connect and --replay exclude each other");
    }
    options.screenshot = parser.value(screenshot);
    if (!options.screenshot.isEmpty() && options.quitAfterMs < 0) {
        options.quitAfterMs = kDefaultScreenshotDelayMs;
    }
    return {};
}
