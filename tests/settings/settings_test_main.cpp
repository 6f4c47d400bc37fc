#include <gtest/gtest.h>

#include <QTemporaryDir>

// The user's own settings must never be touched: the store's default location moves into a
// folder that lives as long as the tests.
int main(int argc, char** argv)
{
    const QTemporaryDir configHome;
    if (!configHome.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
