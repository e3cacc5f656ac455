// An independent account of what a tile file must hold, written straight
// against libjpeg: the photograph decoded with the photograph settings, the
// tile's rectangle cut out of it, and that rectangle encoded with the tile
// settings. Tile files are compared with it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace ortholay::testing {

struct ReferenceRaster {
    int width = 0;
    int height = 0;
    bool progressive = false;
    std::vector<std::uint8_t> rgb;  // width * height * 3
};

// Full size, float IDCT, block smoothing; a grayscale photograph quantized
// to 236 levels with the library's default dithering, then spread to gray
// red, green, blue.
ReferenceRaster DecodeAsPhotograph(const std::vector<std::uint8_t>& jpeg);

// Columns x0 to x1 - 1 and rows y0 to y1 - 1, pixel for pixel.
std::vector<std::uint8_t> CropRgb(const ReferenceRaster& raster, int x0, int y0, int x1, int y1);

// RGB in, set_defaults, float DCT, quality 75 with baseline tables, simple
// progression when `progressive`, all tables written.
std::vector<std::uint8_t> EncodeAsTile(const std::vector<std::uint8_t>& rgb, int width, int height,
                                       bool progressive);

// The tile file a rectangle of the photograph must give.
std::vector<std::uint8_t> ReferenceTile(const ReferenceRaster& photo, int x0, int y0, int x1, int y1);

// What libjpeg reads from a tile file's headers.
struct TileHeader {
    int width = 0;
    int height = 0;
    bool progressive = false;
    bool jfif = false;
    int jfifMajor = 0;
    int jfifMinor = 0;
    int densityUnit = -1;
    int xDensity = 0;
    int yDensity = 0;
    bool adobe = false;
    int components = 0;
    int colorSpace = 0;               // J_COLOR_SPACE
    bool ycbcr = false;
    std::vector<int> componentIds;
    std::vector<int> hSampling;
    std::vector<int> vSampling;
    std::vector<int> quantTables;
    int lumaQuantDc = 0;              // first entry of table 0
    int chromaQuantDc = 0;            // first entry of table 1
    unsigned restartInterval = 0;
    bool arithmetic = false;
};

TileHeader ReadTileHeader(const std::vector<std::uint8_t>& jpeg);

}  // namespace ortholay::testing
