#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Points the settings, the cache and the runtime folder into home and the display offscreen,
// so headless runs (WebEngine included) never touch the user's files. Call before the
// QApplication exists.
inline bool UseHeadlessHome(const QTemporaryDir& home)
{
    if (!home.isValid()) return false;
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}
