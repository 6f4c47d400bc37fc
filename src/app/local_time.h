#pragma once

#include <ctime>

// The local calendar time now, for the automatic log and extraction names.
inline std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}
