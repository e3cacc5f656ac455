// A photograph's bytes, whatever they are, through the header read and the
// decode, both the whole-raster decode and the band decode the run uses,
// and a tile cut from the result through the encoder.
//
// Checks, besides the sanitizers: every failure is an Ortholay error with a
// well-formed message; a decode that succeeds gives the header's size; the
// band decode gives the same pixels as the whole decode; a tile of the
// result encodes and reads back at its size.
//
// Decode time grows with the pixels a header claims, whatever the file's
// size; as libjpeg-turbo's own fuzzers do, photographs of more than a
// megapixel are only started (header, memory, the first rows), under a
// small memory limit, not decoded whole.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/jpeg_codec.h"
#include "georef/photo.h"

namespace {

constexpr std::uint64_t kMaxDecodedPixels = 1 << 20;
constexpr std::size_t kMemoryLimit = std::size_t{256} << 20;
constexpr std::size_t kStartOnlyMemoryLimit = std::size_t{1} << 20;

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_jpeg: %s\n", what);
    std::abort();
}

// "JPEG error #N" with N a message code of the classic table, or one of the
// other messages a decode may end with.
void CheckMessage(const ortholay::Error& error) {
    const std::string message = error.what();
    if (message == "Out of memory") {
        return;
    }
    const std::string prefix = "JPEG error #";
    if (message.rfind(prefix, 0) != 0) {
        Fail(("unexpected failure: " + message).c_str());
    }
    const std::string number = message.substr(prefix.size());
    if (number.empty() || number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos) {
        Fail(("malformed JPEG error: " + message).c_str());
    }
}

void StartOnly(const std::uint8_t* data, std::size_t size) {
    ortholay::SetJpegMemoryLimit(kStartOnlyMemoryLimit);
    try {
        ortholay::JpegBandDecoder decoder(data, size);
        const std::int32_t rows = std::min<std::int32_t>(decoder.height(), 8);
        std::vector<std::uint8_t> band(static_cast<std::size_t>(decoder.width()) * 3 * static_cast<std::size_t>(rows));
        decoder.readRows(band.data(), static_cast<std::size_t>(decoder.width()) * 3, rows);
    } catch (const ortholay::Error& e) {
        CheckMessage(e);
    }
    ortholay::SetJpegMemoryLimit(kMemoryLimit);
}

// Decodes in bands of varying height, as the run does for tile rows, and
// compares with the whole raster.
void CompareBands(const std::uint8_t* data, std::size_t size, const ortholay::PhotoRaster& raster) {
    ortholay::JpegBandDecoder decoder(data, size);
    if (decoder.width() != raster.width || decoder.height() != raster.height ||
        decoder.progressive() != raster.progressive) {
        Fail("band decoder disagrees with the raster's size");
    }
    const std::size_t stride = static_cast<std::size_t>(raster.width) * 3;
    std::vector<std::uint8_t> band;
    std::int32_t y = 0;
    std::int32_t step = 1;
    while (y < raster.height) {
        const std::int32_t rows = std::min(step, raster.height - y);
        if (y % 2 == 1) {
            decoder.skipRows(rows);
        } else {
            band.assign(stride * static_cast<std::size_t>(rows), 0xA5);
            decoder.readRows(band.data(), stride, rows);
            if (std::memcmp(band.data(), raster.row(y), band.size()) != 0) {
                Fail("band decode differs from the whole decode");
            }
        }
        y += rows;
        step = step * 3 % 17 + 1;
    }
    if (decoder.rowsRead() != raster.height) {
        Fail("rows read differ from the height");
    }
    decoder.finish();
}

// A tile cut from the middle of the raster, encoded as the run encodes
// tiles, must read back as a JPEG of its size.
void EncodeTile(const ortholay::PhotoRaster& raster) {
    const std::int32_t w = std::min<std::int32_t>(raster.width, 40);
    const std::int32_t h = std::min<std::int32_t>(raster.height, 24);
    const std::int32_t x0 = (raster.width - w) / 2;
    const std::int32_t y0 = (raster.height - h) / 2;
    const std::size_t stride = static_cast<std::size_t>(raster.width) * 3;
    const std::vector<std::uint8_t> tile = ortholay::EncodeTileJpeg(
        raster.row(y0) + static_cast<std::size_t>(x0) * 3, stride, w, h, raster.progressive);
    const ortholay::JpegHeader header = ortholay::ReadJpegHeader(tile.data(), tile.size());
    if (header.width != w || header.height != h || header.progressive != raster.progressive) {
        Fail("tile reads back with another size or form");
    }
    ortholay::DecodeAndDiscard(tile.data(), tile.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ortholay::SetJpegMemoryLimit(kMemoryLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ortholay::JpegHeader header;
    try {
        header = ortholay::ReadJpegHeader(data, size);
    } catch (const ortholay::Error& e) {
        CheckMessage(e);
        return 0;
    }
    if (size == 0) {
        // No header, no failure yet: the decode is where an empty file fails.
        if (header.width != 0 || header.height != 0) {
            Fail("empty data with a size");
        }
    } else if (header.width <= 0 || header.height <= 0) {
        Fail("header accepted without a size");
    }
    if (static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) > kMaxDecodedPixels) {
        StartOnly(data, size);
        return 0;
    }

    ortholay::GeoreferencedPhoto photo;
    photo.jpeg.assign(data, data + size);
    photo.width = header.width;
    photo.height = header.height;
    photo.progressive = header.progressive;
    ortholay::PhotoRaster raster;
    try {
        raster = ortholay::DecodePhotoRaster(photo);
    } catch (const ortholay::Error& e) {
        CheckMessage(e);
        if (size == 0 && std::string(e.what()) != "JPEG error #41") {
            Fail("empty data fails with another message");
        }
        return 0;
    }
    if (size == 0) {
        Fail("empty data decoded");
    }
    if (raster.width != header.width || raster.height != header.height ||
        raster.progressive != header.progressive ||
        raster.pixels.size() != static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height) * 3) {
        Fail("raster of another size than the header's");
    }
    // What decoded once decodes again, band by band, to the same pixels.
    CompareBands(data, size, raster);
    EncodeTile(raster);
    return 0;
}
