/*******************************************************************************************
*  placement_test.cpp — the placement file and its fallbacks, zoom steps
*******************************************************************************************/
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/shell.h"

namespace vlr {
namespace {

TEST(PlacementFileTest, WrittenReadAndEveryOddFileIgnored) {
    SavedPlacement p;
    p.x = -1900;
    p.y = 40;
    p.width = 1500;
    p.height = 800;
    p.maximized = true;
    p.scale = 1.5f;
    p.zoom = 1.25f;
    const std::string folder = platform::tempFolder() + "vlr-placement-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    ASSERT_TRUE(platform::makeFolders(folder));
    const std::string path = folder + platform::pathSeparator() + "window-placement.json";
    ASSERT_TRUE(platform::writeFileAtomically(path, placementText(p)));
    ASSERT_TRUE(platform::writeFileAtomically(path, placementText(p)));  // over an existing one
    const std::optional<SavedPlacement> read = loadPlacement(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->x, -1900);
    EXPECT_EQ(read->width, 1500);
    EXPECT_TRUE(read->maximized);
    EXPECT_FLOAT_EQ(read->scale, 1.5f);
    EXPECT_FLOAT_EQ(read->zoom, 1.25f);

    // Broken, foreign, half-written or impossible: as if there were no file.
    const std::string good = placementText(p);
    for (const std::string& odd : std::vector<std::string>{
             "", "{", good.substr(0, good.size() / 2), "[1, 2]", "{\"x\": 1, \"y\": 2, \"width\": 900, \"height\": 600}",
             "{\"velocrash-window\": 2, \"x\": 0, \"y\": 0, \"width\": 900, \"height\": 600, \"maximized\": false, "
             "\"scale\": 1, \"zoom\": 1}",
             "{\"velocrash-window\": 1, \"x\": 0, \"y\": 0, \"width\": 5, \"height\": 600, \"maximized\": false, "
             "\"scale\": 1, \"zoom\": 1}",
             "{\"velocrash-window\": 1, \"x\": 0.5, \"y\": 0, \"width\": 900, \"height\": 600, \"maximized\": false, "
             "\"scale\": 1, \"zoom\": 1}",
             "{\"velocrash-window\": 1, \"x\": 0, \"y\": 0, \"width\": 900, \"height\": 600, \"maximized\": \"no\", "
             "\"scale\": 1, \"zoom\": 1}",
             "{\"velocrash-window\": 1, \"x\": 0, \"y\": 0, \"width\": 900, \"height\": 600, \"maximized\": false, "
             "\"scale\": 1, \"zoom\": 7}"})
        EXPECT_FALSE(parsePlacement(odd).has_value()) << odd;
    EXPECT_FALSE(loadPlacement(folder + platform::pathSeparator() + "missing.json").has_value());
    EXPECT_FALSE(loadPlacement("").has_value());
    platform::removeTree(folder);

    // Restored only on a connected monitor of the scale it was saved at.
    const std::vector<MonitorArea> monitors{{-1920, 0, 1920, 1080, 1.5f}, {0, 0, 2560, 1440, 1}};
    EXPECT_TRUE(placementFits(p, monitors));
    p.scale = 1;
    EXPECT_FALSE(placementFits(p, monitors));    // that monitor's scale changed
    p.x = 3000;
    EXPECT_FALSE(placementFits(p, monitors));    // nothing there any more
    p.x = 100;
    EXPECT_TRUE(placementFits(p, monitors));
    EXPECT_FALSE(placementFits(p, {}));
}

// What others may put under our names in the portable folder: a link to an endless device
// must not be read to the end, and a link planted where the old writer put its temporary file
// (name + ".tmp" + process id) must not carry our bytes to its target.
TEST(PlacementFileTest, PlantedLinksAreNeitherReadNorWrittenThrough) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(platform::tempFolder()) / ("vlr-planted-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(folder);
    const fs::path placement = folder / "window-placement.json", victim = folder / "victim.txt";
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self", error);  // this process's id, where the system tells
    if (!error) fs::create_symlink("/dev/zero", placement, error);
    if (error) {
        fs::remove_all(folder);
        GTEST_SKIP() << "no links or no /proc here";
    }
    EXPECT_FALSE(loadPlacement(placement.string()).has_value());

    { std::ofstream(victim) << "the user's own"; }
    fs::remove(placement);
    fs::create_symlink(victim, folder / ("window-placement.json.tmp" + self.string()));
    ASSERT_TRUE(platform::writeFileAtomically(placement.string(), placementText(SavedPlacement{})));
    std::ifstream read(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(read), {}), "the user's own");
    EXPECT_FALSE(fs::is_symlink(placement));

    // Too long to be ours, whatever it holds.
    { std::ofstream(placement) << placementText(SavedPlacement{}) << std::string(5000, ' '); }
    EXPECT_FALSE(loadPlacement(placement.string()).has_value());
    fs::remove_all(folder);
}

TEST(ZoomTest, StepsFromEightyToTwoHundredPercent) {
    EXPECT_FLOAT_EQ(zoomStep(1, 1), 1.1f);
    EXPECT_FLOAT_EQ(zoomStep(1, -1), 0.9f);
    EXPECT_FLOAT_EQ(zoomStep(2, 1), 2);
    EXPECT_FLOAT_EQ(zoomStep(0.8f, -1), 0.8f);
    EXPECT_FLOAT_EQ(zoomStep(1.3f, 1), 1.5f);  // between steps: the next one that way
    EXPECT_FLOAT_EQ(zoomStep(1.3f, -1), 1.25f);
}

}  // namespace
}  // namespace vlr
