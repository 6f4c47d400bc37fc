#pragma once

#include <QString>

#include "version/program_version.h"

inline constexpr int kVersionMajor = program_version::kMajor;
inline constexpr int kVersionMinor = program_version::kMinor;
inline constexpr int kVersionBuildDate = program_version::kBuildDate;

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
