// The one home of libjpeg in Ortholay: reading headers, decoding photographs
// band by band and encoding tiles, with libjpeg's fatal errors turned into
// Ortholay errors. No other file includes jpeglib.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ortholay {

struct JpegHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool progressive = false;  // more than one scan
};

// The most memory libjpeg may take for the whole-image buffers of one image
// (a progressive photograph's coefficients, above all). An image that needs
// more fails with OutOfMemoryError instead of exhausting the machine.
// Defaults to half the physical memory; 0 lifts the limit. Read when a
// decode or encode starts.
void SetJpegMemoryLimit(std::size_t bytes);
std::size_t JpegMemoryLimit();

// Reads the frame header of a JPEG held in memory. Empty data is no failure:
// it has no header, and gives a width and height of 0. A header libjpeg
// rejects throws JpegError.
JpegHeader ReadJpegHeader(const std::uint8_t* data, std::size_t size);

// Decodes a photograph held in memory with Ortholay's decoding settings
// (full size, float IDCT, block smoothing, 236-level dithered palette for
// grayscale), handing out the pixels a band of rows at a time, always as
// red, green, blue triples. Memory is what libjpeg needs for the image plus
// the caller's band, never a whole raster.
//
// The constructor reads the header and starts decompression; every failure
// throws (JpegError, OutOfMemoryError) and leaves no libjpeg object behind.
// A photograph of more than 500 scans fails with JpegError: each scan is a
// pass over the whole image, and a damaged file can hold thousands.
class JpegBandDecoder {
public:
    JpegBandDecoder(const std::uint8_t* data, std::size_t size);
    ~JpegBandDecoder();
    JpegBandDecoder(const JpegBandDecoder&) = delete;
    JpegBandDecoder& operator=(const JpegBandDecoder&) = delete;

    std::int32_t width() const;
    std::int32_t height() const;
    bool progressive() const;
    std::int32_t rowsRead() const;

    // Decodes the next `count` rows into `dst`, each row width * 3 bytes,
    // rows `stride` bytes apart.
    void readRows(std::uint8_t* dst, std::size_t stride, std::int32_t count);

    // Decodes and discards the next `count` rows.
    void skipRows(std::int32_t count);

    // Reads the rest of the data after the last row (libjpeg's
    // finish_decompress), where trailing errors surface.
    void finish();

    // The libjpeg state, reached only by the codec's own file.
    struct State;

private:
    std::unique_ptr<State> state_;
};

// Decodes the whole photograph once, row band by row band, and throws what
// the decode meets; the pixels are discarded.
void DecodeAndDiscard(const std::uint8_t* data, std::size_t size);

// Encodes an RGB image as a tile file: quality 75 with baseline tables,
// float DCT, 4:2:0, JFIF 1.01 density 0/1/1, standard progression when
// `progressive`. Rows are `stride` bytes apart. Throws JpegError or
// OutOfMemoryError.
std::vector<std::uint8_t> EncodeTileJpeg(const std::uint8_t* rgb, std::size_t stride,
                                         std::int32_t width, std::int32_t height,
                                         bool progressive);

}  // namespace ortholay
