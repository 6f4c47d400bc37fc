#pragma once

#include <cstdint>
#include <vector>

// One receiver epoch of the replay position list.
class GeoPoint {
public:
    GeoPoint() = default;
    GeoPoint(double longitude, double latitude, float altitude, std::int64_t time,
             std::uint32_t fixQuality)
        : longitude(longitude),
          latitude(latitude),
          altitude(altitude),
          time(time),
          fixQuality(fixQuality)
    {
    }
    GeoPoint(const GeoPoint&) = default;
    GeoPoint(GeoPoint&&) = default;
    GeoPoint& operator=(const GeoPoint&) = default;
    GeoPoint& operator=(GeoPoint&&) = default;
    virtual ~GeoPoint() = default;

    double longitude = 0.0;  // degrees, east positive
    double latitude = 0.0;   // degrees, north positive
    float altitude = 0.0f;   // metres, as decoded
    // Milliseconds of the day, kept increasing across midnight by the list that holds it.
    std::int64_t time = 0;
    std::uint32_t fixQuality = 0;
    float spareFloat = 0.0f;
    std::uint32_t spareWord = 0;
    std::vector<double> extras;
};
