#include <QApplication>
#include <cstdio>

#include "app/launch_options.h"
#include "app/skarnet2_app.h"

int main(int argc, char** argv)
{
    PrepareWebMapProcess();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("VELMORA"));
    QApplication::setApplicationName(QStringLiteral("Skarnet2"));

    LaunchOptions options;
    bool help = false;
    QString helpText;
    const QString error = ParseLaunchOptions(QApplication::arguments(), options, help, helpText);
    if (help) {
        std::fputs(helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "skarnet2: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    CSkarnet2App skarnet(options);
    skarnet.Start();
    return QApplication::exec();
}
