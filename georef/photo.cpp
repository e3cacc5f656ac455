#include "georef/photo.h"

#include "common/file_io.h"
#include "common/jpeg_codec.h"

namespace ortholay {

GeoreferencedPhoto ReadGeoreferencedPhoto(const PhotoPaths& paths) {
    GeoreferencedPhoto photo;
    photo.items = ReadWorldFileItems(paths.worldFilePath);
    photo.jpeg = ReadWholeFile(paths.photoPath);
    const JpegHeader header = ReadJpegHeader(photo.jpeg.data(), photo.jpeg.size());
    photo.width = header.width;
    photo.height = header.height;
    photo.progressive = header.progressive;
    photo.world = WorldFileFromItems(photo.items);
    return photo;
}

GeoBox WholeImageBox(const WorldFile& world, std::int32_t width, std::int32_t height) {
    GeoBox box;
    box.north = world.F;
    box.south = world.E * static_cast<long double>(height) + world.F;
    box.east = world.A * static_cast<long double>(width) + world.C;
    box.west = world.C;
    box.rotation = 0;
    return box;
}

PhotoRaster DecodePhotoRaster(const GeoreferencedPhoto& photo) {
    JpegBandDecoder decoder(photo.jpeg.data(), photo.jpeg.size());
    PhotoRaster raster;
    raster.width = decoder.width();
    raster.height = decoder.height();
    raster.progressive = decoder.progressive();
    const std::size_t stride = static_cast<std::size_t>(raster.width) * 3;
    raster.pixels.resize(stride * static_cast<std::size_t>(raster.height));
    decoder.readRows(raster.pixels.data(), stride, raster.height);
    decoder.finish();
    return raster;
}

}  // namespace ortholay
