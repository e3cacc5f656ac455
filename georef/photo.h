// A ticked photograph: its world file, its JPEG data and header, its extent,
// and its decoded pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "georef/geo_box.h"
#include "georef/photo_paths.h"
#include "georef/world_file.h"

namespace ortholay {

struct GeoreferencedPhoto {
    WorldFile world;
    std::vector<std::string> items;   // the world file's items, kept for the run
    std::vector<std::uint8_t> jpeg;   // the photograph's bytes as read
    std::int32_t width = 0;           // from the JPEG frame header
    std::int32_t height = 0;
    bool progressive = false;
};

// A photograph decoded at full size, rows top to bottom, RGB triples.
struct PhotoRaster {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool progressive = false;
    std::vector<std::uint8_t> pixels;  // width * height * 3 bytes

    const std::uint8_t* row(std::int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    }
};

// In this order, which fixes the failure reported first: the world file is
// read and split (FileOpenError with its path), the photograph is read and
// its header decoded (FileOpenError with its path, JpegError), then items 4,
// 5, 0 and 3 are parsed (ListIndexError, InvalidFloatError).
GeoreferencedPhoto ReadGeoreferencedPhoto(const PhotoPaths& paths);

// The whole photograph's box in grid units: north F, south E * height + F,
// east A * width + C, west C, rotation 0.
GeoBox WholeImageBox(const WorldFile& world, std::int32_t width, std::int32_t height);

// Decodes the whole photograph into one raster. The run itself streams the
// decode band by band (JpegBandDecoder); this is the same decode kept whole.
PhotoRaster DecodePhotoRaster(const GeoreferencedPhoto& photo);

}  // namespace ortholay
