/*******************************************************************************************
*  settings_test.cpp — the Settings page: key names, editor sizes, row layout, visibility and
*  "Other", the stamp rules, request bodies, and what each editor saves
*
*  Every glyph of the three text slots is 7 pixels wide here, so widths and wrapping are
*  known. Commands go to the test's own Link, where their bodies are read back; answers are
*  applied by hand.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/command_list.h"
#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "settings/settings.h"
#include "settings/settings_model.h"
#include "shell/shell.h"
#include "ui/fonts.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

using test::Drawn;
using test::drawn;

const Drawn* findText(std::string_view text) {
    for (const Drawn& d : drawn())
        if (d.kind == Drawn::kText && d.text == text) return &d;
    return nullptr;
}

constexpr int kSlots[] = {kRegular14, kRegular12_5, kRegular13};

class SettingsTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        for (int slot : kSlots) test::fixAdvances(slot, 7);
        test::textAdvance() = 7;
        connectStateModel();  // a reload cancels the key capture through it
        setTheLink(&link_);
        inputCalls().screenWidth = [] { return 1600; };
    }
    static void useSettings(std::vector<SettingValue> values) { windowState().settings = std::move(values); }
    static void mouse(float x, float y, bool click = false, bool down = false) {
        InputSnapshot& in = uiState().input;
        in.mouseX = x;
        in.mouseY = y;
        in.leftClick = click;
        in.mouseDown = down;
    }
    // Bodies of the commands queued so far, oldest first; the queue is emptied.
    std::vector<std::string> sent() {
        std::vector<std::string> bodies;
        for (const Command& command : link_.commands) {
            EXPECT_EQ(command.action, "settings");
            bodies.push_back(command.body);
        }
        link_.commands.clear();
        return bodies;
    }
    void edit(const char* rowText, float x = 100, float y = 200) {
        drawn().clear();
        const Json row = parseJson(rowText);
        valueEditor(row, x, y);
    }

    Link link_;
};

std::string body(std::string_view key, std::string_view value) { return settingsBody(key, value); }

// ---- key names ----

TEST(KeyNameTest, CodesBecomeNamesByRuleTableOrNumber) {
    EXPECT_EQ(keyNameTableSize(), 66u);
    EXPECT_EQ(keyName(0), "NONE");
    EXPECT_EQ(keyName('7'), "7");
    EXPECT_EQ(keyName('Q'), "Q");
    EXPECT_EQ(keyName(290), "F1");
    EXPECT_EQ(keyName(301), "F12");
    EXPECT_EQ(keyName(302), "KEY_302");   // F13 has no name of its own
    EXPECT_EQ(keyName(1007), "KEY_1007"); // mouse button 7
    EXPECT_EQ(keyName(161), "KEY_161");
    EXPECT_EQ(keyName(-5), "KEY_-5");
    EXPECT_EQ(keyName(32), "SPACE");
    EXPECT_EQ(keyName(327), "KP_7");
    EXPECT_EQ(keyName(336), "KP_EQUAL");
    EXPECT_EQ(keyName(348), "MENU");
    EXPECT_EQ(keyName(1000), "MOUSE_LEFT");
    EXPECT_EQ(keyName(1006), "MOUSE_BACK");
    EXPECT_EQ(keyName(1010), "MOUSE_WHEEL_UP");
    EXPECT_EQ(keyName(1011), "MOUSE_WHEEL_DOWN");
}

TEST(KeyNameTest, BindingValuesSplitAndJoin) {
    EXPECT_TRUE(splitBinding("NONE").empty());
    EXPECT_TRUE(splitBinding("").empty());
    EXPECT_TRUE(splitBinding("   ").empty());
    EXPECT_EQ(splitBinding("SPACE  MOUSE_LEFT NONE"), (std::vector<std::string>{"SPACE", "MOUSE_LEFT"}));
    EXPECT_EQ(splitBinding(" A NONE B A "), (std::vector<std::string>{"A", "B", "A"}));  // taken as they stand
    EXPECT_EQ(joinBinding({}), "NONE");
    EXPECT_EQ(joinBinding({"A", "B"}), "A B");
}

TEST(KeyNameTest, DisplayNamesAreReadableForAnyName) {
    const std::pair<const char*, const char*> cases[] = {
        {"LEFT_SHIFT", "Left Shift"}, {"KP_ENTER", "Keypad Enter"}, {"KP_7", "Keypad 7"},
        {"MOUSE_WHEEL_UP", "Wheel Up"}, {"MOUSE_LEFT", "Mouse Left"}, {"PAGE_UP", "Page Up"},
        {"UP", "Up"}, {"F12", "F12"}, {"F1", "F1"}, {"A", "A"}, {"KEY_161", "Key 161"},
        {"ESCAPE", "Escape"}, {"SOMETHING_ELSE", "Something Else"}, {"XY_Z", "XY Z"},
        {"KP_UP", "Keypad Up"}, {"kp_up", "kp up"}, {"_A", " A"}, {"", ""},
    };
    for (const auto& [name, label] : cases)
        EXPECT_EQ(displayName(name), label) << name;
}

// ---- editor sizes and row layout ----

TEST_F(SettingsTest, EditorSizeFollowsTheFirstKindThatApplies) {
    struct Case {
        const char* row;
        float width, height;
    };
    const Case cases[] = {
        {R"({"key": "k", "choice": ["a", "bb"], "range": [0, 1]})", 6 + 31 + 38, 35},
        {R"({"key": "k", "range": [0, 1], "unit": "%"})", 226, 21},
        {R"({"key": "k", "select": ["1", 22], "unit": " ms"})", 35 + 44, 35},
        {R"({"key": "k", "number": [0, 9]})", 84, 35},
        {R"({"key": "k", "number": [0, 9], "and": "j"})", 84 + 16 + 7 + 84, 35},
        {R"({"key": "k", "text": true})", 220, 35},
        {R"({"key": "k", "text": "yes"})", 38, 22},
        {R"({"key": "k", "choice": "a"})", 38, 22},
    };
    for (const Case& c : cases) {
        const Json row = parseJson(c.row);
        EXPECT_FLOAT_EQ(editorWidth(row), c.width) << c.row;
        EXPECT_FLOAT_EQ(editorHeight(row), c.height) << c.row;
    }
    uiState().scale = 2;
    EXPECT_FLOAT_EQ(editorWidth(parseJson(R"({"key": "k", "text": true})")), 440);
}

TEST_F(SettingsTest, RowsSeparateFromTheSecondOnAndKeepTheEditorCentred) {
    useSettings({{"k", "true"}});
    std::string label;
    for (int i = 0; i < 40; ++i) label += "abcd ";
    const Json shortRow = parseJson(R"({"key": "k", "label": "Short"})");
    const Json longRow = parseJson("{\"key\": \"k\", \"label\": \"" + label + "\", \"help\": \"Help\"}");

    EXPECT_FLOAT_EQ(settingRow(shortRow, 0, 0, 600, false, true), 22 + 11);
    drawn().clear();
    EXPECT_FLOAT_EQ(settingRow(shortRow, 0, 0, 600, true, false), 22 + 2 + 11);
    EXPECT_TRUE(test::drawnOf(Drawn::kRectangle).empty());

    drawn().clear();
    const float lines = static_cast<float>(wrapLines(kRegular14, label, 600 - 38 - 18).size());
    ASSERT_GE(lines, 3);  // the label wraps within w - editor width - 18
    const float th = lines * 21 + 17.5f + 2;
    EXPECT_FLOAT_EQ(settingRow(longRow, 50, 100, 600, false, false), th + 22);
    ASSERT_FALSE(drawn().empty());
    EXPECT_EQ(drawn()[0].kind, Drawn::kRectangle);  // the separator along the row's top edge
    EXPECT_FLOAT_EQ(drawn()[0].rect.y, 100);
    EXPECT_FLOAT_EQ(drawn()[0].rect.width, 600);
    EXPECT_FLOAT_EQ(drawn()[0].rect.height, 1);
    const Drawn* track = nullptr;
    for (const Drawn& d : drawn())
        if (d.kind == Drawn::kFill) track = &d;
    ASSERT_NE(track, nullptr);
    EXPECT_FLOAT_EQ(track->rect.x, 50 + 600 - 38);
    EXPECT_FLOAT_EQ(track->rect.y, roundHalfAway(100 + 11 + (th - 22) / 2));
}

// ---- the page ----

constexpr const char* kTable = R"({"steps": {}, "table": {
    "columns": [[{"title": "Display", "rows": [
                    {"key": "a", "label": "Size", "and": "b", "number": [0, 10]},
                    {"key": "c", "label": "Vsync"},
                    {"key": "missing", "label": "Missing"}]}],
                [{"title": "Game", "rows": [{"key": "d", "label": "Name", "text": true}]},
                 {"title": "Empty", "rows": [{"key": "nothing", "label": "Nothing"}]}]],
    "buttons": [["CROSS", "Cross", "Jump"], ["L3", "L3"], ["GONE", "Gone", ""]]}})";

TEST_F(SettingsTest, PageShowsVisibleRowsAndListsEveryOtherSettingUnderOther) {
    windowState().state = parseJson(kTable);
    useSettings({{"a", "1"}, {"c", "true"}, {"zeta", "z"}, {"key_CROSS", "K"}, {"key_L3", "NONE"}, {"d", "x"}});
    settingsPage({0, 0, 1000, 0, {}});

    for (const char* text : {"DISPLAY", "Vsync", "GAME", "Name", "KEYBOARD AND MOUSE", "Cross", "L3", "OTHER", "zeta"})
        EXPECT_NE(findText(text), nullptr) << text;
    // Hidden: a row whose partner is missing, a row and a button without their settings.
    for (const char* text : {"Size", "Missing", "EMPTY", "Nothing", "Gone"})
        EXPECT_EQ(findText(text), nullptr) << text;
    // The setting of the hidden row is still editable, under "Other", labelled by its key.
    ASSERT_NE(findText("a"), nullptr);
    EXPECT_LT(findText("a")->rect.y, findText("zeta")->rect.y);  // in list order
    EXPECT_GT(findText("a")->rect.y, findText("OTHER")->rect.y);
    EXPECT_EQ(findText("key_CROSS"), nullptr);
    EXPECT_EQ(findText("c"), nullptr);
}

TEST_F(SettingsTest, EmptyListShowsOnlyItsCardAndNoTableShowsEverythingUnderOther) {
    windowState().state = parseJson(kTable);
    // One untitled card holding one line of text: 17 + 21 + 19, and the gap after it.
    EXPECT_FLOAT_EQ(settingsPage({0, 0, 1000, 0, {}}), 57 + 14);
    // Its one text is the empty list's message, and no setting or section title.
    const std::vector<Drawn> texts = test::drawnOf(Drawn::kText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].slot, kRegular14);
    EXPECT_EQ(texts[0].text.rfind("The game writes its settings file", 0), 0u) << texts[0].text;

    drawn().clear();
    windowState().state = parseJson(R"({"steps": {}, "table": {"columns": 5, "buttons": "x"}})");
    useSettings({{"c", "true"}, {"key_CROSS", "K"}});
    settingsPage({0, 0, 1000, 0, {}});
    EXPECT_NE(findText("OTHER"), nullptr);
    EXPECT_NE(findText("c"), nullptr);
    EXPECT_NE(findText("key_CROSS"), nullptr);
    EXPECT_EQ(findText("KEYBOARD AND MOUSE"), nullptr);
}

TEST_F(SettingsTest, ColumnsStandSideBySideOnlyAbove940AndBindingsGoBelowTheTallest) {
    windowState().state = parseJson(kTable);
    useSettings({{"a", "1"}, {"b", "2"}, {"c", "true"}, {"d", "x"}, {"key_CROSS", "K"}, {"key_L3", "A"}});
    const float x = 10, w = 1014, cw = (w - 14) / 2;

    settingsPage({x, 0, w, 0, {}});
    EXPECT_FLOAT_EQ(findText("GAME")->rect.x, x + 14 + cw + 19);
    EXPECT_FLOAT_EQ(findText("GAME")->rect.y, findText("DISPLAY")->rect.y);
    EXPECT_GT(findText("KEYBOARD AND MOUSE")->rect.y, findText("Vsync")->rect.y);
    EXPECT_FLOAT_EQ(findText("L3")->rect.x, x + 19 + (w - 38 - 36) / 2 + 36);  // two lines per row
    EXPECT_FLOAT_EQ(findText("L3")->rect.y, findText("Cross")->rect.y + (40.5f - 21) / 2);

    drawn().clear();
    inputCalls().screenWidth = [] { return 940; };
    settingsPage({x, 0, w, 0, {}});
    EXPECT_FLOAT_EQ(findText("GAME")->rect.x, findText("DISPLAY")->rect.x);
    EXPECT_GT(findText("GAME")->rect.y, findText("Vsync")->rect.y);
    EXPECT_FLOAT_EQ(findText("L3")->rect.x, x + 19);
    EXPECT_GT(findText("L3")->rect.y, findText("Cross")->rect.y + 40);
}

TEST_F(SettingsTest, FilterFoldsSectionsByLabelOrKeyAndClearingDrawsThePageAgain) {
    windowState().state = parseJson(kTable);
    useSettings({{"a", "1"}, {"b", "2"}, {"c", "true"}, {"d", "x"}, {"zeta", "z"}, {"key_CROSS", "K"}, {"key_L3", "NONE"}});
    const PageArea area{0, 0, 1000, 0, {}};
    const float height = settingsPage(area);
    const std::vector<Drawn> unfiltered = drawn();
    EditBuffer& filter = settingsRecords().filter;
    const auto shows = [&](const char* text, std::vector<const char*> seen) {
        filter.text = text;
        drawn().clear();
        settingsPage(area);
        for (const char* title : {"DISPLAY", "Size", "Vsync", "GAME", "Name", "KEYBOARD AND MOUSE", "Cross", "L3", "OTHER",
                                  "zeta", "No setting matches."}) {
            const bool wanted = std::find_if(seen.begin(), seen.end(), [&](const char* s) { return std::string_view(s) == title; }) != seen.end();
            EXPECT_EQ(findText(title) != nullptr, wanted) << "filter \"" << text << "\": " << title;
        }
    };
    shows("VSY", {"DISPLAY", "Vsync"});                          // a label, in any case; other sections fold
    shows(" key_  cross ", {"KEYBOARD AND MOUSE", "Cross"});     // every word, in the label or the key
    shows("B", {"DISPLAY", "Size"});                             // a row's second key
    shows("zet", {"OTHER", "zeta"});                             // a filtered-out row does not fall to "Other"
    shows("nothing", {"No setting matches."});                   // a hidden row matches nothing

    // Ctrl+F hands the field the keys; what it takes is never sent, not even on Enter.
    filter.text.clear();
    uiState().input.strokes = {{KEY_F, 0, kModControl}};
    settingsPage(area);
    EXPECT_EQ(uiState().focused, &filter);
    uiState().input.strokes = {{0, 'v'}, {KEY_ENTER, 0, 0}};
    settingsPage(area);
    EXPECT_EQ(filter.text, "v");
    EXPECT_TRUE(sent().empty());

    // Cleared: the very same drawing as before anything was typed.
    uiState().focused = nullptr;
    uiState().input = {};
    filter.text.clear();
    drawn().clear();
    EXPECT_FLOAT_EQ(settingsPage(area), height);
    ASSERT_EQ(drawn().size(), unfiltered.size());
    for (std::size_t i = 0; i < unfiltered.size(); ++i) {
        const Drawn &a = drawn()[i], &b = unfiltered[i];
        EXPECT_TRUE(a.kind == b.kind && a.text == b.text && a.rect.x == b.rect.x && a.rect.y == b.rect.y &&
                    a.rect.width == b.rect.width && a.rect.height == b.rect.height && a.colour.r == b.colour.r &&
                    a.colour.a == b.colour.a)
            << "call " << i << ": " << a.text << " / " << b.text;
    }
}

// ---- saving ----

TEST_F(SettingsTest, SaveUpdatesEveryPairAtOnceAndSendsTheExactBody) {
    useSettings({{"k", "old"}, {"j", "x"}, {"k", "older"}});
    saveSetting("k", "say \"hi\" \\ é€", false);
    saveSetting("absent", "1", false);
    EXPECT_EQ(windowState().settings[0].value, "say \"hi\" \\ é€");
    EXPECT_EQ(windowState().settings[2].value, "say \"hi\" \\ é€");
    EXPECT_EQ(windowState().settings.size(), 3u);  // a missing key is not added
    EXPECT_EQ(sent(), (std::vector<std::string>{"{\"values\": {\"k\": \"say \\\"hi\\\" \\\\ é€\"}}",
                                                "{\"values\": {\"absent\": \"1\"}}"}));
    EXPECT_EQ(body("ke\"y", "line\nbreak"), "{\"values\": {\"ke\\\"y\": \"line\\u000abreak\"}}");
}

TEST_F(SettingsTest, AnswersSetTheStampAndReloadOnlyWhenAsked) {
    WindowState& window = windowState();
    useSettings({{"k", "local"}});
    window.settingsStamp = 5;
    const Json launcher = parseJson(R"({"settings_stamp": 9, "settings": [{"key": "k", "value": 3}, {"value": 1}]})");

    applySaveAnswer(launcher, false);
    EXPECT_EQ(window.settingsStamp, 9);
    EXPECT_EQ(window.settings[0].value, "local");

    uiState().capture.name = "CROSS";
    applySaveAnswer(launcher, true);
    ASSERT_EQ(window.settings.size(), 1u);
    EXPECT_EQ(window.settings[0].value, "3");
    EXPECT_TRUE(uiState().capture.name.empty());  // a reload cancels a capture

    applySaveAnswer(parseJson(R"({"settings_stamp": "12"})"), false);
    EXPECT_EQ(window.settingsStamp, 0);  // not a number: no stamp
    window.settingsStamp = 9;
    applySaveAnswer(parseJson(R"({"ok": true})"), true);
    EXPECT_EQ(window.settingsStamp, 0);
    EXPECT_EQ(window.settings.size(), 1u);  // no list in the answer: the page keeps its own

    // Stamp 0: the next state document brings the launcher's list back, whatever its stamp.
    applyState(parseJson(R"({"steps": {}, "settings_stamp": 1, "settings": [{"key": "k", "value": "theirs"}]})"));
    EXPECT_EQ(window.settings[0].value, "theirs");
}

// ---- value editors ----

TEST_F(SettingsTest, ChoiceToggleAndTextSaveWhatTheUserDid) {
    useSettings({{"m", "windowed"}, {"t", "maybe"}, {"s", "x"}});
    const char* choice = R"({"key": "m", "choice": ["windowed", "borderless"]})";
    mouse(100 + 3 + 5, 210, true);
    edit(choice);
    EXPECT_NE(findText("Windowed"), nullptr);  // shown with its first letter upper-cased
    mouse(100 + 3 + 80 + 5, 210, true);
    edit(choice);
    EXPECT_EQ(sent(), (std::vector<std::string>{body("m", "windowed"), body("m", "borderless")}));

    mouse(105, 205, true);
    edit(R"({"key": "t"})");
    mouse(105, 205, true);
    edit(R"({"key": "t"})");
    EXPECT_EQ(sent(), (std::vector<std::string>{body("t", "true"), body("t", "false")}));

    EditBuffer& field = editBuffer("s");
    EXPECT_EQ(&field, &editBuffer("s"));  // one buffer per name, and it stays put
    editBuffer("other");
    EXPECT_EQ(&field, &editBuffer("s"));
    edit(R"({"key": "s", "text": true})");
    EXPECT_EQ(field.text, "x");  // follows the list while not being edited
    for (const char* typed : {"  two words  ", "   "}) {
        field.text = typed;
        field.lostFocus = true;
        edit(R"({"key": "s", "text": true})");
    }
    EXPECT_EQ(sent(), (std::vector<std::string>{body("s", "two words"), body("s", "")}));
}

TEST_F(SettingsTest, NumberFieldsCommitClampedValuesAndNonNumbersAsZero) {
    useSettings({{"n", "5"}, {"h", "6"}});
    const char* row = R"({"key": "n", "and": "h", "number": [-3, 10]})";
    const std::pair<const char*, const char*> commits[] = {{"99", "10"}, {"abc", "0"}, {"-", "0"}, {"-50", "-3"}};
    for (const auto& [typed, saved] : commits) {
        editBuffer("n").text = typed;
        editBuffer("n").lostFocus = true;
        edit(row);
        EXPECT_EQ(editBuffer("n").text, saved);
    }
    editBuffer("h").text = "12x";
    editBuffer("h").lostFocus = true;
    edit(row);
    EXPECT_NE(findText("×"), nullptr);
    EXPECT_EQ(sent(), (std::vector<std::string>{body("n", "10"), body("n", "0"), body("n", "0"), body("n", "-3"),
                                                body("h", "10")}));
    EXPECT_EQ(clampNumber(" +7 ", 0, 9), "7");
    EXPECT_EQ(clampNumber("5", 0, 0), "0");
    EXPECT_EQ(clampNumber("99999999999999999999", 0, 3), "3");
}

TEST_F(SettingsTest, SliderDragsFromItsGrabAndSavesOnceOnRelease) {
    useSettings({{"v", "40"}});
    const char* row = R"({"key": "v", "range": [0, 100], "unit": "%"})";
    mouse(100 + 85, 210, true, true);  // press in the middle of the track
    edit(row);
    EXPECT_EQ(settingsRecords().activeSlider, "v");
    EXPECT_NE(findText("50%"), nullptr);
    mouse(100 + 400, 300, false, true);  // far outside, still held
    edit(row);
    EXPECT_NE(findText("100%"), nullptr);
    EXPECT_TRUE(sent().empty());
    mouse(100 + 17, 300, false, false);  // released
    edit(row);
    EXPECT_EQ(sent(), (std::vector<std::string>{body("v", "10")}));
    EXPECT_TRUE(settingsRecords().activeSlider.empty());
    EXPECT_NE(findText("10%"), nullptr);

    EXPECT_DOUBLE_EQ(sliderValueAt(50, 100, 170, 0, 100), 0);
    EXPECT_DOUBLE_EQ(sliderValueAt(400, 100, 170, -5, 5), 5);
    EXPECT_DOUBLE_EQ(sliderValueAt(100 + 85, 100, 170, 1, 8), 5);  // 4.5 rounds away from zero
    EXPECT_DOUBLE_EQ(sliderValueAt(400, 100, 170, 5, 5), 5);
    EXPECT_DOUBLE_EQ(sliderValueAt(400, 100, 170, 7, 3), 3);

    // Bounds at the ends of the 64-bit range: no overflow on the way, and the saved value is
    // the bound itself, not what an overflowing conversion gives.
    useSettings({{"x", "0"}});
    const char* wide = R"({"key": "x", "range": [-9223372036854775808, 9223372036854775807]})";
    const std::pair<float, const char*> ends[] = {{500, "9223372036854775807"}, {50, "-9223372036854775808"}};
    for (const auto& [at, saved] : ends) {
        mouse(100 + 85, 210, true, true);
        edit(wide);
        mouse(at, 300, false, false);
        edit(wide);
        EXPECT_EQ(sent(), (std::vector<std::string>{body("x", saved)}));
    }

    // lo >= hi: an empty track with the knob at its left end.
    useSettings({{"w", "9"}});
    edit(R"({"key": "w", "range": [7, 3]})");
    const std::vector<Drawn> circles = test::drawnOf(Drawn::kCircle);
    ASSERT_FALSE(circles.empty());
    const Drawn* knob = &circles.front();
    EXPECT_FLOAT_EQ(knob->rect.x, 100);
}

// Scrolled out of the view, a focused field still takes what is typed and commits on Enter,
// and a slider being dragged still ends on release; neither row is drawn.
TEST_F(SettingsTest, RowsInUseKeepTakingInputWhileScrolledOutOfView) {
    windowState().state = parseJson(R"({"table": {"columns": [[{"title": "Game", "rows": [
        {"key": "name", "label": "Name", "text": true}, {"key": "v", "label": "Volume", "range": [0, 100]}]}]]}})");
    useSettings({{"name", "old"}, {"v", "40"}});
    UiState& ui = uiState();
    settingsPage({0, 0, 1000, 0, {}});  // the fields take their values
    EditBuffer& name = editBuffer("name");
    ui.focused = &name;
    name.caret = name.text.size();
    settingsRecords().activeSlider = "v";
    mouse(0, 0, false, true);  // still held: the slider goes to its lowest value

    pushClip({0, 5000, 1600, 400});  // the page scrolled far above the view
    ui.input.strokes = {{0, 'x'}};
    ui.input.chars = {'x'};
    drawn().clear();
    settingsPage({0, 0, 1000, 0, {}});
    EXPECT_EQ(name.text, "oldx");
    EXPECT_EQ(settingsRecords().activeSlider, "v");
    EXPECT_EQ(findText("GAME"), nullptr);  // the card was not drawn

    ui.input.strokes = {{KEY_ENTER, 0}};
    ui.input.chars.clear();
    ui.input.keys = {KEY_ENTER};
    mouse(0, 0, false, false);  // released
    settingsPage({0, 0, 1000, 0, {}});
    EXPECT_EQ(sent(), (std::vector<std::string>{body("name", "oldx"), body("v", "0")}));
    EXPECT_TRUE(settingsRecords().activeSlider.empty());
    popClip();
}

TEST_F(SettingsTest, SelectListsAnUnknownValueFirstAndSavesTheOptionWithoutUnit) {
    useSettings({{"l", "7"}});
    const char* row = R"({"key": "l", "select": [1, "2"], "unit": " ms"})";
    mouse(110, 210, true);
    edit(row);
    const DropDown& list = uiState().dropDown;
    ASSERT_TRUE(list.open);
    EXPECT_EQ(list.items, (std::vector<std::string>{"7 ms", "1 ms", "2 ms"}));
    EXPECT_NE(findText("7 ms"), nullptr);
    uiState().dropDown.chosen = 2;
    mouse(0, 0);
    edit(row);
    EXPECT_EQ(sent(), (std::vector<std::string>{body("l", "2")}));
}

// ---- key bindings ----

TEST_F(SettingsTest, AddBindingAppendsNewNamesAndAlwaysSaves) {
    useSettings({{"key_X", "A B"}});
    addBinding("key_X", 'C');
    addBinding("key_X", 'A');
    addBinding("key_Y", 1010);  // no such setting: saved, nothing added locally
    EXPECT_EQ(sent(), (std::vector<std::string>{body("key_X", "A B C"), body("key_X", "A B C"),
                                                body("key_Y", "MOUSE_WHEEL_UP")}));
    EXPECT_EQ(windowState().settings.size(), 1u);
}

TEST_F(SettingsTest, ChipsRemoveOnClickAndTheAddChipStartsAndCancelsACapture) {
    const Json button = parseJson(R"(["CROSS", "Cross", "Jump"])");
    useSettings({{"key_CROSS", "NONE"}});
    bindingLine(button, 0, 0, 600, 0);
    EXPECT_NE(findText("+"), nullptr);
    EXPECT_EQ(std::count_if(drawn().begin(), drawn().end(), [](const Drawn& d) { return d.kind == Drawn::kText; }), 3);

    useSettings({{"key_CROSS", "A B KP_UP MOUSE_LEFT"}});
    drawn().clear();
    bindingLine(button, 0, 0, 600, 0);
    EXPECT_EQ(findText("+"), nullptr);  // more than three: all shown, no add chip
    for (const char* label : {"A", "B", "Keypad Up", "Mouse Left"})
        EXPECT_NE(findText(label), nullptr) << label;

    useSettings({{"key_CROSS", "A B"}});
    drawn().clear();
    bindingLine(button, 0, 0, 600, 0);
    const Drawn chipA = *findText("A");
    mouse(chipA.rect.x + 2, chipA.rect.y, true);
    bindingLine(button, 0, 0, 600, 0);
    useSettings({{"key_CROSS", "B"}});
    mouse(findText("B")->rect.x + 2, findText("B")->rect.y, true);
    bindingLine(button, 0, 0, 600, 0);
    EXPECT_EQ(sent(), (std::vector<std::string>{body("key_CROSS", "B"), body("key_CROSS", "NONE")}));

    drawn().clear();
    mouse(0, 0);
    bindingLine(button, 0, 0, 600, 0);
    const Drawn plus = *findText("+");
    mouse(plus.rect.x, plus.rect.y, true);
    bindingLine(button, 0, 0, 600, 0);
    EXPECT_EQ(uiState().capture.name, "CROSS");
    drawn().clear();
    mouse(0, 0);
    bindingLine(button, 0, 0, 600, 0);
    const Drawn* capture = findText("Press a key or a mouse button");
    ASSERT_NE(capture, nullptr);
    const Rect r = uiState().capture.rect;
    EXPECT_FLOAT_EQ(r.x + 10, capture->rect.x);
    EXPECT_FLOAT_EQ(r.x + r.width, 600);  // right-aligned
    mouse(r.x + 1, r.y + 1, true);
    bindingLine(button, 0, 0, 600, 0);
    EXPECT_TRUE(uiState().capture.name.empty());
    EXPECT_TRUE(sent().empty());
}

TEST_F(SettingsTest, ChipsKeepTheirPlacesUnderTheMouseAndSharedInputsAreMarkedOnEveryButton) {
    windowState().state = parseJson(kTable);
    useSettings({{"key_CROSS", "K SPACE"}, {"key_L3", "K"}});
    const Json cross = parseJson(R"(["CROSS", "Cross", "Jump"])");
    const Json l3 = parseJson(R"(["L3", "L3"])");
    // The fill of the chip whose label starts at `label`.
    const auto chipFill = [](const char* label) {
        const Drawn* text = findText(label);
        EXPECT_NE(text, nullptr) << label;
        for (const Drawn& d : drawn())
            if (text && d.kind == Drawn::kFill && d.rect.x < text->rect.x && text->rect.x < d.rect.x + d.rect.width &&
                d.rect.y < text->rect.y && text->rect.y < d.rect.y + d.rect.height)
                return d.colour;
        return Color{};
    };
    const auto same = [](Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; };
    bindingLine(cross, 0, 0, 600, 0);
    bindingLine(l3, 0, 100, 600, 0);
    // K drives both buttons: marked on each; Space only on Cross.
    EXPECT_TRUE(same(chipFill("K"), kAccentGlow));
    EXPECT_TRUE(same(chipFill("Space"), kPanelFill));
    EXPECT_EQ(std::count_if(drawn().begin(), drawn().end(), [&](const Drawn& d) {
                  return d.kind == Drawn::kFill && same(d.colour, kAccentGlow); }), 2);

    // Chips of 7 per glyph, flush right: [K ×][Space ×][+]. A double click on Space's right
    // half: were the line closed up at once, K would slide under the second click.
    drawn().clear();
    bindingLine(cross, 0, 0, 600, 0);
    ASSERT_NE(findText("K"), nullptr);
    const float kX = findText("K")->rect.x, y = findText("K")->rect.y;
    mouse(560, y, true);
    bindingLine(cross, 0, 0, 600, 0);
    mouse(560, y, true);
    drawn().clear();
    bindingLine(cross, 0, 0, 600, 0);
    EXPECT_EQ(sent(), std::vector<std::string>{body("key_CROSS", "K")});
    ASSERT_NE(findText("K"), nullptr);
    EXPECT_FLOAT_EQ(findText("K")->rect.x, kX);     // still where it stood
    EXPECT_EQ(findText("Space"), nullptr);

    // Once the pointer leaves, the line closes up; a click removes a chip as ever.
    mouse(0, 0);
    drawn().clear();
    bindingLine(cross, 0, 0, 600, 0);
    ASSERT_NE(findText("K"), nullptr);
    EXPECT_FLOAT_EQ(findText("K")->rect.x, 600 - 27 - 6 - 41 + 10);
    mouse(findText("K")->rect.x, y, true);
    bindingLine(cross, 0, 0, 600, 0);
    EXPECT_EQ(sent(), std::vector<std::string>{body("key_CROSS", "NONE")});
    drawn().clear();
    bindingLine(l3, 0, 100, 600, 0);
    EXPECT_TRUE(same(chipFill("K"), kPanelFill));   // no longer shared
}

}  // namespace
}  // namespace vlr
