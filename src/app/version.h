#pragma once

#include <QString>

// Built-in version: major 2, minor 9, build date 20230531.
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 9;
inline constexpr int kVersionBuildDate = 20230531;

// "Skarnet2 - Velmora (V2.09-20230531)"
inline QString MainWindowTitle()
{
    return QStringLiteral("Skarnet2 - Velmora (V%1.%2-%3)")
        .arg(kVersionMajor)
        .arg(kVersionMinor, 2, 10, QLatin1Char('0'))
        .arg(kVersionBuildDate, 8, 10, QLatin1Char('0'));
}

// "Skarnet2 V2.09 20230531"
inline QString AboutLine()
{
    return QStringLiteral("Skarnet2 V%1.%2 %3")
        .arg(kVersionMajor)
        .arg(kVersionMinor, 2, 10, QLatin1Char('0'))
        .arg(kVersionBuildDate, 8, 10, QLatin1Char('0'));
}
