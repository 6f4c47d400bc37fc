#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

#include "app/launch_options.h"
#include "app/skarnet2_app.h"
#include "version/program_version.h"

int main(int argc, char** argv)
{
    // --help and --version answer in a terminal without a display (over SSH, in scripts).
    const bool textOnly = AsksOnlyForText(argc, argv);
    ReturnLargeBlocksWhenFreed();
    std::unique_ptr<QCoreApplication> app;
    if (textOnly) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        PrepareWebMapProcess();
        app = std::make_unique<QApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("VELMORA"));
    QCoreApplication::setApplicationName(QStringLiteral("Skarnet2"));

    LaunchOptions options;
    bool help = false;
    QString helpText;
    const QString error =
        ParseLaunchOptions(QCoreApplication::arguments(), options, help, helpText);
    // A --version that another option took as its value still asked for text.
    if (help || (textOnly && error.isEmpty() && !options.version)) {
        std::fputs(helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("skarnet2 %s\n", program_version::kText);
        return 0;
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "skarnet2: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    CSkarnet2App skarnet(options);
    skarnet.Start();
    return QCoreApplication::exec();
}
