// Tile image files: their names, and their pixels encoded as JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "georef/photo.h"
#include "georef/tile_grid.h"

namespace ortholay {

// basePath + "_" + row + "_" + column + ".jpg"
std::string TileFileName(const std::string& basePath, std::int32_t row, std::int32_t column);

// The tile file's bytes for a source rectangle of `width` by `height` pixels
// whose top-left pixel is at `topLeft`, rows `stride` bytes apart: the pixels
// are copied one for one (no pixel dropped or repeated).
std::vector<std::uint8_t> EncodeTileImage(const std::uint8_t* topLeft, std::size_t stride,
                                          std::int32_t width, std::int32_t height,
                                          bool progressive);

// Cuts the tile out of a whole raster and writes it to TileFileName through a
// temporary file and a rename. Throws JpegError, FileCreateError (naming the
// tile file), StreamWriteError.
void WriteTileImage(const PhotoRaster& raster, const TileBounds& bounds,
                    const std::string& basePath, std::int32_t row, std::int32_t column);

}  // namespace ortholay
