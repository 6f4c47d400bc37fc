#pragma once

// Great-circle distance in metres between two points in degrees, on a sphere of radius
// 6372797.6 m (haversine); exactly 0 for identical points.
double Distance(double lat1, double lon1, double lat2, double lon2);

// The great-circle distance combined with the height difference; 0 when both horizontal
// positions are identical, whatever the heights.
double Distance3D(double lat1, double lon1, double h1, double lat2, double lon2, double h2);
