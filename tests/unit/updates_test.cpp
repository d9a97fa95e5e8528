/*******************************************************************************************
*  updates_test.cpp — the Updates page: bullet items, entry heights, the status line, which
*  entries are listed, and the commands of its two buttons
*
*  Fonts are not built here, so texts measure 0 wide: every markup block is one line of 21
*  plus its spare line, and every button is 30 wide. Entries are measured in a measuring
*  pass; the buttons are clicked in a drawing pass of a page without entries.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/markup.h"
#include "pages/pages.h"
#include "pages/updates.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

using Items = std::vector<std::string>;

class UpdatesTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        windowCalls().stateApplied = pagesFollowState;  // as the shell connects them
        setTheLink(&link_);
    }
    static std::vector<std::string> texts() {
        std::vector<std::string> drawn;
        for (const test::Drawn& call : test::drawnOf(test::Drawn::kText)) drawn.push_back(call.text);
        return drawn;
    }
    static float measure() {
        uiState().drawing = false;
        const float height = updatesPage({100, 200, 800, 0, {}});
        uiState().drawing = true;
        return height;
    }
    static void clickAt(float x) {
        UiState& ui = uiState();
        ui.input.mouseX = x;
        ui.input.mouseY = 210;
        ui.input.leftClick = true;
        test::drawn().clear();
        updatesPage({100, 200, 800, 0, {}});
        ui.input.leftClick = false;
    }

    Link link_;
};

TEST(UpdatesBullets, DashIndentedDashAndBareTextAreTheSameItem) {
    EXPECT_EQ(bulletItems("- Faster\n  - Faster\n\t-   Faster\nFaster"), (Items{"Faster", "Faster", "Faster", "Faster"}));
    EXPECT_EQ(bulletItems("a\n\n   \n\t\nb\n"), (Items{"a", "b"})) << "blank lines add nothing";
    EXPECT_EQ(bulletItems("-\n  -  \n-x"), (Items{"", "", "-x"})) << "a lone dash is an empty item; -x is text";
    EXPECT_EQ(bulletItems(""), Items{});

    // Unterminated markup stays in the item and is shown as typed.
    const std::vector<MarkupSegment> segments = parseMarkup(bulletItems("- **bold and `code")[0]);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].text, "**bold and `code");
    EXPECT_EQ(segments[0].style, kMarkupPlain);
}

TEST_F(UpdatesTest, EntryHeightsAndWhichListIsShown) {
    uiState().drawing = false;
    EXPECT_FLOAT_EQ(entryBody("", 0, 0, 600), 0) << "an entry with only a title";
    EXPECT_FLOAT_EQ(entryBody("- a\n\n- **b** `c`\n-", 0, 0, 600), 3 * 6 + 2 * (2 * 21));
    uiState().drawing = true;

    // Buttons row 39 + 12; each card: 17 + title 21 + 12, its content, 19; then 14.
    const float card = 17 + 21 + 12 + 19;
    EXPECT_FLOAT_EQ(measure(), 39 + 12) << "an empty document lists nothing";

    windowState().state = parseJson(R"({"changelog": [["0.9.3", "- one\n- two"], ["0.9.2"]],
        "updates": {"behind": false, "note": "Up to date.", "new": [["0.9.4", "- new"]]}})");
    EXPECT_FLOAT_EQ(measure(), 39 + 12 + (card + 2 * 48 + 14) + (card + 14));

    windowState().state = parseJson(R"({"changelog": [["0.9.3", "- one\n- two"]],
        "updates": {"behind": true, "new": [["0.9.4", "- new"]]}})");
    EXPECT_FLOAT_EQ(measure(), 39 + 12 + 18.75f + 12 + (card + 48 + 14)) << "what the update brings, not the log";
}

TEST_F(UpdatesTest, StatusAndUpdateNowRules) {
    const Json behindIdle = parseJson(R"({"updates": {"behind": true, "note": "Version 0.9.4 is available."}})");
    EXPECT_TRUE(updateAllowed(behindIdle));
    EXPECT_FALSE(updateAllowed(parseJson(R"({"updates": {"behind": true}, "running": "Build"})")));
    EXPECT_FALSE(updateAllowed(parseJson(R"({"updates": {"behind": "true"}})")));
    EXPECT_FALSE(updateAllowed(parseJson("{}")));
    EXPECT_EQ(updatesStatus(behindIdle, ""), "Version 0.9.4 is available.");
    EXPECT_EQ(updatesStatus(behindIdle, "Checking..."), "Checking...");
    EXPECT_EQ(updatesStatus(parseJson("{}"), ""), "");
}

TEST_F(UpdatesTest, CheckShowsCheckingUntilTheNextStateAndUpdateSwitchesToConsole) {
    windowState().state = parseJson(R"({"steps": {}, "updates": {"behind": false, "note": "Not checked yet."}})");
    clickAt(100 + 10);  // Check for updates
    ASSERT_EQ(link_.commands.size(), 1u);
    EXPECT_EQ(link_.commands[0].action, "check-updates");
    EXPECT_EQ(link_.commands[0].body, "{}");
    test::drawn().clear();
    updatesPage({100, 200, 800, 0, {}});
    const std::vector<std::string> drawn = texts();
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "Checking..."), drawn.end());

    // A failed check leaves the pending text; the next state document ends it.
    link_.commands[0].completion(parseJson(R"({"error": "offline"})"));
    EXPECT_EQ(updatesPending(), "Checking...");
    applyState(parseJson(R"({"steps": {}, "updates": {"behind": true, "note": "Version 0.9.4 is available."}})"));
    EXPECT_TRUE(updatesPending().empty());
    link_.commands.clear();

    // Update now sits 8 after "Check for updates"; a successful answer shows the console.
    clickAt(100 + 38 + 10);
    ASSERT_EQ(link_.commands.size(), 1u);
    EXPECT_EQ(link_.commands[0].action, "update");
    EXPECT_EQ(link_.commands[0].body, "{}");
    link_.commands[0].completion(parseJson(R"({"steps": {}, "running": "Update"})"));
    EXPECT_EQ(uiState().requestedPage, pageIndex(consolePage));
    link_.commands.clear();

    // While the update runs, the button does nothing.
    clickAt(100 + 38 + 10);
    EXPECT_TRUE(link_.commands.empty());
}

}  // namespace
}  // namespace vlr
