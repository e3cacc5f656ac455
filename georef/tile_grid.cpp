#include "georef/tile_grid.h"

#include "common/error.h"

namespace ortholay {

namespace {

// 32-bit results that may wrap are formed in 64 bits and narrowed, which is
// the two's-complement wrap without undefined behaviour.
std::int32_t Wrap(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

}  // namespace

TileGrid PlanTiles(std::int32_t imageWidth, std::int32_t imageHeight, std::int32_t cutWidth,
                   std::int32_t cutHeight) {
    if (cutWidth == 0 || cutHeight == 0) {
        throw DivisionByZeroError();
    }
    TileGrid grid;
    grid.imageWidth = imageWidth;
    grid.imageHeight = imageHeight;
    grid.cutWidth = cutWidth;
    grid.cutHeight = cutHeight;
    // Quotients and remainders in 64 bits: INT32_MIN / -1 cannot trap there.
    if (imageHeight > cutHeight || imageWidth > cutWidth) {
        grid.rows = Wrap(std::int64_t{imageHeight} / cutHeight);
        grid.columns = Wrap(std::int64_t{imageWidth} / cutWidth);
    }
    if (std::int64_t{imageHeight} % cutHeight > kRemainderThreshold) {
        grid.rows = Wrap(std::int64_t{grid.rows} + 1);
    }
    if (std::int64_t{imageWidth} % cutWidth > kRemainderThreshold) {
        grid.columns = Wrap(std::int64_t{grid.columns} + 1);
    }
    return grid;
}

TileBounds TileBoundsAt(const TileGrid& grid, std::int32_t row, std::int32_t column) {
    TileBounds bounds;
    bounds.x0 = Wrap(std::int64_t{column} * grid.cutWidth);
    bounds.y0 = Wrap(std::int64_t{row} * grid.cutHeight);
    bounds.x1 = column == grid.columns - 1 ? grid.imageWidth
                                           : Wrap((std::int64_t{column} + 1) * grid.cutWidth);
    bounds.y1 = row == grid.rows - 1 ? grid.imageHeight
                                     : Wrap((std::int64_t{row} + 1) * grid.cutHeight);
    return bounds;
}

GeoBox TileGeoBox(const WorldFile& world, const TileBounds& bounds) {
    // Every edge is the pixel-to-map mapping of its own pixel line, C + A x
    // and F + E y. Building east as west + A (x1 - x0) is the same in exact
    // arithmetic but rounds differently: with pixel sizes such as 0.3 the
    // east edge of one tile and the west edge of the next then differ in the
    // last bit, and the last column misses the photograph's own east edge
    // (A width + C). One expression per edge keeps neighbours bit-identical.
    GeoBox box;
    box.west = world.A * static_cast<long double>(bounds.x0) + world.C;
    box.north = world.E * static_cast<long double>(bounds.y0) + world.F;
    box.south = world.E * static_cast<long double>(bounds.y1) + world.F;
    box.east = world.A * static_cast<long double>(bounds.x1) + world.C;
    box.rotation = 0;
    return box;
}

}  // namespace ortholay
