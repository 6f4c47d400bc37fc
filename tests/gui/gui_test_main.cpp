#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/skarnet2_app.h"
#include "views/view_fonts.h"

// The main window headless, with the web map able to start, never touching the user's
// settings or cache.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir home;
    if (!home.isValid()) return 1;
    for (const char* folder : {"config", "cache", "runtime"}) QDir(home.path()).mkdir(folder);
    QFile::setPermissions(home.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath("runtime")));
    PrepareWebMapProcess();
    QApplication app(argc, argv);
    InstallViewFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
