#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "app/skarnet2_app.h"
#include "support/headless_home.h"
#include "views/view_fonts.h"

// The main window headless, with the web map able to start, never touching the user's
// settings or cache.
int main(int argc, char** argv)
{
    const QTemporaryDir home;
    if (!UseHeadlessHome(home)) return 1;
    PrepareWebMapProcess();
    QApplication app(argc, argv);
    InstallViewFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
