/*******************************************************************************************
*  play_test.cpp — the Play page: section heights, columns, the pinned play card, and the
*  commands its controls send and what their answers do
*
*  Fonts are not built here, so texts measure 0 wide and wrap to one line; heights come from
*  the layout's own lengths. Commands go to the test's own Link, where their bodies are read
*  back and their completions run by hand.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/pages.h"
#include "pages/play.h"
#include "shell/shell.h"
#include "ui/focus.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

// Where "Play" was drawn, or (-1, -1).
Vector2 playLabel() {
    for (const test::Drawn& call : test::drawnOf(test::Drawn::kText))
        if (call.text == "Play") return {call.rect.x, call.rect.y};
    return {-1, -1};
}

class PlayTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setTheLink(&link_);
        connectStateModel();
        inputCalls().screenWidth = [] { return 1600; };
    }
    static void useState(std::string_view text) { windowState().state = parseJson(text); }

    // One drawing pass of a section at (100, 200), 600 wide, with a click at (x, y) inside.
    static void clickIn(float (*section)(float, float, float), float x, float y) {
        UiState& ui = uiState();
        ui.input.mouseX = 100 + x;
        ui.input.mouseY = 200 + y;
        ui.input.leftClick = true;
        section(100, 200, 600);
        ui.input.leftClick = false;
    }
    static float measure(float (*section)(float, float, float)) {
        uiState().drawing = false;
        const float height = section(100, 200, 600);
        uiState().drawing = true;
        return height;
    }
    std::vector<Command> taken() {
        std::vector<Command> out(std::make_move_iterator(link_.commands.begin()),
                                 std::make_move_iterator(link_.commands.end()));
        link_.commands.clear();
        return out;
    }

    Link link_;
};

TEST_F(PlayTest, SectionHeightsForEmptyPartialAndFullStates) {
    useState("{}");
    EXPECT_FLOAT_EQ(measure(discSection), 49 + 18.75f);
    EXPECT_FLOAT_EQ(measure(installSection), 8 + 39);
    EXPECT_FLOAT_EQ(measure(profileSection), 39 + 10 + 18.75f);
    EXPECT_FLOAT_EQ(measure(playSection), 75 + 21 + 10 + 39);

    useState(R"({"steps": {"a": true, "b": false, "c": "yes"}, "compiler": {"text": "t", "licence": "L", "hint": "h"}})");
    EXPECT_FLOAT_EQ(measure(installSection), 66 + (14 + 21 + 12 + 49 + 18.75f + 16) + 39);
    useState(R"({"steps": {"a": true}, "compiler": {"hint": "no text, no block"}, "purge": "Frees 3 GB."})");
    EXPECT_FLOAT_EQ(measure(installSection), 37 + 39 + 45);
    playRecords().purgeConfirm = true;
    EXPECT_FLOAT_EQ(measure(installSection), 37 + 39 + 45 + 10 + 18.75f + 12 + 39);
    useState("{}");  // nothing left to delete: the confirmation row closes
    measure(installSection);
    EXPECT_FALSE(playRecords().purgeConfirm);

    playRecords().newProfileOpen = true;
    EXPECT_FLOAT_EQ(measure(profileSection), 145 + 37.5f + 10 + 39 + 10 + 18.75f);
    uiState().scale = 2;
    EXPECT_FLOAT_EQ(measure(playSection), 2 * (75 + 21 + 10 + 39));
}

TEST_F(PlayTest, StatusLineAndFooterTexts) {
    EXPECT_EQ(playStatus(parseJson(R"({"ready": true})")), "Ready.");
    for (const char* notReady : {"{}", R"({"ready": "true"})", R"({"ready": 1})"})
        EXPECT_EQ(playStatus(parseJson(notReady)), "Give the ISO, then generate the code and build the game.");
    EXPECT_EQ(playStatus(parseJson(R"({"ready": true, "running": "Build", "phase": ""})")), "Build running");
    EXPECT_EQ(playStatus(parseJson(R"({"running": "Build", "phase": "Linking"})")), "Linking");
    EXPECT_EQ(profileFooter("/w/Default"), "Each profile has its own memory card and save states, in /w/Default.");
    EXPECT_EQ(profileFooter(""), "Each profile has its own memory card and save states.");
}

TEST_F(PlayTest, NarrowAndWideColumnsAndThePinnedPlayCard) {
    const Rect all{0, 0, 1600, 5000};
    pushClip({0, 0, 1600, 5000});
    inputCalls().screenWidth = [] { return 940; };  // exactly 940: still one column
    const float narrow = playPage({0, 0, 1000, 0, all});
    EXPECT_FLOAT_EQ(playLabel().x, 19 + 962.0f / 2);
    test::drawn().clear();
    inputCalls().screenWidth = [] { return 941; };
    EXPECT_LT(playPage({0, 0, 1000, 0, all}), narrow);
    EXPECT_FLOAT_EQ(playLabel().x, 660 + 19 + 151);  // right column at 1000 - 340
    popClip();

    // With a warning card the play card starts below it, then follows the viewport top,
    // then rests against the bottom of "Save profile"; the page height never changes.
    useState(R"({"missing": "Install the runtime."})");
    const Rect view{0, 100, 1600, 400};
    pushClip({0, 100, 1600, 400});
    auto cardTop = [&](float offset, float& height) {
        test::drawn().clear();
        height = playPage({0, view.y - offset, 1000, 0, view});
        return playLabel().y - 50;  // label centre: card top + 17 + 5 + 56 / 2
    };
    float height = 0, other = 0;
    const float warning = cardTop(0, height) - view.y;
    EXPECT_GT(warning, 14);
    EXPECT_FLOAT_EQ(cardTop(warning + 50, other), view.y);
    EXPECT_FLOAT_EQ(other, height);
    const float resting = cardTop(350, other);
    EXPECT_LT(resting, view.y);
    EXPECT_FLOAT_EQ(cardTop(360, other), resting - 10);
    EXPECT_FLOAT_EQ(other, height);
    popClip();
}

TEST_F(PlayTest, InstallAndPurgeCommands) {
    useState(R"({"compiler": {"text": "t", "licence": "L"}})");
    playRecords().iso.text = "C:\\disc \"1\".iso";
    playRecords().iso.edited = true;
    clickIn(installSection, 5, 60);           // download
    clickIn(installSection, 30 + 8 + 5, 60);  // licence terms
    std::vector<Command> sent = taken();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].action, "download-compiler");
    EXPECT_EQ(sent[0].body, R"({"iso": "C:\\disc \"1\".iso"})");
    EXPECT_EQ(sent[1].action + sent[1].body, "licence{}");
    sent[0].completion(parseJson(R"({"error": "No disc there."})"));
    EXPECT_TRUE(playRecords().iso.edited);
    EXPECT_EQ(uiState().requestedPage, 0);
    playRecords().iso.text = "D:\\other.iso";  // typed while the command was on its way
    sent[0].completion(parseJson("{}"));
    EXPECT_TRUE(playRecords().iso.edited);
    EXPECT_EQ(uiState().requestedPage, 1);
    playRecords().iso.text = "C:\\disc \"1\".iso";
    sent[0].completion(parseJson("{}"));
    EXPECT_FALSE(playRecords().iso.edited);

    useState(R"({"purge": "p"})");
    playRecords().iso = EditBuffer();
    clickIn(installSection, 5, 13);       // build, with an empty ISO field
    clickIn(installSection, 5, 47 + 11);  // "Free up disk space"
    clickIn(installSection, 5, 47 + 45 + 10 + 18.75f + 12 + 5);  // "Delete the build files"
    sent = taken();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].action + sent[0].body, R"(install{"iso": ""})");
    EXPECT_EQ(sent[1].action + sent[1].body, "purge{}");
    sent[1].completion(parseJson(R"({"error": "Busy."})"));
    EXPECT_TRUE(playRecords().purgeConfirm);
    sent[1].completion(parseJson("{}"));
    EXPECT_FALSE(playRecords().purgeConfirm);

    // A running task disables what would start another one.
    useState(R"({"running": "Update", "purge": "p"})");
    playRecords().purgeConfirm = true;
    clickIn(installSection, 5, 13);
    clickIn(installSection, 5, 47 + 45 + 10 + 18.75f + 12 + 5);
    EXPECT_TRUE(taken().empty());
}

TEST_F(PlayTest, ProfileCommands) {
    useState(R"({"profiles": ["Default", "Speedrun"]})");
    uiState().dropDown = {false, {}, {"Default", "Speedrun"}, 1, "profile"};
    clickIn(profileSection, 268 + 30 + 8 + 5, 5);  // picks up the chosen row, then "Open its folder"
    std::vector<Command> sent = taken();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].action + sent[0].body, R"(select{"profile": "Speedrun"})");
    EXPECT_EQ(sent[1].action + sent[1].body, R"(open-profile{"profile": "Speedrun"})");

    clickIn(profileSection, 268 + 5, 5);  // "New"
    PlayRecords& form = playRecords();
    ASSERT_TRUE(form.newProfileOpen);
    ASSERT_EQ(uiState().focused, &form.newName);
    form.newName.text = "Run \"2\"";
    form.newSaves.text = "   ";
    form.newName.lostFocus = true;  // Enter in the focused name field
    measure(profileSection);
    sent = taken();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, R"({"name": "Run \"2\"", "saves": "   "})");
    sent[0].completion(parseJson("{}"));
    EXPECT_TRUE(uiState().notice.text.empty());  // spaces only: nothing was copied
    EXPECT_FALSE(form.newProfileOpen);
    EXPECT_TRUE(form.newName.text.empty());
    EXPECT_EQ(uiState().focused, nullptr);

    form.newProfileOpen = true;
    form.newSaves.text = "/old/saves";
    clickIn(profileSection, 5, 145 + 37.5f + 10 + 5);  // "Create the profile"
    sent = taken();
    ASSERT_EQ(sent.size(), 1u);
    sent[0].completion(parseJson(R"({"error": "Give the new profile a name."})"));
    EXPECT_TRUE(form.newProfileOpen);
    sent[0].completion(parseJson("{}"));
    EXPECT_EQ(uiState().notice.text, "The saves were copied into the new profile.");
}

TEST_F(PlayTest, FieldsTheUserIsWorkingOnAreLeftAlone) {
    PlayRecords& play = playRecords();
    UiState& ui = uiState();
    applyState(parseJson(R"({"steps": {}, "iso": "a.iso", "profile": "one"})"));

    ui.focused = &play.iso;
    play.iso.text = "typing";
    ui.dropDown.open = true;
    ui.dropDown.owner = "profile";
    applyState(parseJson(R"({"steps": {}, "iso": "b.iso", "profile": "two"})"));
    EXPECT_EQ(play.iso.text, "typing");
    EXPECT_EQ(play.selectedProfile, "one");

    ui.focused = nullptr;  // left the field, but the text is the user's
    play.iso.edited = true;
    ui.dropDown.owner = "other";  // another list being open does not protect the profile
    applyState(parseJson(R"({"steps": {}, "iso": "c.iso", "profile": "three"})"));
    EXPECT_EQ(play.iso.text, "typing");
    EXPECT_EQ(play.selectedProfile, "three");

    play.iso.edited = false;
    updatesPending() = "Checking...";
    applyState(parseJson(R"({"steps": {}})"));  // a partial document empties what it refreshes
    EXPECT_EQ(play.iso.text, "");
    EXPECT_EQ(play.iso.caret, 0u);
    EXPECT_EQ(play.selectedProfile, "");
    EXPECT_EQ(updatesPending(), "");
}

TEST_F(PlayTest, PlayAndStop) {
    useState(R"({"ready": "true"})");
    clickIn(playSection, 300, 30);
    EXPECT_EQ(uiState().input.wantedCursor, MOUSE_CURSOR_DEFAULT);
    useState(R"({"ready": true, "running": "Game"})");
    clickIn(playSection, 300, 30);
    EXPECT_TRUE(taken().empty());
    clickIn(playSection, 300, 75 + 21 + 10 + 5);  // "Stop"

    useState(R"({"ready": true})");
    clickIn(playSection, 300, 30);
    EXPECT_EQ(uiState().input.wantedCursor, MOUSE_CURSOR_POINTING_HAND);
    std::vector<Command> sent = taken();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].action + sent[0].body, "stop{}");
    EXPECT_EQ(sent[1].action + sent[1].body, R"(play{"profile": ""})");
    sent[1].completion(parseJson("{}"));
    EXPECT_EQ(uiState().requestedPage, 1);

    // Start on a gamepad plays from any page, only while the button would be enabled.
    playRecords().selectedProfile = "Career";
    for (const char* state : {R"({"ready": false})", R"({"ready": true, "running": "Game"})", R"({"ready": true})"}) {
        useState(state);
        uiState().focus.actions = {kNavStart};
        playOnStart();
    }
    sent = taken();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].action + sent[0].body, R"(play{"profile": "Career"})");
}

}  // namespace
}  // namespace vlr
