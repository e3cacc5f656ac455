#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/error.h"
#include "georef/photo.h"
#include "georef/tile_grid.h"

namespace ortholay {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct CountRow {
    const char* name;
    std::int32_t width, height, cutWidth, cutHeight;
    std::int32_t rows, columns;
};

// Sizes are width x height; counts follow the quotient, then the strip
// of more than 100 pixels rule, in signed 32-bit arithmetic.
const CountRow kCountRows[] = {
    // The default cut size of 800 x 800.
    {"2000x1500", 2000, 1500, 800, 800, 2, 3},
    {"1650x1700", 1650, 1700, 800, 800, 2, 2},
    {"850x850 is one tile", 850, 850, 800, 800, 1, 1},
    {"800x1000: one full-width column", 800, 1000, 800, 800, 2, 1},
    {"800x800 has no tiles", 800, 800, 800, 800, 0, 0},
    {"750x600 is one tile", 750, 600, 800, 800, 1, 1},
    {"90x600 has no column", 90, 600, 800, 800, 1, 0},
    // The threshold is strict: 100 is absorbed, 101 is a strip of its own.
    {"remainder 100 both ways", 900, 900, 800, 800, 1, 1},
    {"remainder 101 both ways", 901, 901, 800, 800, 2, 2},
    {"remainder 100 x 101", 1700, 1701, 800, 800, 3, 2},
    {"narrower than the cut: 100", 100, 500, 800, 800, 1, 0},
    {"narrower than the cut: 101", 101, 500, 800, 800, 1, 1},
    {"800x700: neither exceeds", 800, 700, 800, 800, 1, 0},
    {"other cut sizes", 1000, 750, 300, 200, 4, 3},
    // Negative cut sizes: the quotient is always formed (D > S), and one
    // row or column appears only for 100 < D < -S.
    {"negative width, 100 < D < -S", 500, 900, -600, 800, 1, 1},
    {"negative width, D = 100", 100, 900, -600, 800, 1, 0},
    {"negative width, D = -S", 600, 900, -600, 800, 1, -1},
    {"negative width, D > -S, remainder 100", 700, 900, -600, 800, 1, -1},
    {"negative width, D > -S, remainder 160", 760, 900, -600, 800, 1, 0},
    {"negative width, twice -S and 100", 1300, 900, -600, 800, 1, -2},
    {"negative height, 100 < D < -S", 1000, 500, 800, -600, 1, 2},
    {"negative both", 500, 300, -600, -400, 1, 1},
    {"-1 ($FFFFFFFF) both ways", 500, 300, -1, -1, -300, -500},
    {"most negative cut size", 500, 300, kMin, kMin, 1, 1},
    // Extremes.
    {"cut size 1", 7, 3, 1, 1, 3, 7},
    {"cut size 2147483647", 500, 300, kMax, kMax, 1, 1},
    {"cut size 2147483647, no strip", 50, 300, kMax, kMax, 1, 0},
    {"largest photograph", 65500, 65500, 800, 800, 82, 82},
};

TEST(PlanTiles, CountsRowsAndColumns) {
    for (const CountRow& row : kCountRows) {
        SCOPED_TRACE(row.name);
        const TileGrid grid = PlanTiles(row.width, row.height, row.cutWidth, row.cutHeight);
        EXPECT_EQ(grid.rows, row.rows);
        EXPECT_EQ(grid.columns, row.columns);
        EXPECT_EQ(grid.imageWidth, row.width);
        EXPECT_EQ(grid.imageHeight, row.height);
        EXPECT_EQ(grid.cutWidth, row.cutWidth);
        EXPECT_EQ(grid.cutHeight, row.cutHeight);
    }
}

TEST(PlanTiles, RefusesAZeroCutSizeWhateverThePhotograph) {
    struct Row {
        std::int32_t width, height, cutWidth, cutHeight;
    };
    const Row rows[] = {
        {2000, 1500, 0, 800}, {2000, 1500, 800, 0}, {2000, 1500, 0, 0},
        {50, 50, 0, 800},     {800, 800, 800, 0},   {1, 1, 0, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.cutWidth) + " x " + std::to_string(row.cutHeight));
        try {
            PlanTiles(row.width, row.height, row.cutWidth, row.cutHeight);
            ADD_FAILURE() << "planned";
        } catch (const DivisionByZeroError& e) {
            EXPECT_STREQ(e.what(), "Division by zero");
        }
    }
}

TEST(TileBoundsAt, StartsAtMultiplesOfTheCutSizeAndEndsTheLastAtTheEdge) {
    struct Row {
        const char* name;
        std::int32_t width, height, cut;
        std::vector<std::int32_t> edges;  // column edges: 0, x1 of column 0, x1 of column 1, ...
    };
    const Row rows[] = {
        {"three columns", 2000, 2000, 800, {0, 800, 1600, 2000}},
        {"last column absorbs 50", 1650, 1650, 800, {0, 800, 1650}},
        {"one tile", 850, 850, 800, {0, 850}},
        {"smaller than the cut", 750, 750, 800, {0, 750}},
        {"negative cut, one column", 500, 500, -600, {0, 500}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TileGrid grid = PlanTiles(row.width, row.height, row.cut, row.cut);
        ASSERT_EQ(grid.columns + 1, static_cast<std::int32_t>(row.edges.size()));
        ASSERT_EQ(grid.rows, grid.columns);
        for (std::int32_t c = 0; c < grid.columns; ++c) {
            const TileBounds b = TileBoundsAt(grid, c, c);
            EXPECT_EQ(b.x0, row.edges[static_cast<std::size_t>(c)]);
            EXPECT_EQ(b.x1, row.edges[static_cast<std::size_t>(c) + 1]);
            EXPECT_EQ(b.y0, row.edges[static_cast<std::size_t>(c)]);
            EXPECT_EQ(b.y1, row.edges[static_cast<std::size_t>(c) + 1]);
        }
    }
}

// Every grid with tiles is a partition of the photograph: column c covers
// the same pixel columns in every row, the columns follow one another from
// 0 to the width without gap or overlap, and likewise the rows.
TEST(TileBoundsAt, TilesHoldEveryPixelExactlyOnce) {
    const std::int32_t sizes[] = {1, 50, 100, 101, 750, 799, 800, 801, 850, 900, 901, 1650, 1700, 2000, 2401};
    const std::int32_t cuts[] = {1, 7, 100, 800, 1000, -1, -600, -3000, kMax, kMin};
    int gridsWithTiles = 0;
    for (const std::int32_t width : sizes) {
        for (const std::int32_t height : {1, 150, 1700}) {
            for (const std::int32_t cutWidth : cuts) {
                for (const std::int32_t cutHeight : {800, 1, -600}) {
                    const TileGrid grid = PlanTiles(width, height, cutWidth, cutHeight);
                    if (grid.rows <= 0 || grid.columns <= 0) {
                        continue;
                    }
                    ++gridsWithTiles;
                    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " cut " +
                                 std::to_string(cutWidth) + "x" + std::to_string(cutHeight));
                    std::int32_t x = 0;
                    for (std::int32_t c = 0; c < grid.columns; ++c) {
                        const TileBounds b = TileBoundsAt(grid, grid.rows - 1, c);
                        ASSERT_EQ(b.x0, x) << "column " << c;
                        ASSERT_GT(b.x1, b.x0) << "column " << c;
                        x = b.x1;
                    }
                    EXPECT_EQ(x, width);
                    std::int32_t y = 0;
                    for (std::int32_t r = 0; r < grid.rows; ++r) {
                        const TileBounds b = TileBoundsAt(grid, r, grid.columns - 1);
                        ASSERT_EQ(b.y0, y) << "row " << r;
                        ASSERT_GT(b.y1, b.y0) << "row " << r;
                        y = b.y1;
                    }
                    EXPECT_EQ(y, height);
                    // Sample the inner tiles: the same edges as their row and column.
                    for (std::int32_t r = 0; r < grid.rows; r += grid.rows / 3 + 1) {
                        for (std::int32_t c = 0; c < grid.columns; c += grid.columns / 3 + 1) {
                            const TileBounds b = TileBoundsAt(grid, r, c);
                            const TileBounds column = TileBoundsAt(grid, grid.rows - 1, c);
                            const TileBounds row = TileBoundsAt(grid, r, grid.columns - 1);
                            EXPECT_EQ(b.x0, column.x0);
                            EXPECT_EQ(b.x1, column.x1);
                            EXPECT_EQ(b.y0, row.y0);
                            EXPECT_EQ(b.y1, row.y1);
                        }
                    }
                    // A tile is never larger than the cut size plus the absorbed strip.
                    if (cutWidth > 0 && grid.columns > 1) {
                        const TileBounds last = TileBoundsAt(grid, 0, grid.columns - 1);
                        EXPECT_LE(last.x1 - last.x0, std::int64_t{cutWidth} + 100);
                    }
                }
            }
        }
    }
    EXPECT_GT(gridsWithTiles, 200);
}

TEST(TileBoundsAt, CutSizeOneMakesATileOfEveryPixel) {
    const TileGrid grid = PlanTiles(5, 3, 1, 1);
    std::vector<int> hits(15, 0);
    for (std::int32_t r = 0; r < grid.rows; ++r) {
        for (std::int32_t c = 0; c < grid.columns; ++c) {
            const TileBounds b = TileBoundsAt(grid, r, c);
            EXPECT_EQ(b.x1 - b.x0, 1);
            EXPECT_EQ(b.y1 - b.y0, 1);
            for (std::int32_t y = b.y0; y < b.y1; ++y) {
                for (std::int32_t x = b.x0; x < b.x1; ++x) {
                    ++hits[static_cast<std::size_t>(y * 5 + x)];
                }
            }
        }
    }
    EXPECT_EQ(hits, std::vector<int>(15, 1));
}

struct WorldRow {
    const char* name;
    WorldFile world;
};

const WorldRow kWorlds[] = {
    {"quarter metre", {0.25L, -0.25L, 305000.125L, 2771000.875L}},
    {"decimal sizes", {0.3L, -0.3L, 250123.45L, 2650987.65L}},
    {"odd sizes", {0.1234567L, -0.7654321L, 171234.987654L, 2543210.123456L}},
    {"south up", {1.7L, 0.9L, -12345.6789L, -98765.4321L}},
};

TEST(TileGeoBox, NeighboursShareTheirEdgesAndTheLastReachThePhotographsEdges) {
    struct Grid {
        std::int32_t width, height, cutWidth, cutHeight;
    };
    const Grid grids[] = {{2000, 1500, 800, 800}, {1650, 1700, 800, 800}, {4007, 3001, 333, 250},
                          {850, 850, 800, 800},   {23, 17, 1, 1}};
    for (const WorldRow& w : kWorlds) {
        for (const Grid& g : grids) {
            SCOPED_TRACE(std::string(w.name) + " " + std::to_string(g.width) + "x" + std::to_string(g.height));
            const TileGrid grid = PlanTiles(g.width, g.height, g.cutWidth, g.cutHeight);
            ASSERT_GT(grid.rows, 0);
            ASSERT_GT(grid.columns, 0);
            const GeoBox whole = WholeImageBox(w.world, g.width, g.height);
            for (std::int32_t r = 0; r < grid.rows; ++r) {
                for (std::int32_t c = 0; c < grid.columns; ++c) {
                    const GeoBox box = TileGeoBox(w.world, TileBoundsAt(grid, r, c));
                    EXPECT_EQ(box.rotation, 0);
                    if (c + 1 < grid.columns) {
                        const GeoBox right = TileGeoBox(w.world, TileBoundsAt(grid, r, c + 1));
                        EXPECT_EQ(box.east, right.west) << r << "_" << c;
                        EXPECT_EQ(box.north, right.north) << r << "_" << c;
                        EXPECT_EQ(box.south, right.south) << r << "_" << c;
                    } else {
                        EXPECT_EQ(box.east, w.world.C + w.world.A * g.width) << r << "_" << c;
                        EXPECT_EQ(box.east, whole.east) << r << "_" << c;
                    }
                    if (r + 1 < grid.rows) {
                        const GeoBox below = TileGeoBox(w.world, TileBoundsAt(grid, r + 1, c));
                        EXPECT_EQ(box.south, below.north) << r << "_" << c;
                        EXPECT_EQ(box.west, below.west) << r << "_" << c;
                        EXPECT_EQ(box.east, below.east) << r << "_" << c;
                    } else {
                        EXPECT_EQ(box.south, w.world.F + w.world.E * g.height) << r << "_" << c;
                        EXPECT_EQ(box.south, whole.south) << r << "_" << c;
                    }
                    if (c == 0) {
                        EXPECT_EQ(box.west, w.world.C);
                    }
                    if (r == 0) {
                        EXPECT_EQ(box.north, w.world.F);
                    }
                }
            }
        }
    }
}

TEST(TileGeoBox, PlacesEachTileAtItsPixelEdges) {
    // 2000 x 1500 at 800 x 800, quarter-metre pixels: every value is exact.
    const WorldFile world{0.25L, -0.25L, 305000.125L, 2771000.875L};
    const TileGrid grid = PlanTiles(2000, 1500, 800, 800);
    struct Row {
        std::int32_t row, column;
        long double north, south, east, west;
    };
    const Row rows[] = {
        {0, 0, 2771000.875L, 2770800.875L, 305200.125L, 305000.125L},
        {0, 1, 2771000.875L, 2770800.875L, 305400.125L, 305200.125L},
        {0, 2, 2771000.875L, 2770800.875L, 305500.125L, 305400.125L},
        {1, 2, 2770800.875L, 2770625.875L, 305500.125L, 305400.125L},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.row) + "_" + std::to_string(row.column));
        const GeoBox box = TileGeoBox(world, TileBoundsAt(grid, row.row, row.column));
        EXPECT_EQ(box.north, row.north);
        EXPECT_EQ(box.south, row.south);
        EXPECT_EQ(box.east, row.east);
        EXPECT_EQ(box.west, row.west);
        EXPECT_EQ(box.rotation, 0);
    }
}

}  // namespace
}  // namespace ortholay
