#include "output/tile_image.h"

#include "common/file_io.h"
#include "common/jpeg_codec.h"

namespace ortholay {

std::string TileFileName(const std::string& basePath, std::int32_t row, std::int32_t column) {
    return basePath + "_" + std::to_string(row) + "_" + std::to_string(column) + ".jpg";
}

std::vector<std::uint8_t> EncodeTileImage(const std::uint8_t* topLeft, std::size_t stride,
                                          std::int32_t width, std::int32_t height,
                                          bool progressive) {
    return EncodeTileJpeg(topLeft, stride, width, height, progressive);
}

void WriteTileImage(const PhotoRaster& raster, const TileBounds& bounds,
                    const std::string& basePath, std::int32_t row, std::int32_t column) {
    const std::size_t stride = static_cast<std::size_t>(raster.width) * 3;
    const std::uint8_t* topLeft = raster.pixels.data() + static_cast<std::size_t>(bounds.y0) * stride +
                                  static_cast<std::size_t>(bounds.x0) * 3;
    const std::vector<std::uint8_t> bytes =
        EncodeTileImage(topLeft, stride, bounds.x1 - bounds.x0, bounds.y1 - bounds.y0, raster.progressive);
    WriteFileAtomically(TileFileName(basePath, row, column), bytes.data(), bytes.size());
}

}  // namespace ortholay
