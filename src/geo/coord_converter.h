#pragma once

#include <string_view>

#include "geo/coord_system_table.h"

// Converts between rows of the coordinate-system table: geographic to grid, grid to
// geographic and grid to grid, by the ellipsoidal transverse Mercator series with an
// iterated footpoint latitude. There is no datum shift: latitude and longitude keep their
// values when the ellipsoid changes.
class CoordConverter {
public:
    static constexpr std::string_view kLatitudeFailedToConverge = "Latitude failed to converge";
    static constexpr std::string_view kUnknownCoordSystem = "Unknown coordinate system";

    // The outcome of Convert; an empty error means success.
    struct [[nodiscard]] Status {
        std::string_view error;
        bool Ok() const { return error.empty(); }
    };

    // Both sides geographic (row 10).
    CoordConverter() : CoordConverter(kGeographicRow, kGeographicRow) {}
    // A row outside the table leaves that side unusable: Convert then fails.
    CoordConverter(int sourceRow, int destinationRow);

    // False for a row outside the table; the side is then unusable until a valid selection.
    bool SelectSource(int row);
    bool SelectDestination(int row);
    // -1 for an unusable side.
    int SourceRow() const { return source_.row; }
    int DestinationRow() const { return destination_.row; }

    // Geographic values are (longitude, latitude) in degrees, grid values (easting,
    // northing) in metres. On failure both outputs are NaN and the status names the error:
    // kLatitudeFailedToConverge when a grid input's footpoint latitude does not converge
    // (non-finite northing) or lies beyond a pole; kUnknownCoordSystem for an unusable side.
    // A grid point on a pole gives the pole and the central meridian.
    Status Convert(double in1, double in2, double& out1, double& out2) const;

private:
    struct Side {
        int row = -1;
        const CoordSystem* system = nullptr;
        double a = 0;
        double es = 0;   // e squared
        double eps = 0;  // second eccentricity squared
        SeriesConstants series{};
        double m0 = 0;  // meridian arc at the latitude of origin
    };

    static bool Derive(int row, Side& side);
    // Latitude and longitude in radians to easting and northing.
    static void Forward(const Side& side, double lon, double lat, double& easting,
                        double& northing);
    // Easting and northing to longitude and latitude in radians.
    static Status Inverse(const Side& side, double easting, double northing, double& lon,
                          double& lat);

    Side source_;
    Side destination_;
};
