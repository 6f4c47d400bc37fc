#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/headless_home.h"
#include "web_map_support.h"
#include "webmap/map_dlg.h"

namespace {

// CMapDlg reports the page's script errors as warnings starting "map page:"; tests check none
// appeared.
QtMessageHandler g_previousHandler = nullptr;

void CountPageErrors(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("map page:"))) ++webmap_test::PageErrors();
    if (g_previousHandler) g_previousHandler(type, context, message);
}

}  // namespace

// The web map runs headless, as root on CI (no Chromium sandbox), away from the user's files.
int main(int argc, char** argv)
{
    const QTemporaryDir home;
    if (!UseHeadlessHome(home)) return 1;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    g_previousHandler = qInstallMessageHandler(CountPageErrors);
    RegisterMapSchemes();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
