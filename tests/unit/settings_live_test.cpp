/*******************************************************************************************
*  settings_live_test.cpp — saves through saveSetting against the demo launcher
*
*  Nothing lost, nothing reordered: a burst of saves made faster than the launcher answers
*  reaches it one by one, in the order they were made, and the last one is what its settings
*  file holds. A refused save keeps the user's value and shows the launcher's error.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"
#include "demo_peer.h"
#include "link/command_list.h"
#include "link/commands.h"
#include "link/state.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "settings/settings_model.h"
#include "shell/shell.h"
#include "window_test.h"

namespace vlr {
namespace {

class SettingsLiveTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        connectStateModel();  // notices reach the UI state
    }
    // The launcher's list, as the window takes it from the first state document.
    static bool loadState() {
        bool applied = false;
        requestState([&applied](const Json&) { applied = true; });
        return test::runFrames([&applied] { return applied; }) && !windowState().settings.empty();
    }
};

std::string settingsFileValue(const test::DemoPeer& peer, const std::string& key) {
    std::string text;
    const std::string sep(1, platform::pathSeparator());
    if (!platform::readFile(peer.workDir + sep + "work" + sep + "settings.ini", text))
        return "(no settings file)";
    const std::string prefix = "\n" + key + " = ";
    const std::size_t at = text.find(prefix);
    if (at == std::string::npos)
        return "(no " + key + ")";
    const std::size_t start = at + prefix.size();
    return text.substr(start, text.find('\n', start) - start);
}

TEST_F(SettingsLiveTest, ABurstOfSavesArrivesCompleteAndInOrder) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    ASSERT_TRUE(test::useRunnerWith(peer));
    ASSERT_TRUE(loadState());

    constexpr int kSaves = 1000;
    std::vector<std::string> expected;
    for (int i = 0; i < kSaves; ++i) {
        // Two settings in turn, and texts that need quoting and are not ASCII.
        const bool name = i % 2 == 0;
        const std::string key = name ? "player_name" : "master_volume";
        const std::string value = name ? "Plüyer \"" + std::to_string(i) + "\" \\ €" : std::to_string(i % 101);
        saveSetting(key, value, i % 10 == 9);
        expected.push_back(settingsBody(key, value));
    }
    const std::int64_t stampBefore = windowState().settingsStamp;
    ASSERT_TRUE(test::runFrames(
        [&] { return windowState().settingsStamp >= stampBefore + kSaves; }, std::chrono::seconds(240)));

    std::vector<std::string> received;
    for (const Json& entry : peer.logEntries()) {
        if (asText(get(entry, "action")) == "settings")
            received.push_back(asText(get(entry, "body")));
    }
    ASSERT_EQ(received.size(), expected.size());
    for (int i = 0; i < kSaves; ++i)
        ASSERT_EQ(received[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)]) << "save " << i;
    EXPECT_EQ(settingsFileValue(peer, "player_name"), "Plüyer \"998\" \\ €");
    EXPECT_EQ(settingsFileValue(peer, "master_volume"), std::to_string(999 % 101));
    EXPECT_EQ(*settingValue("player_name"), "Plüyer \"998\" \\ €");

    // A refused save: the notice tells why; the user's value and the stamp stay.
    ASSERT_TRUE(test::runFrames([] { return true; }));
    bool armed = false;
    api("test-fail-next", "{\"action\": \"settings\", \"error\": \"The settings file is locked.\"}",
        [&armed](const Json&) { armed = true; });
    const std::int64_t stamp = windowState().settingsStamp;
    saveSetting("player_name", "Refused", false);
    ASSERT_TRUE(test::runFrames([] { return !uiState().notice.text.empty(); }));
    EXPECT_TRUE(armed);
    EXPECT_EQ(uiState().notice.text, "The settings file is locked.");
    EXPECT_EQ(*settingValue("player_name"), "Refused");
    EXPECT_EQ(windowState().settingsStamp, stamp);
    EXPECT_EQ(settingsFileValue(peer, "player_name"), "Plüyer \"998\" \\ €");
}

}  // namespace
}  // namespace vlr
