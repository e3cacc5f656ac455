#include <gtest/gtest.h>

#include <set>

#include "common/error.h"
#include "common/jpeg_codec.h"
#include "georef/photo.h"
#include "test_support.h"

namespace ortholay {
namespace {

using testing::JpegKind;

TEST(DecodePhotoRaster, DecodesEveryKindAtFullSize) {
    struct Row {
        const char* name;
        JpegKind kind;
        bool progressive;
    };
    const Row rows[] = {
        {"baseline", JpegKind::Baseline, false},
        {"progressive", JpegKind::Progressive, true},
        {"grayscale", JpegKind::Grayscale, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(123, 77), 123, 77, row.kind);
        const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
        EXPECT_EQ(raster.width, 123);
        EXPECT_EQ(raster.height, 77);
        EXPECT_EQ(raster.progressive, row.progressive);
        ASSERT_EQ(raster.pixels.size(), 123u * 77u * 3u);
    }
}

TEST(DecodePhotoRaster, GivesAGrayscalePhotographAtMost236DitheredGrayLevels) {
    // A smooth ramp over all 256 input levels.
    std::vector<std::uint8_t> ramp(256 * 64 * 3);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
            for (int c = 0; c < 3; ++c) {
                ramp[(static_cast<std::size_t>(y) * 256 + x) * 3 + c] = static_cast<std::uint8_t>(x);
            }
        }
    }
    const auto jpeg = testing::EncodeFixtureJpeg(ramp, 256, 64, JpegKind::Grayscale, 100);
    const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
    std::set<std::uint8_t> levels;
    for (std::size_t i = 0; i < raster.pixels.size(); i += 3) {
        ASSERT_EQ(raster.pixels[i], raster.pixels[i + 1]);
        ASSERT_EQ(raster.pixels[i], raster.pixels[i + 2]);
        levels.insert(raster.pixels[i]);
    }
    EXPECT_LE(levels.size(), 236u);
    EXPECT_GT(levels.size(), 200u);
}

TEST(DecodePhotoRaster, MatchesLibjpegsFloatDecodeOfAColourPhotograph) {
    const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(64, 48), 64, 48, JpegKind::Baseline);
    const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
    int w = 0, h = 0;
    const auto reference = testing::DecodeFixtureJpeg(jpeg, &w, &h);
    // Float IDCT and block smoothing differ from the defaults by at most a
    // few levels; the picture must be the same one.
    ASSERT_EQ(reference.size(), raster.pixels.size());
    int worst = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        worst = std::max(worst, std::abs(reference[i] - raster.pixels[i]));
    }
    EXPECT_LE(worst, 8);
}

TEST(DecodePhotoRaster, ReportsLibjpegFailuresAsJpegErrors) {
    const auto good = testing::EncodeFixtureJpeg(testing::TestPattern(64, 48), 64, 48, JpegKind::Baseline);
    // Empty data has no header: no failure while read, JPEG error #41 when decoded.
    EXPECT_EQ(ReadJpegHeader(nullptr, 0).width, 0);
    try {
        DecodePhotoRaster(testing::PhotoFromJpeg({}));
        ADD_FAILURE();
    } catch (const JpegError& e) {
        EXPECT_STREQ(e.what(), "JPEG error #41");
    }
    // Not a JPEG at all.
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13};
    EXPECT_THROW(ReadJpegHeader(png.data(), png.size()), JpegError);
    // Truncated scan data is only a warning: the decode completes.
    const auto large = testing::EncodeFixtureJpeg(testing::TestPattern(512, 512), 512, 512, JpegKind::Baseline);
    std::vector<std::uint8_t> truncated(large.begin(), large.begin() + static_cast<long>(large.size() * 3 / 4));
    EXPECT_NO_THROW(DecodePhotoRaster(testing::PhotoFromJpeg(truncated)));
    (void)good;
}

}  // namespace
}  // namespace ortholay
