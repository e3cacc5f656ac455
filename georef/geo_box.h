// The box of one overlay: its four edges, in grid units or in degrees.
#pragma once

namespace ortholay {

struct GeoBox {
    long double north = 0;
    long double south = 0;
    long double east = 0;
    long double west = 0;
    long double rotation = 0;
};

}  // namespace ortholay
