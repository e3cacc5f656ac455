// How a photograph is cut into tiles: rows and columns, each tile's pixel
// rectangle, and its box.
#pragma once

#include <cstdint>

#include "georef/geo_box.h"
#include "georef/world_file.h"

namespace ortholay {

struct TileGrid {
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::int32_t cutWidth = 0;
    std::int32_t cutHeight = 0;
    std::int32_t rows = 0;     // zero or less: no tiles
    std::int32_t columns = 0;  // zero or less: no tiles
};

// A tile's source rectangle: columns x0 to x1 - 1, rows y0 to y1 - 1.
struct TileBounds {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

// A leftover strip wider (higher) than this becomes a column (row) of its
// own; a narrower one is added to the last column (row).
inline constexpr std::int32_t kRemainderThreshold = 100;

// Signed 32-bit arithmetic throughout. A cut size of 0 throws
// DivisionByZeroError before any division.
TileGrid PlanTiles(std::int32_t imageWidth, std::int32_t imageHeight, std::int32_t cutWidth,
                   std::int32_t cutHeight);

// For 0 <= row < rows and 0 <= column < columns. Tiles start at multiples of
// the cut size and end at the next one; the last column and row end at the
// photograph's edge, so the tiles hold every pixel exactly once.
TileBounds TileBoundsAt(const TileGrid& grid, std::int32_t row, std::int32_t column);

// The tile's box in the world file's grid: west and east at pixel columns x0
// and x1, north and south at pixel rows y0 and y1. Neighbours share edges.
GeoBox TileGeoBox(const WorldFile& world, const TileBounds& bounds);

}  // namespace ortholay
