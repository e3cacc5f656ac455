#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/conversion_run.h"
#include "app/folder_listing.h"
#include "common/error.h"
#include "test_support.h"

namespace ortholay {
namespace {

namespace fs = std::filesystem;
using testing::JpegKind;
using testing::ScratchDir;

TEST(ParseCutSize, FollowsTheIntegerRule) {
    struct Row {
        const char* text;
        bool valid;
        std::int32_t value;
    };
    const Row rows[] = {
        {"800", true, 800},         {" 800", true, 800},       {"   800", true, 800},
        {"+800", true, 800},        {"$320", true, 800},       {"0x320", true, 800},
        {"0X320", true, 800},       {"x320", true, 800},       {"X320", true, 800},
        {"$ffffffff", true, -1},    {"$FFFFFFFF", true, -1},   {"$80000000", true, INT32_MIN},
        {"0", true, 0},             {"-1", true, -1},          {"-0", true, 0},
        {"2147483647", true, INT32_MAX}, {"-2147483648", true, INT32_MIN},
        {"00000000800", true, 800}, {"$000000001", true, 1},
        {"800 ", false, 0},         {"8 00", false, 0},        {"", false, 0},
        {" ", false, 0},            {"+", false, 0},           {"-", false, 0},
        {"$", false, 0},            {"0x", false, 0},          {"abc", false, 0},
        {"12a", false, 0},          {"2147483648", false, 0},  {"-2147483649", false, 0},
        {"$100000000", false, 0},   {"-$10", false, 0},        {"+0x10", false, 0},
        {"\t800", false, 0},        {"8.0", false, 0},         {"$fg", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("'") + row.text + "'");
        if (row.valid) {
            EXPECT_EQ(ParseCutSize(row.text), row.value);
        } else {
            try {
                ParseCutSize(row.text);
                ADD_FAILURE() << "accepted";
            } catch (const InvalidIntegerError& e) {
                EXPECT_EQ(e.what(), std::string("'") + row.text + "' is not a valid integer value");
            }
        }
    }
}

std::vector<int> ProgressOf(RunSettings settings) {
    std::vector<int> positions;
    RunObserver observer;
    observer.progress = [&](int p) { positions.push_back(p); };
    RunConversion(settings, observer);
    return positions;
}

TEST(RunConversion, MovesTheProgressAfterEveryEntryTickedOrNot) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 32, 24);
    RunSettings settings;
    settings.folder = dir.str();
    EXPECT_EQ(ProgressOf(settings), (std::vector<int>{0, 100}));
    settings.entries = {{"a.jgw", false}, {"b.jgw", false}, {"c.jgw", false}};
    EXPECT_EQ(ProgressOf(settings), (std::vector<int>{0, 33, 66, 100, 100}));
    settings.entries.assign(7, RunEntry{"a.jgw", true});
    EXPECT_EQ(ProgressOf(settings), (std::vector<int>{0, 14, 28, 42, 57, 71, 85, 100, 100}));
}

TEST(RunConversion, ParsesCutSizesForEveryTickedEntryOnly) {
    RunSettings settings;
    settings.folder = "/nonexistent";
    settings.cutWidthText = "abc";
    settings.entries = {{"a.jgw", false}};
    EXPECT_NO_THROW(RunConversion(settings));  // nothing ticked: never parsed
    settings.entries = {{"a.jgw", true}};
    try {
        RunConversion(settings);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");  // before the missing world file
    }
    settings.cutHeightText = "12a";
    try {
        RunConversion(settings);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");  // the height is named first
    }
}

TEST(RunConversion, StopsAtTheFailingEntryWithTheProgressOfTheLastDoneOne) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 32, 24);
    testing::WriteText(dir.file("b.jgw"), "1 0 0 -1 0 0");
    testing::WriteText(dir.file("b.jpg"), "garbage that is no JPEG");
    RunSettings settings;
    settings.folder = dir.str();
    settings.entries = {{"a.jgw", true}, {"b.jgw", true}};
    std::vector<int> positions;
    RunObserver observer;
    observer.progress = [&](int p) { positions.push_back(p); };
    EXPECT_THROW(RunConversion(settings, observer), JpegError);
    EXPECT_EQ(positions, (std::vector<int>{0, 50}));
}

TEST(RunConversion, DecodesEveryTickedPhotographEvenWithoutTiles) {
    ScratchDir dir;
    const auto good = testing::EncodeFixtureJpeg(testing::TestPattern(64, 64), 64, 64, JpegKind::Baseline);
    // A valid header followed by a marker the decoder rejects mid-stream.
    std::vector<std::uint8_t> damaged(good.begin(), good.end() - 2);
    damaged.insert(damaged.end(), {0xFF, 0xC0, 0x00, 0x02, 0xFF, 0xD9});
    testing::WriteBytes(dir.file("a.jpg"), damaged);
    testing::WriteText(dir.file("a.jgw"), "1 0 0 -1 0 0");
    RunSettings settings;
    settings.folder = dir.str();
    settings.entries = {{"a.jgw", true}};
    EXPECT_THROW(RunConversion(settings), JpegError);
}

TEST(ListWorldFiles, MatchesWithoutRegardToCaseFilesAndFoldersAlike) {
    ScratchDir dir;
    testing::WriteText(dir.file("b.jgw"), "");
    testing::WriteText(dir.file("A.JGW"), "");
    testing::WriteText(dir.file("c.Jgw"), "");
    testing::WriteText(dir.file(".hidden.jgw"), "");
    testing::WriteText(dir.file("a.jpg"), "");
    testing::WriteText(dir.file("x.jgw.txt"), "");
    fs::create_directory(dir.path() / "old.jgw");
    fs::create_directory(dir.path() / "sub");
    testing::WriteText(dir.file("sub/d.jgw"), "");
    EXPECT_EQ(ListWorldFiles(dir.str()),
              (std::vector<std::string>{".hidden.jgw", "A.JGW", "b.jgw", "c.Jgw", "old.jgw"}));
    EXPECT_TRUE(ListWorldFiles(dir.file("missing")).empty());
    EXPECT_TRUE(ListWorldFiles("").empty());
    EXPECT_EQ(HrefPrefixForFolder("/photos/2003"), "/photos/2003/");
    EXPECT_EQ(HrefPrefixForFolder("/"), "/");
}

// ---- through the command-line program ----

TEST(Cli, WritesTheTwoPhotographExampleByteForByte) {
    ScratchDir dir;
    const auto jpeg = testing::EncodeFixtureJpeg(testing::TestPattern(4000, 3000), 4000, 3000,
                                                 JpegKind::Baseline, 50);
    testing::WriteBytes(dir.file("a01.jpg"), jpeg);
    testing::WriteBytes(dir.file("a02.jpg"), jpeg);
    testing::WriteText(dir.file("a01.jgw"), "0.25\r\n0\r\n0\r\n-0.25\r\n305000.125\r\n2771000.875\r\n");
    testing::WriteText(dir.file("a02.jgw"), "0.25\r\n0\r\n0\r\n-0.25\r\n306000.125\r\n2771000.875\r\n");
    std::string out, err;
    ASSERT_EQ(testing::RunCli({dir.str(), "-p", "D:\\aerial\\"}, &out, &err), 0) << err;
    std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
        "<Folder>\r\n"
        "<name>92年台北東區航照</name>\r\n";
    for (const char* photo : {"a01", "a02"}) {
        const bool first = std::string(photo) == "a01";
        expected += std::string("  <GroundOverlay>\r\n") +
                    "    <name>" + photo + "</name>\r\n"
                    "    <visibility>0</visibility>\r\n"
                    "    <description>" + photo + "</description>\r\n"
                    "    <Icon><href>D:\\aerial\\" + photo + ".jpg</href></Icon>\r\n"
                    "    <LatLonBox id=\"" + photo + "\">\r\n"
                    "      <north>2771000.875</north>\r\n"
                    "      <south>2770250.875</south>\r\n"
                    "      <east>" + (first ? "306000.125" : "307000.125") + "</east>\r\n"
                    "      <west>" + (first ? "305000.125" : "306000.125") + "</west>\r\n"
                    "      <rotation>0</rotation>\r\n"
                    "    </LatLonBox>\r\n"
                    "  </GroundOverlay>\r\n";
    }
    expected += "</Folder>\r\n</kml>\r\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 32);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a01.jgw", "a01.jpg", "a02.jgw", "a02.jpg"}));
}

TEST(Cli, ReportsEachFailureWithThePeriodRuleAndWritesNoOutput) {
    struct Row {
        const char* name;
        std::function<void(const ScratchDir&)> setUp;
        std::vector<std::string> extraArgs;
        std::string message;  // "$" stands for the scratch folder
    };
    const std::vector<Row> rows = {
        {"bad cut width", [](const ScratchDir& d) { testing::WritePhoto(d.str(), "a", 32, 24); },
         {"--cut-width", "abc"}, "'abc' is not a valid integer value."},
        {"missing world file", [](const ScratchDir&) {}, {}, "Cannot open file $/a.jgw."},
        {"missing photograph", [](const ScratchDir& d) { testing::WriteText(d.file("a.jgw"), "x"); },
         {}, "Cannot open file $/a.jpg."},
        {"bad number after a good photograph",
         [](const ScratchDir& d) { testing::WritePhoto(d.str(), "a", 32, 24, JpegKind::Baseline, "1 0 0 -1 1e5000 2"); },
         {}, "'1e5000' is not a valid floating point value."},
        {"too few items",
         [](const ScratchDir& d) { testing::WritePhoto(d.str(), "a", 32, 24, JpegKind::Baseline, "1 0 0 -1"); },
         {}, "List index out of bounds (4)"},
        {"empty photograph",
         [](const ScratchDir& d) {
             testing::WriteText(d.file("a.jgw"), "1 0 0 -1 0 0");
             testing::WriteText(d.file("a.jpg"), "");
         },
         {}, "JPEG error #41."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        row.setUp(dir);
        ScratchDir outDir;
        const std::string output = outDir.file("out.kml");
        std::vector<std::string> args = {dir.str(), "a.jgw", "-o", output};
        args.insert(args.end(), row.extraArgs.begin(), row.extraArgs.end());
        std::string out, err;
        EXPECT_EQ(testing::RunCli(args, &out, &err), 1);
        std::string message = row.message;
        if (const auto at = message.find('$'); at != std::string::npos) {
            message.replace(at, 1, dir.str());
        }
        EXPECT_EQ(err, message + "\n");
        EXPECT_FALSE(fs::exists(output));
        EXPECT_TRUE(out.empty());
    }
}

TEST(Cli, KeepsAnExistingOutputOnFailureAndReplacesItOnSuccess) {
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 32, 24);
    const std::string output = dir.file("doc.kml");
    testing::WriteText(output, "previous");
    std::string out, err;
    EXPECT_EQ(testing::RunCli({dir.str(), "a.jgw", "missing.jgw", "-o", output}, &out, &err), 1);
    EXPECT_EQ(testing::ReadText(output), "previous");
    EXPECT_EQ(testing::RunCli({dir.str(), "-o", output, "-t", "Roads & <Rivers>"}, &out, &err), 0) << err;
    const std::string doc = testing::ReadText(output);
    EXPECT_NE(doc.find("<name>Roads &amp; &lt;Rivers&gt;</name>\r\n"), std::string::npos);
    EXPECT_NE(doc.find("<href>" + dir.str() + "/a.jpg</href>"), std::string::npos);
}

TEST(Cli, RejectsBadUsageWithStatusTwo) {
    std::string out, err;
    EXPECT_EQ(testing::RunCli({}, &out, &err), 2);
    EXPECT_NE(err.find("--help"), std::string::npos);
    EXPECT_EQ(testing::RunCli({"/tmp", "--no-such-option"}, &out, &err), 2);
    EXPECT_EQ(testing::RunCli({"--help"}, &out, &err), 0);
    EXPECT_NE(out.find("--cut-width"), std::string::npos);
}

}  // namespace
}  // namespace ortholay
