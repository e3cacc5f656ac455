#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "app/conversion_run.h"
#include "common/error.h"
#include "georef/tile_grid.h"
#include "georef/tm2.h"
#include "output/kml_document.h"
#include "test_support.h"
#include "tile_reference.h"

namespace ortholay {
namespace {

namespace fs = std::filesystem;
using testing::JpegKind;
using testing::ScratchDir;

std::size_t LineCount(const std::string& document) {
    std::size_t n = 0;
    for (std::size_t at = document.find("\r\n"); at != std::string::npos; at = document.find("\r\n", at + 2)) {
        ++n;
    }
    return n;
}

// The document's lines, without their CR LF.
std::vector<std::string> Lines(const std::string& document) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = document.find("\r\n"); at != std::string::npos; at = document.find("\r\n", start)) {
        lines.push_back(document.substr(start, at - start));
        start = at + 2;
    }
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of one tile overlay as a KML reader must see them.
std::vector<std::string> TileOverlayLines(const std::string& baseName, const std::string& tileName,
                                          const std::string& href, const std::string& north,
                                          const std::string& south, const std::string& east,
                                          const std::string& west) {
    return {"    <GroundOverlay>",
            "      <name>" + tileName + "</name>",
            "      <visibility>0</visibility>",
            "      <description>" + baseName + "</description>",
            "      <Icon><href>" + href + "</href></Icon>",
            "      <LatLonBox id=\"" + baseName + "\">",
            "        <north>" + north + "</north>",
            "        <south>" + south + "</south>",
            "        <east>" + east + "</east>",
            "        <west>" + west + "</west>",
            "        <rotation>0</rotation>",
            "      </LatLonBox>",
            "    </GroundOverlay>"};
}

// Where `expected` stands in `lines`, as a contiguous run; npos when absent.
std::size_t FindRun(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    const auto it = std::search(lines.begin(), lines.end(), expected.begin(), expected.end());
    return it == lines.end() ? std::string::npos : static_cast<std::size_t>(it - lines.begin());
}

// Tile edges along one direction, from the grid's counting rule with tiles
// starting at multiples of the cut size: edge i is i * cut, the last edge is
// the photograph's size.
std::vector<int> Edges(int size, int cut, int count) {
    std::vector<int> edges;
    for (int i = 0; i < count; ++i) {
        edges.push_back(i * cut);
    }
    edges.push_back(size);
    return edges;
}

// Every tile file of the photograph is the reference encoding of its
// rectangle of the decoded photograph, and the rectangles hold every pixel
// once.
void ExpectTilesOnDisk(const ScratchDir& dir, const std::string& name, const std::vector<int>& xEdges,
                       const std::vector<int>& yEdges) {
    const testing::ReferenceRaster photo = testing::DecodeAsPhotograph(testing::ReadBytes(dir.file(name + ".jpg")));
    ASSERT_EQ(xEdges.back(), photo.width);
    ASSERT_EQ(yEdges.back(), photo.height);
    long long pixels = 0;
    for (std::size_t r = 0; r + 1 < yEdges.size(); ++r) {
        for (std::size_t c = 0; c + 1 < xEdges.size(); ++c) {
            const std::string tile = name + "_" + std::to_string(r) + "_" + std::to_string(c) + ".jpg";
            SCOPED_TRACE(tile);
            ASSERT_TRUE(fs::is_regular_file(dir.file(tile)));
            const auto bytes = testing::ReadBytes(dir.file(tile));
            const testing::TileHeader header = testing::ReadTileHeader(bytes);
            EXPECT_EQ(header.width, xEdges[c + 1] - xEdges[c]);
            EXPECT_EQ(header.height, yEdges[r + 1] - yEdges[r]);
            EXPECT_EQ(header.progressive, photo.progressive);
            pixels += static_cast<long long>(header.width) * header.height;
            EXPECT_EQ(bytes, testing::ReferenceTile(photo, xEdges[c], yEdges[r], xEdges[c + 1], yEdges[r + 1]));
        }
    }
    EXPECT_EQ(pixels, static_cast<long long>(photo.width) * photo.height);
}

std::vector<std::string> TileNames(const std::string& name, std::size_t rows, std::size_t columns) {
    std::vector<std::string> names;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            names.push_back(name + "_" + std::to_string(r) + "_" + std::to_string(c) + ".jpg");
        }
    }
    return names;
}

RunSettings TileSettings(const ScratchDir& dir, std::vector<std::string> names) {
    RunSettings settings;
    settings.title = "tiles";
    settings.folder = dir.str();
    settings.hrefPrefix = "http://example.org/photos/";
    settings.cutOption = true;
    for (const std::string& n : names) {
        settings.entries.push_back({n, true});
    }
    return settings;
}

TEST(TileRun, WritesEachTileAsItsRectangleOfTheDecodedPhotograph) {
    struct Row {
        const char* name;
        JpegKind kind;
    };
    const Row rows[] = {
        {"baseline", JpegKind::Baseline},
        {"progressive", JpegKind::Progressive},
        {"grayscale", JpegKind::Grayscale},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        // 560 = 2 x 200 + a strip of 160 (a column of its own);
        // 390 = 2 x 150 + 90 (absorbed by the last row).
        testing::WritePhoto(dir.str(), "p", 560, 390, row.kind);
        RunSettings settings = TileSettings(dir, {"p.jgw"});
        settings.cutWidthText = "200";
        settings.cutHeightText = "150";
        const std::string document = RunConversion(settings);
        EXPECT_EQ(LineCount(document), 6u + 4u + 13u * 6u);
        ExpectTilesOnDisk(dir, "p", {0, 200, 400, 560}, {0, 150, 390});
        std::vector<std::string> expected = TileNames("p", 2, 3);
        expected.insert(expected.end(), {"p.jgw", "p.jpg"});
        EXPECT_EQ(dir.names(), Sorted(expected));
    }
}

TEST(TileRun, CutsAtTheDefaultSizeWithTheLastRowAndColumnAbsorbingTheirStrips) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "p", 1650, 1700);
    const std::string document = RunConversion(TileSettings(dir, {"p.jgw"}));
    EXPECT_EQ(LineCount(document), 6u + 4u + 13u * 4u);
    // 800 and 850 wide, 800 and 900 high.
    ExpectTilesOnDisk(dir, "p", {0, 800, 1650}, {0, 800, 1700});
}

TEST(TileRun, WritesTheFoldersOfAMixedRunInListOrder) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 2000, 1500);  // 2 x 3 tiles
    testing::WritePhoto(dir.str(), "b", 800, 800);    // no tile
    testing::WritePhoto(dir.str(), "c", 90, 600);     // no column, so no tile
    testing::WritePhoto(dir.str(), "d", 850, 850);    // one tile, the whole photograph
    testing::WritePhoto(dir.str(), "e", 300, 300);    // not ticked
    RunSettings settings = TileSettings(dir, {"a.jgw", "b.jgw", "c.jgw", "d.jgw", "e.jgw"});
    settings.entries.back().ticked = false;
    const std::vector<std::string> inputs = dir.names();

    // Without the cut option every ticked photograph is one overlay and no
    // file is written.
    settings.cutOption = false;
    const std::string whole = RunConversion(settings);
    EXPECT_EQ(LineCount(whole), 6u + 13u * 4u);
    EXPECT_EQ(dir.names(), inputs);

    // The document does not depend on how many workers make it.
    settings.jobs = 1;
    settings.cutOption = true;
    const std::string sequential = RunConversion(settings);
    settings.jobs = 2;
    const std::string document = RunConversion(settings);
    EXPECT_EQ(document, sequential);
    EXPECT_EQ(LineCount(document), 6u + 4u * 4u + 13u * 7u);
    const std::vector<std::string> lines = Lines(document);

    // The href prefix plays no part in tile hrefs.
    EXPECT_EQ(document.find("http://example.org"), std::string::npos);

    // a: six tiles in row-major order, each href the tile file just written.
    const std::size_t aFolder = FindRun(lines, {"  <Folder>", "  <name>a</name>", "  <visibility>0</visibility>"});
    ASSERT_EQ(aFolder, 4u);
    std::size_t at = aFolder + 3;
    for (const std::string tile : {"a_0_0", "a_0_1", "a_0_2", "a_1_0", "a_1_1", "a_1_2"}) {
        SCOPED_TRACE(tile);
        EXPECT_EQ(lines[at + 1], "      <name>" + tile + "</name>");
        EXPECT_EQ(lines[at + 4], "      <Icon><href>" + dir.file(tile + ".jpg") + "</href></Icon>");
        at += 13;
    }
    EXPECT_EQ(lines[at], "  </Folder>");
    // Tile 0_1 is pixel columns 800 to 1600 and rows 0 to 800.
    EXPECT_EQ(FindRun(lines, TileOverlayLines("a", "a_0_1", dir.file("a_0_1.jpg"), "2771000.875",
                                              "2770800.875", "305400.125", "305200.125")),
              aFolder + 3 + 13);
    // Tile 1_2 is the bottom right corner: columns 1600 to 2000, rows 800 to 1500.
    EXPECT_EQ(FindRun(lines, TileOverlayLines("a", "a_1_2", dir.file("a_1_2.jpg"), "2770800.875",
                                              "2770625.875", "305500.125", "305400.125")),
              aFolder + 3 + 5 * 13);

    // b and c: a folder with nothing in it.
    for (const std::string name : {"b", "c"}) {
        EXPECT_NE(FindRun(lines, {"  <Folder>", "  <name>" + name + "</name>", "  <visibility>0</visibility>",
                                  "  </Folder>"}),
                  std::string::npos)
            << name;
    }
    // d: one tile spanning the photograph, which it covers exactly.
    std::vector<std::string> dFolder = {"  <Folder>", "  <name>d</name>", "  <visibility>0</visibility>"};
    const std::vector<std::string> dTile = TileOverlayLines("d", "d_0_0", dir.file("d_0_0.jpg"), "2771000.875",
                                                            "2770788.375", "305212.625", "305000.125");
    dFolder.insert(dFolder.end(), dTile.begin(), dTile.end());
    dFolder.push_back("  </Folder>");
    EXPECT_EQ(FindRun(lines, dFolder), lines.size() - 2 - dFolder.size());

    std::vector<std::string> expected = inputs;
    for (const std::string& tile : TileNames("a", 2, 3)) {
        expected.push_back(tile);
    }
    expected.push_back("d_0_0.jpg");
    EXPECT_EQ(dir.names(), Sorted(expected));
    ExpectTilesOnDisk(dir, "a", {0, 800, 1600, 2000}, {0, 800, 1500});
    ExpectTilesOnDisk(dir, "d", {0, 850}, {0, 850});
}

// libxml2 must load the document: names and hrefs holding markup characters
// are escaped in tile overlays as elsewhere.
TEST(TileRun, WritesAWellFormedDocument) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "r&d <1>", 300, 250);
    RunSettings settings = TileSettings(dir, {"r&d <1>.jgw"});
    settings.title = "Roads & \"Rivers\"";
    settings.cutWidthText = "120";
    settings.cutHeightText = "120";
    for (const bool convert : {false, true}) {
        SCOPED_TRACE(convert ? "degrees" : "grid");
        settings.convertOption = convert;
        const std::string document = RunConversion(settings);
        EXPECT_EQ(LineCount(document), 6u + 4u + 13u * 4u);
        xmlDocPtr xml = xmlReadMemory(document.data(), static_cast<int>(document.size()), "tiles.kml", nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        ASSERT_NE(xml, nullptr) << document;
        const xmlNode* root = xmlDocGetRootElement(xml);
        ASSERT_NE(root, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "kml");
        // <kml><Folder> holds one tile <Folder> with four overlays.
        int overlays = 0;
        std::string firstHref;
        for (const xmlNode* outer = root->children; outer != nullptr; outer = outer->next) {
            for (const xmlNode* folder = outer->children; folder != nullptr; folder = folder->next) {
                for (const xmlNode* overlay = folder->children; overlay != nullptr; overlay = overlay->next) {
                    if (overlay->type != XML_ELEMENT_NODE ||
                        std::string(reinterpret_cast<const char*>(overlay->name)) != "GroundOverlay") {
                        continue;
                    }
                    ++overlays;
                    for (const xmlNode* icon = overlay->children; icon != nullptr; icon = icon->next) {
                        if (icon->type == XML_ELEMENT_NODE && firstHref.empty() &&
                            std::string(reinterpret_cast<const char*>(icon->name)) == "Icon") {
                            xmlChar* text = xmlNodeGetContent(icon);
                            firstHref = reinterpret_cast<const char*>(text);
                            xmlFree(text);
                        }
                    }
                }
            }
        }
        EXPECT_EQ(overlays, 4);
        EXPECT_EQ(firstHref, dir.file("r&d <1>_0_0.jpg"));
        xmlFreeDoc(xml);
    }
    EXPECT_TRUE(fs::is_regular_file(dir.file("r&d <1>_1_1.jpg")));
}

// With the convert option, each tile's own grid box is converted from its
// south-west and north-east corners.
TEST(TileRun, ConvertsEachTilesOwnBoxThroughTheCommandLine) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 700, 450);
    std::string out, err;
    ASSERT_EQ(testing::RunCli({dir.str(), "-x", "-c", "--cut-width", "300", "--cut-height", "200", "-p",
                               "http://example.org/"},
                              &out, &err),
              0)
        << err;
    // 700 = 2 x 300 + 100 (absorbed); 450 = 2 x 200 + 50 (absorbed).
    EXPECT_EQ(LineCount(out), 6u + 4u + 13u * 4u);
    const std::vector<std::string> lines = Lines(out);
    const WorldFile world{0.25L, -0.25L, 305000.125L, 2771000.875L};
    const std::vector<int> xs = Edges(700, 300, 2);
    const std::vector<int> ys = Edges(450, 200, 2);
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t c = 0; c < 2; ++c) {
            const std::string tile = "a_" + std::to_string(r) + "_" + std::to_string(c);
            SCOPED_TRACE(tile);
            GeoBox grid;
            grid.west = world.C + world.A * xs[c];
            grid.east = world.C + world.A * xs[c + 1];
            grid.north = world.F + world.E * ys[r];
            grid.south = world.F + world.E * ys[r + 1];
            const GeoBox degrees = Tm2BoxToGeographic(grid);
            EXPECT_NE(FindRun(lines, TileOverlayLines("a", tile, dir.file(tile + ".jpg"),
                                                      FormatKmlNumber(degrees.north), FormatKmlNumber(degrees.south),
                                                      FormatKmlNumber(degrees.east), FormatKmlNumber(degrees.west))),
                      std::string::npos);
        }
    }
    ExpectTilesOnDisk(dir, "a", xs, ys);
}

TEST(TileRun, ReplacesTheTilesOfAnEarlierRunAndNeverListsThemAsPhotographs) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 400, 300);
    testing::WriteBytes(dir.file("a_0_0.jpg"), std::vector<std::uint8_t>(300000, 0));
    std::string first, second, err;
    const std::vector<std::string> args = {dir.str(), "--cut", "--cut-width", "250", "--cut-height", "$FA"};
    ASSERT_EQ(testing::RunCli(args, &first, &err), 0) << err;
    ASSERT_EQ(testing::RunCli(args, &second, &err), 0) << err;
    EXPECT_EQ(first, second);
    EXPECT_EQ(LineCount(second), 6u + 4u + 13u * 2u);
    ExpectTilesOnDisk(dir, "a", {0, 250, 400}, {0, 300});
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.jgw", "a.jpg", "a_0_0.jpg", "a_0_1.jpg"}));
}

TEST(TileRun, FollowsTheGridsRulesForExtremeCutSizes) {
    struct Row {
        const char* name;
        int width, height;
        const char* cutWidth;
        const char* cutHeight;
        std::vector<int> xEdges, yEdges;  // empty: no tile
    };
    const Row rows[] = {
        {"cut size 1", 9, 7, "1", "1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"$FFFFFFFF is -1", 500, 300, "$FFFFFFFF", "800", {}, {}},
        {"negative, beyond the photograph", 500, 300, "-600", "-2147483648", {0, 500}, {0, 300}},
        {"negative, within the photograph", 500, 300, "-400", "800", {}, {}},
        {"2147483647, at most 100 pixels", 100, 300, "2147483647", "2147483647", {}, {}},
        {"2147483647", 101, 300, "2147483647", "2147483647", {0, 101}, {0, 300}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        testing::WritePhoto(dir.str(), "s", row.width, row.height);
        RunSettings settings = TileSettings(dir, {"s.jgw"});
        settings.cutWidthText = row.cutWidth;
        settings.cutHeightText = row.cutHeight;
        const std::string document = RunConversion(settings);
        const std::size_t rowsOfTiles = row.yEdges.empty() ? 0 : row.yEdges.size() - 1;
        const std::size_t columns = row.xEdges.empty() ? 0 : row.xEdges.size() - 1;
        EXPECT_EQ(LineCount(document), 6u + 4u + 13u * rowsOfTiles * columns);
        std::vector<std::string> expected = TileNames("s", rowsOfTiles, columns);
        expected.insert(expected.end(), {"s.jgw", "s.jpg"});
        EXPECT_EQ(dir.names(), Sorted(expected));
        if (!row.xEdges.empty()) {
            ExpectTilesOnDisk(dir, "s", row.xEdges, row.yEdges);
        }
    }
}

// ---- failures ----

struct FailureRow {
    const char* name;
    std::function<void(const ScratchDir&)> setUp;
    std::vector<std::string> entries;
    std::string cutWidth, cutHeight;
    bool cutOption;
    std::string message;             // "$" stands for the scratch folder
    std::vector<std::string> after;  // the folder's names after the run, inputs included
    std::function<void(const ScratchDir&)> check;  // more checks on what stayed
};

std::vector<FailureRow> FailureRows() {
    const auto onePhoto = [](const ScratchDir& d) { testing::WritePhoto(d.str(), "a", 500, 400); };
    const auto twoPhotos = [](const ScratchDir& d) {
        testing::WritePhoto(d.str(), "a", 500, 400);
        testing::WritePhoto(d.str(), "b", 500, 400);
    };
    const std::vector<std::string> aIn = {"a.jgw", "a.jpg"};
    const std::vector<std::string> abIn = {"a.jgw", "a.jpg", "b.jgw", "b.jpg"};
    const auto plus = [](std::vector<std::string> names, const std::vector<std::string>& more) {
        names.insert(names.end(), more.begin(), more.end());
        return names;
    };
    // At 200 x 200, a 500 x 400 photograph has 2 x 2 tiles.
    const auto aTilesIntact = [](const ScratchDir& d) {
        ExpectTilesOnDisk(d, "a", {0, 200, 500}, {0, 200, 400});
    };
    return {
        {"cut width 0", onePhoto, {"a.jgw"}, "0", "200", true, "Division by zero", aIn, nullptr},
        {"cut height 0", twoPhotos, {"a.jgw", "b.jgw"}, "200", "0", true, "Division by zero", abIn, nullptr},
        {"a folder in the way of the first tile",
         [=](const ScratchDir& d) {
             onePhoto(d);
             fs::create_directory(d.path() / "a_0_0.jpg");
         },
         {"a.jgw"}, "200", "200", true, "Cannot create file $/a_0_0.jpg", plus(aIn, {"a_0_0.jpg"}),
         [](const ScratchDir& d) { EXPECT_TRUE(fs::is_empty(d.path() / "a_0_0.jpg")); }},
        {"a folder in the way of a later tile",
         [=](const ScratchDir& d) {
             onePhoto(d);
             fs::create_directory(d.path() / "a_1_0.jpg");
         },
         {"a.jgw"}, "200", "200", true, "Cannot create file $/a_1_0.jpg",
         plus(aIn, {"a_0_0.jpg", "a_0_1.jpg", "a_1_0.jpg"}),
         [](const ScratchDir& d) {
             const testing::ReferenceRaster photo = testing::DecodeAsPhotograph(testing::ReadBytes(d.file("a.jpg")));
             EXPECT_EQ(testing::ReadBytes(d.file("a_0_1.jpg")), testing::ReferenceTile(photo, 200, 0, 500, 200));
         }},
        {"the second photograph's first tile",
         [=](const ScratchDir& d) {
             twoPhotos(d);
             fs::create_directory(d.path() / "b_0_0.jpg");
         },
         {"a.jgw", "b.jgw"}, "200", "200", true, "Cannot create file $/b_0_0.jpg",
         plus(abIn, {"a_0_0.jpg", "a_0_1.jpg", "a_1_0.jpg", "a_1_1.jpg", "b_0_0.jpg"}), aTilesIntact},
        {"the second photograph missing", onePhoto, {"a.jgw", "b.jgw"}, "200", "200", true,
         "Cannot open file $/b.jgw", plus(aIn, {"a_0_0.jpg", "a_0_1.jpg", "a_1_0.jpg", "a_1_1.jpg"}), aTilesIntact},
        {"the second photograph damaged",
         [=](const ScratchDir& d) {
             onePhoto(d);
             testing::WritePhoto(d.str(), "b", 500, 400);
             // The header is good; the data breaks off into a second frame
             // header, which the decoder refuses halfway down (two SOF
             // markers).
             auto bytes = testing::ReadBytes(d.file("b.jpg"));
             bytes.resize(bytes.size() / 2);
             bytes.insert(bytes.end(), {0xFF, 0xC0, 0x00, 0x02, 0xFF, 0xD9});
             testing::WriteBytes(d.file("b.jpg"), bytes);
         },
         {"a.jgw", "b.jgw"}, "200", "200", true, "JPEG error #57",
         plus(abIn, {"a_0_0.jpg", "a_0_1.jpg", "a_1_0.jpg", "a_1_1.jpg"}), aTilesIntact},
        {"an empty photograph before a zero cut size",
         [](const ScratchDir& d) {
             testing::WriteText(d.file("a.jgw"), "1 0 0 -1 0 0");
             testing::WriteText(d.file("a.jpg"), "");
         },
         {"a.jgw"}, "0", "0", true, "JPEG error #41", {"a.jgw", "a.jpg"}, nullptr},
        {"'abc' with the cut option off", onePhoto, {"a.jgw"}, "abc", "200", false,
         "'abc' is not a valid integer value", aIn, nullptr},
        {"'abc' with the cut option on", onePhoto, {"a.jgw"}, "abc", "200", true,
         "'abc' is not a valid integer value", aIn, nullptr},
        {"the height is named first", onePhoto, {"a.jgw"}, "abc", "12a", true, "'12a' is not a valid integer value",
         aIn, nullptr},
    };
}

std::string InFolder(std::string message, const ScratchDir& dir) {
    if (const auto at = message.find('$'); at != std::string::npos) {
        message.replace(at, 1, dir.str());
    }
    return message;
}

// Every failure ends the run with its message; tile files written before it
// stay, nothing after it is written, and no temporary file is left over.
TEST(TileRun, EndsAtTheFirstFailureKeepingTheTilesWrittenBeforeIt) {
    // On the caller's thread and with workers alike.
    for (const int jobs : {1, 2}) {
        for (const FailureRow& row : FailureRows()) {
            SCOPED_TRACE(std::string(row.name) + ", jobs " + std::to_string(jobs));
            ScratchDir dir;
            row.setUp(dir);
            RunSettings settings = TileSettings(dir, row.entries);
            settings.cutWidthText = row.cutWidth;
            settings.cutHeightText = row.cutHeight;
            settings.cutOption = row.cutOption;
            settings.jobs = jobs;
            try {
                RunConversion(settings);
                ADD_FAILURE() << "the run completed";
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), InFolder(row.message, dir));
            }
            EXPECT_EQ(dir.names(), Sorted(row.after));
            if (row.check) {
                row.check(dir);
            }
        }
    }
}

TEST(TileRun, ReportsTheFailuresThroughTheCommandLine) {
    for (const FailureRow& row : FailureRows()) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        row.setUp(dir);
        std::vector<std::string> args = {dir.str()};
        args.insert(args.end(), row.entries.begin(), row.entries.end());
        args.insert(args.end(), {"--cut-width", row.cutWidth, "--cut-height", row.cutHeight});
        if (row.cutOption) {
            args.push_back("-x");
        }
        std::string out, err;
        EXPECT_EQ(testing::RunCli(args, &out, &err), 1);
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(err, InFolder(row.message, dir) + ".\n");
        EXPECT_EQ(dir.names(), Sorted(row.after));
        if (row.check) {
            row.check(dir);
        }
    }
}

// A tile whose bytes cannot all be written ends the run; the tiles before it
// stay whole and the failed one leaves nothing behind.
TEST(TileRun, ReportsAShortWriteOfATile) {
    ScratchDir dir;
    // Tile 0_0 is flat and encodes small; tile 0_1 is noise and does not.
    std::vector<std::uint8_t> pixels(400u * 200u * 3u, 128);
    std::uint32_t seed = 12345;
    for (std::size_t y = 0; y < 200; ++y) {
        for (std::size_t x = 200; x < 400; ++x) {
            for (std::size_t k = 0; k < 3; ++k) {
                seed = seed * 1103515245u + 12345u;
                pixels[(y * 400 + x) * 3 + k] = static_cast<std::uint8_t>(seed >> 24);
            }
        }
    }
    testing::WriteBytes(dir.file("a.jpg"), testing::EncodeFixtureJpeg(pixels, 400, 200, JpegKind::Baseline));
    testing::WriteText(dir.file("a.jgw"), "0.25\n0\n0\n-0.25\n305000.125\n2771000.875\n");
    RunSettings settings = TileSettings(dir, {"a.jgw"});
    settings.cutWidthText = "200";
    settings.cutHeightText = "200";
    {
        const testing::FileSizeLimit limit(8000);
        try {
            RunConversion(settings);
            ADD_FAILURE() << "the run completed";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Stream write error");
        }
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.jgw", "a.jpg", "a_0_0.jpg"}));
    const testing::ReferenceRaster photo = testing::DecodeAsPhotograph(testing::ReadBytes(dir.file("a.jpg")));
    EXPECT_EQ(testing::ReadBytes(dir.file("a_0_0.jpg")), testing::ReferenceTile(photo, 0, 0, 200, 200));
    EXPECT_GT(testing::ReferenceTile(photo, 200, 0, 400, 200).size(), 8000u);
}

// A folder the user may not write into: the tile file cannot even be
// created. Tests run as root, for whom no folder is read-only, so the
// command-line program runs as an unprivileged user here.
TEST(TileRun, StopsAtTheFirstTileOfAReadOnlyFolder) {
    const bool root = ::geteuid() == 0;
    if (root && ::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "no setpriv to drop root's rights";
    }
    ScratchDir tools;  // a copy of the program that any user may run
    const std::string cli = tools.file("ortholay-cli");
    fs::copy_file(ORTHOLAY_CLI, cli);
    fs::permissions(tools.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(cli, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 500, 400);
    fs::create_directory(dir.path() / "ro");
    testing::WritePhoto(dir.file("ro"), "b", 500, 400);
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    for (const char* name : {"a.jgw", "a.jpg", "ro/b.jgw", "ro/b.jpg"}) {
        fs::permissions(dir.path() / name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                               fs::perms::others_read);
    }
    const std::string command = std::string(root ? "setpriv --reuid=65534 --regid=65534 --clear-groups -- " : "") +
                                "'" + cli + "' '" + dir.str() + "' a.jgw ro/b.jgw -x --cut-width 200 --cut-height 200 > '" +
                                tools.file("out") + "' 2> '" + tools.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    fs::permissions(dir.path() / "ro", fs::perms::owner_all, fs::perm_options::add);  // for the clean-up
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(testing::ReadText(tools.file("out")), "");
    EXPECT_EQ(testing::ReadText(tools.file("err")), "Cannot create file " + dir.file("ro/b_0_0.jpg") + ".\n");
    // The first photograph's tiles stay; the read-only folder gained nothing,
    // no temporary file either.
    std::vector<std::string> expected = TileNames("a", 2, 2);
    expected.insert(expected.end(), {"a.jgw", "a.jpg", "ro"});
    EXPECT_EQ(dir.names(), Sorted(expected));
    std::vector<std::string> readOnly;
    for (const auto& entry : fs::directory_iterator(dir.path() / "ro")) {
        readOnly.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(Sorted(readOnly), (std::vector<std::string>{"b.jgw", "b.jpg"}));
    ExpectTilesOnDisk(dir, "a", {0, 200, 500}, {0, 200, 400});
}

TEST(TileRun, DividesByNothingWithoutTheCutOption) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 500, 400);
    RunSettings settings = TileSettings(dir, {"a.jgw"});
    settings.cutOption = false;
    settings.cutWidthText = "0";
    settings.cutHeightText = "0";
    EXPECT_EQ(LineCount(RunConversion(settings)), 6u + 13u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.jgw", "a.jpg"}));
}

}  // namespace
}  // namespace ortholay
