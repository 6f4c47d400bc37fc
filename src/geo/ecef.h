#pragma once

// Earth-centred, earth-fixed coordinates on WGS84, as RTCM 3 gives a reference station.
struct Ecef {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Geodetic {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double heightM = 0.0;  // above the ellipsoid
};

Ecef GeodeticToEcef(const Geodetic& point);
// Iterates to well under a millimetre; the poles and the centre have their own answers.
Geodetic EcefToGeodetic(const Ecef& point);
// Straight-line distance between two points, in metres.
double EcefDistance(const Ecef& a, const Ecef& b);
