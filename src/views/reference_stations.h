#pragma once

#include <array>
#include <optional>
#include <string_view>

// The built-in Korean reference stations the plot can be centred on (and the setup page lists);
// positions are the "도 분 초" texts ParseDms reads.
struct ReferenceStation {
    std::string_view longitude;
    std::string_view latitude;
    std::string_view name;
};

inline constexpr int kReferenceStationCount = 8;
extern const std::array<ReferenceStation, kReferenceStationCount> kReferenceStations;

struct StationCoordinates {
    double longitude = 0.0;  // degrees
    double latitude = 0.0;   // degrees
};

// Nothing for a row outside the table.
std::optional<StationCoordinates> StationPosition(int row);
