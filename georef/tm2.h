// TWD97 TM2 (zone 121) grid metres to longitude and latitude in degrees.
//
// The grid is Taiwan's two-degree Transverse Mercator on the GRS80
// ellipsoid: central meridian 121 degrees east, scale factor 0.9999, false
// easting 250000 m, false northing 0. The results are used as WGS84 degrees;
// no datum shift is applied. All arithmetic is x87 extended precision.
#pragma once

#include "georef/geo_box.h"

namespace ortholay {

// Easting and northing in metres to the longitude in degrees (east positive).
long double Tm2ToLongitude(long double easting, long double northing);

// Easting and northing in metres to the latitude in degrees (north positive).
long double Tm2ToLatitude(long double easting, long double northing);

// West and south from the south-west corner, east and north from the
// north-east corner, all four from the unconverted edges; rotation kept.
GeoBox Tm2BoxToGeographic(const GeoBox& box);

// The footpoint latitude one of the two conversions finds for a northing by
// bisection between 21 and 26 degrees, and how many bisection steps it took
// (10001 when the northing lies outside that band and the tolerance is never
// met; the footpoint is then exactly 21 or 26).
struct Tm2Footpoint {
    long double degrees = 0;
    int iterations = 0;
};

// The footpoint of Tm2ToLongitude: bisection on the fixed meridian-arc
// series.
Tm2Footpoint Tm2LongitudeFootpoint(long double northing);

// The footpoint of Tm2ToLatitude: bisection on the meridian-arc series built
// from the ellipsoid. It lies about 0.00008 degrees north of the other one.
Tm2Footpoint Tm2LatitudeFootpoint(long double northing);

}  // namespace ortholay
