/*******************************************************************************************
*  access_test.cpp — the tree a screen reader reads, built from the Settings and Play pages'
*  own frames, and a reader's requests doing what the user's clicks and keys do
*
*  Frames are run as the window runs them (tree begun, moves, requests, the page, the focus
*  settled, the tree finished) with a reader listening or not. Commands go to the test's own
*  Link, where their bodies are read back.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link/command_list.h"
#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/pages.h"
#include "pages/play.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "ui/access_tree.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "window_test.h"

namespace vlr {
namespace {

using platform::AccessNode;
using platform::AccessRequest;
using platform::AccessRole;

constexpr const char* kTable = R"({"steps": {}, "table": {
    "columns": [[{"title": "Display", "rows": [
                    {"key": "vsync", "label": "Vsync"},
                    {"key": "mode", "label": "Mode", "choice": ["windowed", "borderless"]},
                    {"key": "volume", "label": "Volume", "range": [0, 100], "unit": "%"}]}],
                [{"title": "Game", "rows": [{"key": "name", "label": "Name", "text": true},
                                            {"key": "w", "label": "Size", "number": [1, 99], "and": "h"}]}]],
    "buttons": [["CROSS", "Cross", "Jump"]]}})";

class AccessTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setTheLink(&link_);
        connectStateModel();
        inputCalls().screenWidth = [] { return 1600; };
        windowState().settings = {{"vsync", "true"}, {"mode", "windowed"}, {"volume", "40"}, {"name", "Ann"},
                                  {"w", "10"}, {"h", "20"}, {"key_CROSS", "SPACE"}};
    }

    // A frame of a page as the window draws it, and those it asks for after it (requests left
    // waiting); the tree the last one built.
    const std::vector<AccessNode>& frame(const char* page, float (*draw)(const PageArea&),
                                         std::vector<AccessRequest> requests = {}) {
        UiState& ui = uiState();
        do {
            ui.frameAgain = false;
            beginAccessFrame(ui, listening);
            navigate(ui);
            applyAccessRequests(ui, std::move(requests));
            requests.clear();
            {
                const FocusScope scope(page);
                const ServedControls served;
                ui.focus.inPage = true;
                draw({0, 0, 1000, 0, {}});
                ui.focus.inPage = false;
            }
            settleFocus(ui);
            finishAccessFrame(ui, "Velocrash Rebuilt");
        } while (ui.frameAgain);
        return ui.access.tree.nodes;
    }
    const std::vector<AccessNode>& settings(std::vector<AccessRequest> requests = {}) {
        windowState().state = parseJson(kTable);
        return frame("Settings", settingsPage, std::move(requests));
    }

    static const AccessNode* node(AccessRole role, std::string_view name) {
        for (const AccessNode& n : uiState().access.tree.nodes)
            if (n.role == role && n.name == name) return &n;
        return nullptr;
    }
    std::vector<std::string> sent() {
        std::vector<std::string> bodies;
        for (const Command& command : link_.commands) bodies.push_back(command.action + command.body);
        link_.commands.clear();
        return bodies;
    }

    bool listening = true;
    Link link_;
};

TEST_F(AccessTest, APagesFrameGivesRolesNamesAndStatesOnceAndNothingWithoutAReader) {
    // The lower cards only measured (out of view), the upper ones measured and drawn.
    const auto picture = [this] {
        test::drawn().clear();
        pushClip({0, 0, 1000, 150});
        settings();
        dropClips();
        std::string calls;
        for (const test::Drawn& d : test::drawn())
            calls += std::to_string(d.kind) + d.text + std::to_string(d.rect.x) + "," + std::to_string(d.rect.y) + ";";
        return calls;
    };
    listening = false;
    const std::string unread = picture();
    ASSERT_FALSE(unread.empty());
    EXPECT_TRUE(uiState().access.tree.nodes.empty());
    EXPECT_EQ(uiState().access.tree.nodes.capacity(), 0u) << "nothing allocated without a reader";

    listening = true;
    EXPECT_EQ(picture(), unread) << "the tree draws nothing";
    const std::vector<AccessNode>& nodes = uiState().access.tree.nodes;
    std::set<std::string> ids;
    std::size_t focusable = 0;
    for (const AccessNode& n : nodes) {
        EXPECT_TRUE(ids.insert(n.id).second) << "listed twice: " << n.id;
        if (n.states & platform::kAccessFocusable) ++focusable;
        EXPECT_LT(n.parent, &n - nodes.data()) << "a parent comes first";
    }
    EXPECT_EQ(focusable, uiState().focus.previous.size()) << "every focusable widget, and only those";

    ASSERT_NE(node(AccessRole::kHeading, "Display"), nullptr);
    const AccessNode* vsync = node(AccessRole::kSwitch, "Vsync");
    ASSERT_NE(vsync, nullptr);
    EXPECT_TRUE(vsync->states & platform::kAccessChecked);
    const AccessNode* mode = node(AccessRole::kRadioGroup, "Mode");
    ASSERT_NE(mode, nullptr);
    const AccessNode* windowed = node(AccessRole::kRadio, "Windowed");
    const AccessNode* borderless = node(AccessRole::kRadio, "Borderless");
    ASSERT_TRUE(windowed && borderless);
    EXPECT_EQ(&nodes[static_cast<std::size_t>(windowed->parent)], mode);
    EXPECT_TRUE(windowed->states & platform::kAccessSelected);
    EXPECT_FALSE(borderless->states & platform::kAccessSelected);
    const AccessNode* volume = node(AccessRole::kSlider, "Volume");
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->value, "40%");
    EXPECT_EQ(volume->number, 40);
    EXPECT_EQ(volume->maximum, 100);
    const AccessNode* name = node(AccessRole::kField, "Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->value, "Ann");
    EXPECT_TRUE(name->states & platform::kAccessEditable);
    const AccessNode* width = node(AccessRole::kField, "Size (1 of 2)");   // a pair's fields apart
    const AccessNode* height = node(AccessRole::kField, "Size (2 of 2)");
    ASSERT_TRUE(width && height);
    EXPECT_EQ(width->value + "x" + height->value, "10x20");
    const AccessNode* chip = node(AccessRole::kListItem, "Cross: Space");
    ASSERT_NE(chip, nullptr) << "a binding's chip names its button and its input";
    EXPECT_TRUE(chip->actions & platform::kAccessPress);

    // The Play page while the launcher is away: its controls are there, disabled; its status is live.
    windowState().state = parseJson(R"({"ready": true, "profiles": ["Career", "Test"]})");
    playRecords().selectedProfile = "Career";
    uiState().serviceDown = "Needs the launcher, which does not answer at the moment.";
    frame("Play", playPage);
    const AccessNode* play = node(AccessRole::kButton, "Play");
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(play->states & platform::kAccessDisabled);
    const AccessNode* profile = node(AccessRole::kComboBox, "Save profile");
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->value, "Career");
    EXPECT_TRUE(profile->states & platform::kAccessDisabled);
    ASSERT_NE(node(AccessRole::kField, "Path of your Velocrash ISO"), nullptr);
    const AccessNode* status = node(AccessRole::kText, "Not ready: waiting for the launcher.");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->states & platform::kAccessLive);
    // A press on a control that cannot be used now does nothing, as a click does.
    frame("Play", playPage, {{play->id, platform::kAccessPress, "", 0}});
    EXPECT_TRUE(sent().empty());
}

TEST_F(AccessTest, ReadersRequestsDoWhatTheUsersInputDoes) {
    settings();  // the tree the requests name
    const AccessNode* toggle = node(AccessRole::kSwitch, "Vsync");
    ASSERT_NE(toggle, nullptr);
    const std::string switchId = toggle->id;
    const std::string fieldId = node(AccessRole::kField, "Name")->id;
    const std::string sliderId = node(AccessRole::kSlider, "Volume")->id;
    const std::string radioId = node(AccessRole::kRadio, "Borderless")->id;

    // Focus: the ring moves there and shows, and the reader's tree says so.
    settings({{switchId, platform::kAccessFocus, "", 0}});
    EXPECT_EQ(uiState().focus.id, switchId);
    EXPECT_TRUE(uiState().focus.visible);
    EXPECT_TRUE(node(AccessRole::kSwitch, "Vsync")->states & platform::kAccessFocused);
    EXPECT_TRUE(sent().empty());

    // Toggle, a choice pressed, a slider's number (clamped) and a field's text (entered once),
    // and a request for no widget left alone.
    settings({{switchId, platform::kAccessToggle, "", 0},
              {radioId, platform::kAccessPress, "", 0},
              {sliderId, platform::kAccessSetValue, "", 250.4},
              {fieldId, platform::kAccessSetValue, "  Bo  ", 0},
              {"button:Settings/Nowhere", platform::kAccessPress, "", 0}});
    EXPECT_EQ(sent(), (std::vector<std::string>{"settings" + settingsBody("vsync", "false"),
                                                "settings" + settingsBody("mode", "borderless"),
                                                "settings" + settingsBody("volume", "100"),
                                                "settings" + settingsBody("name", "Bo")}));

    // Play pressed and a profile chosen by its text: the bodies a click sends.
    windowState().state = parseJson(R"({"ready": true, "profiles": ["Career", "Test"]})");
    playRecords().selectedProfile = "Career";
    frame("Play", playPage);
    const std::string playId = node(AccessRole::kButton, "Play")->id;
    const std::string profileId = node(AccessRole::kComboBox, "Save profile")->id;
    frame("Play", playPage, {{profileId, platform::kAccessSetValue, "Test", 0}, {playId, platform::kAccessPress, "", 0}});
    const std::vector<std::string> bodies = sent();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[1], R"(play{"profile": "Test"})");
    EXPECT_EQ(playRecords().selectedProfile, "Test");
}

}  // namespace
}  // namespace vlr
