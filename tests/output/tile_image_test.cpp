#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/jpeg_codec.h"
#include "georef/photo.h"
#include "output/tile_image.h"
#include "test_support.h"
#include "tile_reference.h"

namespace ortholay {
namespace {

namespace fs = std::filesystem;
using testing::JpegKind;
using testing::ScratchDir;

TEST(TileFileName, AppendsRowAndColumnToTheBasePath) {
    struct Row {
        const char* base;
        std::int32_t row, column;
        const char* name;
    };
    const Row rows[] = {
        {"/survey/strip07", 0, 2, "/survey/strip07_0_2.jpg"},
        {"/survey/strip07", 1, 0, "/survey/strip07_1_0.jpg"},
        {"/survey/strip07", 10, 123, "/survey/strip07_10_123.jpg"},
        {"/航照/a.b", 0, 0, "/航照/a.b_0_0.jpg"},
        {"rel", 65499, 65499, "rel_65499_65499.jpg"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TileFileName(row.base, row.row, row.column), row.name);
    }
}

struct KindRow {
    const char* name;
    JpegKind kind;
    bool progressive;
};

const KindRow kKinds[] = {
    {"baseline", JpegKind::Baseline, false},
    {"progressive", JpegKind::Progressive, true},
    {"grayscale", JpegKind::Grayscale, false},
};

// The tile file is the rectangle of the decoded photograph encoded with the
// tile settings, byte for byte; checked against libjpeg driven directly.
TEST(WriteTileImage, IsTheRectangleEncodedWithTheTileSettings) {
    constexpr int kWidth = 203;
    constexpr int kHeight = 151;
    struct Bounds {
        int x0, y0, x1, y1;
    };
    const Bounds tiles[] = {
        {0, 0, kWidth, kHeight},       // the whole photograph
        {0, 0, 64, 48},                // top left
        {64, 48, 128, 96},             // inner
        {128, 96, kWidth, kHeight},    // bottom right, to both edges
        {37, 11, 38, 12},              // one pixel
        {5, 140, kWidth, kHeight},     // a thin strip along the bottom
    };
    for (const KindRow& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(kWidth, kHeight), kWidth, kHeight, kind.kind);
        const testing::ReferenceRaster reference = testing::DecodeAsPhotograph(jpeg);
        const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
        ASSERT_EQ(raster.progressive, kind.progressive);
        // The photograph decodes to what the decoding settings give.
        ASSERT_EQ(raster.pixels, reference.rgb);
        ScratchDir dir;
        for (std::size_t i = 0; i < std::size(tiles); ++i) {
            const Bounds& t = tiles[i];
            SCOPED_TRACE("tile " + std::to_string(i));
            WriteTileImage(raster, TileBounds{t.x0, t.y0, t.x1, t.y1}, dir.file("p"), 0, static_cast<std::int32_t>(i));
            const auto written = testing::ReadBytes(dir.file("p_0_" + std::to_string(i) + ".jpg"));
            EXPECT_EQ(written, testing::ReferenceTile(reference, t.x0, t.y0, t.x1, t.y1));
            const testing::TileHeader header = testing::ReadTileHeader(written);
            EXPECT_EQ(header.width, t.x1 - t.x0);
            EXPECT_EQ(header.height, t.y1 - t.y0);
        }
        // Nothing but the tile files.
        EXPECT_EQ(dir.names().size(), std::size(tiles));
    }
}

TEST(WriteTileImage, WritesAThreeComponentJfifFileWhoseFormFollowsThePhotograph) {
    for (const KindRow& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(40, 30), 40, 30, kind.kind);
        const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
        ScratchDir dir;
        WriteTileImage(raster, TileBounds{3, 2, 40, 30}, dir.file("t"), 1, 1);
        const auto bytes = testing::ReadBytes(dir.file("t_1_1.jpg"));
        // SOI, then an APP0 JFIF 1.01 segment of 16 bytes: density unit 0,
        // density 1 x 1, no thumbnail.
        const std::vector<std::uint8_t> head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                                0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
        ASSERT_GE(bytes.size(), head.size());
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(head.size())), head);
        const testing::TileHeader h = testing::ReadTileHeader(bytes);
        EXPECT_EQ(h.width, 37);
        EXPECT_EQ(h.height, 28);
        EXPECT_TRUE(h.jfif);
        EXPECT_EQ(h.jfifMajor, 1);
        EXPECT_EQ(h.jfifMinor, 1);
        EXPECT_EQ(h.densityUnit, 0);
        EXPECT_EQ(h.xDensity, 1);
        EXPECT_EQ(h.yDensity, 1);
        EXPECT_FALSE(h.adobe);
        EXPECT_EQ(h.components, 3);
        EXPECT_TRUE(h.ycbcr);
        EXPECT_EQ(h.componentIds, (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(h.hSampling, (std::vector<int>{2, 1, 1}));
        EXPECT_EQ(h.vSampling, (std::vector<int>{2, 1, 1}));
        EXPECT_EQ(h.quantTables, (std::vector<int>{0, 1, 1}));
        // Quality 75 halves the example tables: 16 -> 8, 17 -> 9 (rounded).
        EXPECT_EQ(h.lumaQuantDc, 8);
        EXPECT_EQ(h.chromaQuantDc, 9);
        EXPECT_EQ(h.restartInterval, 0u);
        EXPECT_FALSE(h.arithmetic);
        EXPECT_EQ(h.progressive, kind.progressive);
        // A grayscale photograph gives gray pixels in a colour file.
        if (kind.kind == JpegKind::Grayscale) {
            int w = 0, hgt = 0;
            const auto pixels = testing::DecodeFixtureJpeg(bytes, &w, &hgt);
            for (std::size_t i = 0; i < pixels.size(); i += 3) {
                ASSERT_LE(std::abs(pixels[i] - pixels[i + 1]), 1) << i;
                ASSERT_LE(std::abs(pixels[i] - pixels[i + 2]), 1) << i;
            }
        }
    }
}

TEST(WriteTileImage, RefusesTilesOverTheLibrarysSizeLimit) {
    struct Row {
        const char* name;
        std::int32_t width, height;
        bool fits;
    };
    const Row rows[] = {
        {"65500 wide", 65500, 1, true},
        {"65501 wide", 65501, 1, false},
        {"65500 high", 1, 65500, true},
        {"65501 high", 1, 65501, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PhotoRaster raster;
        raster.width = row.width;
        raster.height = row.height;
        raster.pixels.assign(static_cast<std::size_t>(row.width) * row.height * 3, 128);
        ScratchDir dir;
        const TileBounds bounds{0, 0, row.width, row.height};
        if (row.fits) {
            WriteTileImage(raster, bounds, dir.file("w"), 0, 0);
            EXPECT_EQ(dir.names(), std::vector<std::string>{"w_0_0.jpg"});
            continue;
        }
        try {
            WriteTileImage(raster, bounds, dir.file("w"), 0, 0);
            ADD_FAILURE() << "encoded";
        } catch (const JpegError& e) {
            EXPECT_STREQ(e.what(), "JPEG error #40");
            EXPECT_EQ(e.code(), 40);
        }
        EXPECT_TRUE(dir.names().empty());
    }
}

TEST(WriteTileImage, ReplacesAnEarlierTileFileWhole) {
    const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(64, 64), 64, 64, JpegKind::Baseline);
    const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
    ScratchDir dir;
    // Longer than the new tile, so a file that was only overwritten in place
    // would keep a tail.
    testing::WriteBytes(dir.file("a_0_0.jpg"), std::vector<std::uint8_t>(100000, 0xAB));
    WriteTileImage(raster, TileBounds{0, 0, 16, 16}, dir.file("a"), 0, 0);
    EXPECT_EQ(testing::ReadBytes(dir.file("a_0_0.jpg")),
              testing::ReferenceTile(testing::DecodeAsPhotograph(jpeg), 0, 0, 16, 16));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a_0_0.jpg"});
}

TEST(WriteTileImage, NamesTheTileFileItCannotCreateAndLeavesNothingBehind) {
    const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(64, 64), 64, 64, JpegKind::Baseline);
    const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
    struct Row {
        const char* name;
        std::string basePath;  // relative to the scratch folder
        std::string blocked;   // a folder made where the tile file goes
        std::string message;   // relative path of the file named
    };
    const Row rows[] = {
        {"a folder in the way", "a", "a_0_1.jpg", "a_0_1.jpg"},
        {"a missing folder", "missing/a", "", "missing/a_0_1.jpg"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        if (!row.blocked.empty()) {
            fs::create_directory(dir.path() / row.blocked);
        }
        try {
            WriteTileImage(raster, TileBounds{16, 0, 32, 16}, dir.file(row.basePath), 0, 1);
            ADD_FAILURE() << "written";
        } catch (const FileCreateError& e) {
            EXPECT_EQ(e.what(), "Cannot create file " + dir.file(row.message));
        }
        std::vector<std::string> expected;
        if (!row.blocked.empty()) {
            expected.push_back(row.blocked);
            EXPECT_TRUE(fs::is_empty(dir.path() / row.blocked));
        }
        EXPECT_EQ(dir.names(), expected);
    }
}

TEST(WriteTileImage, ReportsAShortWriteAndLeavesNoHalfFile) {
    const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(256, 256), 256, 256, JpegKind::Baseline);
    const PhotoRaster raster = DecodePhotoRaster(testing::PhotoFromJpeg(jpeg));
    ScratchDir dir;
    testing::WriteBytes(dir.file("a_0_0.jpg"), {1, 2, 3});  // an earlier run's tile
    {
        const testing::FileSizeLimit limit(1000);
        try {
            WriteTileImage(raster, TileBounds{0, 0, 256, 256}, dir.file("a"), 0, 0);
            ADD_FAILURE() << "written";
        } catch (const StreamWriteError& e) {
            EXPECT_STREQ(e.what(), "Stream write error");
        }
    }
    // The earlier file is untouched and no temporary file is left.
    EXPECT_EQ(testing::ReadBytes(dir.file("a_0_0.jpg")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a_0_0.jpg"});
}

}  // namespace
}  // namespace ortholay
