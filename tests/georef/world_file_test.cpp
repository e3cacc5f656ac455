#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "common/error.h"
#include "georef/photo.h"
#include "georef/photo_paths.h"
#include "georef/world_file.h"
#include "output/kml_document.h"
#include "test_support.h"

namespace ortholay {
namespace {

using testing::ScratchDir;
using testing::WriteText;

TEST(ParseWorldFileNumber, FollowsTheNumberRule) {
    struct Row {
        const char* item;
        bool valid;
        long double value;
    };
    const Row rows[] = {
        {"250000", true, 250000},   {"-0.5", true, -0.5L},   {"5.", true, 5},
        {".5", true, 0.5L},         {".", true, 0},          {"1e3", true, 1000},
        {"1E+03", true, 1000},      {"+1000", true, 1000},   {"1000.", true, 1000},
        {"1e", true, 1},            {"  12.5  ", true, 12.5L}, {"1e-2", true, 0.01L},
        {"0.25", true, 0.25L},      {"-0.25", true, -0.25L}, {"305000.125", true, 305000.125L},
        {"+", false, 0},            {"", false, 0},          {"1e5000", false, 0},
        {"1e4933", false, 0},       {"e5", false, 0},        {"1.2.3", false, 0},
        {"\t1", false, 0},          {"1,5", false, 0},       {"0x10", false, 0},
        {"1 2", false, 0},          {"- 1", false, 0},       {"1e+", true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item);
        const auto value = ParseWorldFileNumber(row.item);
        ASSERT_EQ(value.has_value(), row.valid);
        if (row.valid) {
            EXPECT_EQ(*value, row.value);
        }
    }
}

TEST(ParseWorldFileNumber, KeepsTheSmallestValuesAboveZero) {
    // Beyond 10^-4931 the power of ten itself would overflow; the value is
    // still found (as a subnormal, to within its reduced precision).
    const long double value = ParseWorldFileNumber("0.5e-4931").value_or(0);
    EXPECT_GT(value, 4.99e-4932L);
    EXPECT_LT(value, 5.01e-4932L);
}

TEST(LocaleIndependence, NumbersIgnoreALocaleWithADecimalComma) {
    // Locale-independent numbers: a comma locale, where available, changes
    // nothing for world files.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    }
    EXPECT_EQ(ParseWorldFileNumber("0.5").value_or(-1), 0.5L);
    EXPECT_EQ(FormatKmlNumber(305000.125L), "305000.125");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(SplitItems, SeparatesByBlanksCommasAndQuotes) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> items;
    };
    const std::vector<Row> rows = {
        {"one per line", "0.5\r\n0\r\n0\r\n-0.5\r\n", {"0.5", "0", "0", "-0.5"}},
        {"commas", "1,2,3\r\n", {"1", "2", "3"}},
        {"blanks and tabs", " 1 \t2  3\r\n", {"1", "2", "3"}},
        {"empty between commas", "1,,3\r\n", {"1", "", "3"}},
        {"comma with blanks around", "1 , , 3\r\n", {"1", "", "3"}},
        {"trailing comma of the last line", "1,2,\r\n", {"1", "2"}},
        {"comma as the very last character", "1,2,", {"1", "2", ""}},
        {"quoted", "\"a b\",\"c\"\"d\"\r\n", {"a b", "c\"d"}},
        {"decimal comma splits", "0,5\r\n", {"0", "5"}},
        {"nothing", "", {}},
        {"blank lines only", "\r\n\r\n", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplitItems(row.text), row.items);
    }
}

TEST(NormalizeWorldFileText, CutsAtEveryKindOfLineEndAndAtNul) {
    EXPECT_EQ(NormalizeWorldFileText("a\r\nb\rc\nd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(NormalizeWorldFileText("a\n\nb\n"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(NormalizeWorldFileText(std::string("1\n2\0\n3\n", 7)), "1\r\n2\r\n");
    EXPECT_EQ(NormalizeWorldFileText(""), "");
}

TEST(DerivePhotoPaths, RemovesOnlyTheFinalExtensionOfTheName) {
    struct Row {
        const char* folder;
        const char* name;
        const char* worldFile;
        const char* basePath;
        const char* baseName;
        const char* photo;
    };
    const Row rows[] = {
        {"/photos", "a.jgw", "/photos/a.jgw", "/photos/a", "a", "/photos/a.jpg"},
        {"/x.jgw", "a.jgw", "/x.jgw/a.jgw", "/x.jgw/a", "a", "/x.jgw/a.jpg"},
        {"/p", "A.JGW", "/p/A.JGW", "/p/A", "A", "/p/A.jpg"},
        {"/p", "a.jgwx", "/p/a.jgwx", "/p/a", "a", "/p/a.jpg"},
        {"/p", "a.b.jgw", "/p/a.b.jgw", "/p/a.b", "a.b", "/p/a.b.jpg"},
        {"/p.d", "noext", "/p.d/noext", "/p.d/noext", "noext", "/p.d/noext.jpg"},
        {"/", "a.jgw", "//a.jgw", "//a", "a", "//a.jpg"},
        {"", "a.jgw", "/a.jgw", "/a", "a", "/a.jpg"},
        {"/航照", "台北.jgw", "/航照/台北.jgw", "/航照/台北", "台北", "/航照/台北.jpg"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.folder) + " " + row.name);
        const PhotoPaths p = DerivePhotoPaths(row.folder, row.name);
        EXPECT_EQ(p.worldFilePath, row.worldFile);
        EXPECT_EQ(p.basePath, row.basePath);
        EXPECT_EQ(p.baseName, row.baseName);
        EXPECT_EQ(p.photoPath, row.photo);
    }
}

TEST(WholeImageBox, SpansThePhotographFromTheUpperLeftCorner) {
    const WorldFile world{0.5L, -0.5L, 250000, 2650000};
    const GeoBox box = WholeImageBox(world, 1000, 800);
    EXPECT_EQ(box.north, 2650000);
    EXPECT_EQ(box.south, 2649600);
    EXPECT_EQ(box.east, 250500);
    EXPECT_EQ(box.west, 250000);
    EXPECT_EQ(box.rotation, 0);
    // A negative A puts east west of west; nothing reorders the edges.
    const GeoBox flipped = WholeImageBox(WorldFile{-1, -1, 100, 200}, 10, 10);
    EXPECT_LT(flipped.east, flipped.west);
}

// One world file in many layouts gives the same values; the failures come
// in the order the values are fetched (C, F, A, E).
TEST(ReadGeoreferencedPhoto, ReadsEveryLayoutAndReportsTheFirstFailure) {
    struct Row {
        const char* name;
        std::string worldFile;
        std::string message;  // empty: reads 0.5, -0.5, 250000, 2650000
    };
    const std::vector<Row> rows = {
        {"one per line", "0.5\r\n0\r\n0\r\n-0.5\r\n250000\r\n2650000\r\n", ""},
        {"commas on one line", "0.5,0,0,-0.5,250000,2650000", ""},
        {"spaces and tabs", "0.5 0\t0 -0.5  250000 2650000\n", ""},
        {"blank lines, LF", "0.5\n\n0\n0\n\n-0.5\n250000\n2650000", ""},
        {"CR only", "0.5\r0\r0\r-0.5\r250000\r2650000\r", ""},
        {"quoted", "\"0.5\" 0 0 \"-0.5\" \"250000\" 2650000", ""},
        {"extra values ignored", "0.5 0 0 -0.5 250000 2650000 7 8 x", ""},
        {"rotation terms never read", "0.5 x y -0.5 250000 2650000", ""},
        {"four values", "0.5 0 0 -0.5", "List index out of bounds (4)"},
        {"five values", "0.5 0 0 -0.5 250000", "List index out of bounds (5)"},
        {"five values, bad C", "0.5 0 0 -0.5 C", "'C' is not a valid floating point value"},
        {"bad C before bad A", "A 0 0 -0.5 C F", "'C' is not a valid floating point value"},
        {"bad F before bad A", "A 0 0 -0.5 1 F", "'F' is not a valid floating point value"},
        {"bad A before bad E", "A 0 0 E 1 2", "'A' is not a valid floating point value"},
        {"bad E", "1 0 0 E 1 2", "'E' is not a valid floating point value"},
        {"empty item", "0.5,0,0,,250000,2650000", "'' is not a valid floating point value"},
        {"byte-order mark", "\xEF\xBB\xBF" "0.5\n0\n0\n-0.5\n250000\n2650000\n",
         "'\xEF\xBB\xBF" "0.5' is not a valid floating point value"},
        {"16-bit text ends at its first NUL", std::string("0\0.\0" "5\0", 6), "List index out of bounds (4)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        testing::WritePhoto(dir.str(), "a", 40, 30, testing::JpegKind::Baseline, row.worldFile);
        const PhotoPaths paths = DerivePhotoPaths(dir.str(), "a.jgw");
        if (row.message.empty()) {
            const GeoreferencedPhoto photo = ReadGeoreferencedPhoto(paths);
            EXPECT_EQ(photo.world.A, 0.5L);
            EXPECT_EQ(photo.world.E, -0.5L);
            EXPECT_EQ(photo.world.C, 250000);
            EXPECT_EQ(photo.world.F, 2650000);
            EXPECT_EQ(photo.width, 40);
            EXPECT_EQ(photo.height, 30);
        } else {
            try {
                ReadGeoreferencedPhoto(paths);
                ADD_FAILURE() << "no failure";
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), row.message);
            }
        }
    }
}

TEST(ReadGeoreferencedPhoto, ReadsDecimalCommasAsShiftedItemsWithoutAMessage) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 40, 30, testing::JpegKind::Baseline,
                        "0,5\n0\n0\n-0,5\n250000\n2650000\n");
    const GeoreferencedPhoto photo = ReadGeoreferencedPhoto(DerivePhotoPaths(dir.str(), "a.jgw"));
    EXPECT_EQ(photo.items.size(), 8u);
    EXPECT_EQ(photo.world.C, 0);  // item 4 is "-0"
    EXPECT_EQ(photo.world.F, 5);
    EXPECT_EQ(photo.world.A, 0);
    EXPECT_EQ(photo.world.E, 0);
}

TEST(ReadGeoreferencedPhoto, ReportsMissingFilesBeforeBadNumbers) {
    ScratchDir dir;
    const PhotoPaths paths = DerivePhotoPaths(dir.str(), "a.jgw");
    auto message = [&] {
        try {
            ReadGeoreferencedPhoto(paths);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no failure");
    };
    EXPECT_EQ(message(), "Cannot open file " + paths.worldFilePath);
    WriteText(paths.worldFilePath, "bad bad bad bad bad bad");
    EXPECT_EQ(message(), "Cannot open file " + paths.photoPath);
    WriteText(paths.photoPath, "not a jpeg at all");
    EXPECT_EQ(message().rfind("JPEG error #", 0), 0u) << message();
    WriteText(paths.photoPath, "");  // an empty photograph reads as 0 x 0
    EXPECT_EQ(message(), "'bad' is not a valid floating point value");
    std::filesystem::remove(paths.worldFilePath);
    std::filesystem::create_directory(paths.worldFilePath);  // a folder named like a world file
    EXPECT_EQ(message(), "Cannot open file " + paths.worldFilePath);
}

}  // namespace
}  // namespace ortholay
