#include "georef/tm2.h"

namespace ortholay {

// Placeholder until the conversion lands: identity.
long double Tm2ToLongitude(long double easting, long double) { return easting; }
long double Tm2ToLatitude(long double, long double northing) { return northing; }

GeoBox Tm2BoxToGeographic(const GeoBox& box) {
    GeoBox out = box;
    out.west = Tm2ToLongitude(box.west, box.south);
    out.south = Tm2ToLatitude(box.west, box.south);
    out.east = Tm2ToLongitude(box.east, box.north);
    out.north = Tm2ToLatitude(box.east, box.north);
    return out;
}

}  // namespace ortholay
