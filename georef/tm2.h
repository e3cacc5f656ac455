// TWD97 TM2 (zone 121) grid metres to longitude and latitude in degrees.
#pragma once

#include "georef/geo_box.h"

namespace ortholay {

long double Tm2ToLongitude(long double easting, long double northing);
long double Tm2ToLatitude(long double easting, long double northing);

// West and south from the south-west corner, east and north from the
// north-east corner, all four from the unconverted edges; rotation kept.
GeoBox Tm2BoxToGeographic(const GeoBox& box);

}  // namespace ortholay
