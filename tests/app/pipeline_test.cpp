// The run gives the same document, the same files and the same failure
// whatever the number of threads it works on.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/conversion_run.h"
#include "common/error.h"
#include "test_support.h"

namespace ortholay {
namespace {

namespace fs = std::filesystem;
using testing::JpegKind;
using testing::ScratchDir;

std::map<std::string, std::vector<std::uint8_t>> TileFiles(const ScratchDir& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.find('_') != std::string::npos) {
            files[name] = testing::ReadBytes(entry.path().string());
        }
    }
    return files;
}

struct Outcome {
    std::string document;
    std::string failure;
    std::vector<int> progress;
    std::map<std::string, std::vector<std::uint8_t>> tiles;
};

Outcome RunWithJobs(const ScratchDir& dir, RunSettings settings, int jobs) {
    for (const auto& [name, bytes] : TileFiles(dir)) {
        fs::remove(dir.path() / name);
    }
    settings.folder = dir.str();
    settings.jobs = jobs;
    Outcome outcome;
    RunObserver observer;
    observer.progress = [&](int p) { outcome.progress.push_back(p); };
    try {
        outcome.document = RunConversion(settings, observer);
    } catch (const Error& e) {
        outcome.failure = e.what();
    }
    outcome.tiles = TileFiles(dir);
    return outcome;
}

void ExpectSameForAllJobCounts(const ScratchDir& dir, const RunSettings& settings) {
    const Outcome sequential = RunWithJobs(dir, settings, 1);
    for (const int jobs : {2, 3, 8}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        const Outcome parallel = RunWithJobs(dir, settings, jobs);
        EXPECT_EQ(parallel.failure, sequential.failure);
        EXPECT_EQ(parallel.document, sequential.document);
        EXPECT_EQ(parallel.progress, sequential.progress);
        EXPECT_EQ(parallel.tiles.size(), sequential.tiles.size());
        EXPECT_TRUE(parallel.tiles == sequential.tiles);
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".part") << "a temporary file was left: " << entry.path();
    }
}

class PipelineTest : public ::testing::TestWithParam<bool> {};

TEST_P(PipelineTest, GivesTheSameResultsOnAnyNumberOfThreads) {
    const bool cut = GetParam();
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 1700, 950, JpegKind::Baseline);
    testing::WritePhoto(dir.str(), "b", 900, 1650, JpegKind::Progressive);
    testing::WritePhoto(dir.str(), "c", 1000, 850, JpegKind::Grayscale);
    testing::WritePhoto(dir.str(), "d", 300, 200, JpegKind::Baseline);
    RunSettings settings;
    settings.title = "t";
    settings.hrefPrefix = "http://x/";
    settings.cutOption = cut;
    settings.cutWidthText = "400";
    settings.cutHeightText = "300";
    settings.entries = {{"a.jgw", true}, {"b.jgw", true}, {"x.jgw", false}, {"c.jgw", true}, {"d.jgw", true}};
    ExpectSameForAllJobCounts(dir, settings);
    const Outcome outcome = RunWithJobs(dir, settings, 0);
    EXPECT_TRUE(outcome.failure.empty()) << outcome.failure;
    EXPECT_EQ(outcome.tiles.empty(), !cut);
}

TEST_P(PipelineTest, ReportsTheFirstFailureInListOrder) {
    const bool cut = GetParam();
    ScratchDir dir;
    testing::WritePhoto(dir.str(), "a", 900, 700, JpegKind::Baseline);
    testing::WritePhoto(dir.str(), "b", 900, 700, JpegKind::Progressive);
    // c: damaged after a valid header; d: missing altogether; e: good.
    const auto good = testing::EncodeFixtureJpeg(testing::TestPattern(900, 700), 900, 700, JpegKind::Baseline);
    std::vector<std::uint8_t> damaged(good.begin(), good.end() - 2);
    damaged.insert(damaged.end(), {0xFF, 0xC0, 0x00, 0x02, 0xFF, 0xD9});
    testing::WriteBytes(dir.file("c.jpg"), damaged);
    testing::WriteText(dir.file("c.jgw"), "1 0 0 -1 0 0");
    testing::WritePhoto(dir.str(), "e", 900, 700, JpegKind::Baseline);
    RunSettings settings;
    settings.cutOption = cut;
    settings.cutWidthText = "300";
    settings.cutHeightText = "300";
    settings.entries = {{"a.jgw", true}, {"b.jgw", true}, {"c.jgw", true}, {"d.jgw", true}, {"e.jgw", true}};
    ExpectSameForAllJobCounts(dir, settings);
    const Outcome outcome = RunWithJobs(dir, settings, 0);
    EXPECT_EQ(outcome.failure.rfind("JPEG error #", 0), 0u) << outcome.failure;
    EXPECT_EQ(outcome.progress, (std::vector<int>{0, 20, 40}));
    EXPECT_TRUE(outcome.document.empty());
    if (cut) {
        // a and b's tiles stay; nothing of c, d or e is on disk.
        for (const auto& [name, bytes] : outcome.tiles) {
            EXPECT_TRUE(name[0] == 'a' || name[0] == 'b') << name;
        }
        EXPECT_EQ(outcome.tiles.size(), 2u * 3u * 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PipelineTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tiles" : "WholeImage"; });

TEST(Pipeline, LeavesNoTileOfAPhotographThatFailsToDecodeLate) {
    // The damage sits after the last scan, so tiles of every band could be
    // made before the decode fails; none may stay.
    ScratchDir dir;
    const auto good = testing::EncodeFixtureJpeg(testing::TestPattern(1300, 1300), 1300, 1300, JpegKind::Baseline);
    std::vector<std::uint8_t> damaged(good.begin(), good.end() - 2);
    damaged.insert(damaged.end(), {0xFF, 0xC0, 0x00, 0x02, 0xFF, 0xD9});
    testing::WriteBytes(dir.file("a.jpg"), damaged);
    testing::WriteText(dir.file("a.jgw"), "1 0 0 -1 0 0");
    RunSettings settings;
    settings.cutOption = true;
    settings.cutWidthText = "200";
    settings.cutHeightText = "200";
    settings.entries = {{"a.jgw", true}};
    for (const int jobs : {1, 2}) {
        const Outcome outcome = RunWithJobs(dir, settings, jobs);
        EXPECT_EQ(outcome.failure.rfind("JPEG error #", 0), 0u) << outcome.failure;
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.jgw", "a.jpg"}));
    }
}

}  // namespace
}  // namespace ortholay
