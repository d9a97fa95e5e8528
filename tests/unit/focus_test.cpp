// The keyboard and gamepad focus without a window: a gamepad faked through the input seam,
// the focus order and spatial moves in one and two columns, the focus kept in view, and a
// focused widget that goes away, keys and characters meeting the focus in their order, and
// the ids the toolkit makes from where a widget stands.
#include <functional>
#include <string>
#include <vector>

#include "raylib.h"
#include "shell/shell.h"
#include "ui/focus.h"
#include "ui/input.h"
#include "ui/text_field.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

struct FakePad {
    bool connected = true;
    bool buttons[32] = {};
    float axes[6] = {};
};
FakePad pad;

class FocusTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        pad = FakePad{};
        inputCalls().gamepadAvailable = [](int i) { return i == 0 && pad.connected; };
        inputCalls().gamepadButtonDown = [](int, int b) { return pad.buttons[b]; };
        inputCalls().gamepadAxis = [](int, int a) { return pad.axes[a]; };
    }

    // One frame: what the gamepad queued (or the keys given) as the snapshot, the moves, then
    // a tab and the buttons drawn in order; names the buttons pressed.
    std::vector<std::string> frame(std::vector<int> keys = {}) {
        UiState& ui = uiState();
        ui.input.strokes.clear();
        for (const PendingInput& input : shellState().pending) ui.input.strokes.push_back({0, 0, 0, input.code});
        shellState().pending.clear();
        for (int key : keys) ui.input.strokes.push_back({key, 0, key == KEY_LEFT_SHIFT ? kModShift : 0});
        navigate(ui);
        std::vector<std::string> pressed;
        if (focusItem("0", {0, -100, 60, 40}, FocusKind::kTab, 8) && takeAction(kNavPress)) pressed.push_back("tab");
        ui.focus.inPage = true;
        for (const auto& [label, at] : widgets)
            if (button(at.x, at.y, label, kSecondary)) pressed.push_back(label);
        ui.focus.inPage = false;
        for (NavAction left : {kNavNextPage, kNavPreviousPage, kNavScrollDown, kNavStart})
            if (takeAction(left)) actionsLeft.push_back(left);
        scrolledTo = focusScroll({0, 100, 800, 500}, 0, 2000);  // as the frame asks after the page drew
        settleFocus(ui);
        return pressed;
    }
    void poll(double now) { pollGamepad(shellState(), now); }
    static std::string focused() { return uiState().focus.id; }

    std::vector<std::pair<std::string, Vector2>> twoColumns{
        {"A1", {0, 0}}, {"A2", {0, 50}}, {"A3", {0, 110}}, {"B1", {300, 0}}, {"B2", {300, 50}}};
    std::vector<std::pair<std::string, Vector2>> widgets;
    std::vector<NavAction> actionsLeft;
    float scrolledTo = 0;
};

TEST_F(FocusTest, AGamepadMovesPressesBacksOutSwitchesPagesAndScrolls) {
    widgets = twoColumns;
    frame();
    pad.buttons[GAMEPAD_BUTTON_LEFT_FACE_DOWN] = true;
    poll(0);
    frame();
    EXPECT_EQ(focused(), "button:A1");  // the first move without a focus: the page's first widget
    poll(0.1);
    poll(0.39);
    EXPECT_TRUE(shellState().pending.empty()) << "held: no repeat before 400 ms";
    poll(0.4);
    frame();
    EXPECT_EQ(focused(), "button:A2");
    poll(0.45);
    EXPECT_TRUE(shellState().pending.empty()) << "then every 80 ms";
    poll(0.49);
    frame();
    EXPECT_EQ(focused(), "button:A3");
    pad.buttons[GAMEPAD_BUTTON_LEFT_FACE_DOWN] = false;
    poll(0.5);

    pad.buttons[GAMEPAD_BUTTON_LEFT_FACE_RIGHT] = true;  // the nearest to the right: level with it
    poll(1);
    frame();
    EXPECT_EQ(focused(), "button:B2");
    pad.buttons[GAMEPAD_BUTTON_LEFT_FACE_RIGHT] = false;
    pad.axes[GAMEPAD_AXIS_LEFT_Y] = -1;                 // the left stick up
    poll(2);
    frame();
    EXPECT_EQ(focused(), "button:B1");
    pad.axes[GAMEPAD_AXIS_LEFT_Y] = 0;

    pad.buttons[GAMEPAD_BUTTON_RIGHT_FACE_DOWN] = true;  // A
    poll(3);
    EXPECT_EQ(frame(), std::vector<std::string>{"B1"});
    poll(3.5);
    EXPECT_TRUE(frame().empty()) << "A held presses once";
    pad.buttons[GAMEPAD_BUTTON_RIGHT_FACE_DOWN] = false;
    pad.buttons[GAMEPAD_BUTTON_RIGHT_FACE_RIGHT] = true;  // B: out to the tab bar
    poll(4);
    frame();
    EXPECT_EQ(focused(), "tab:0");
    pad.buttons[GAMEPAD_BUTTON_RIGHT_FACE_RIGHT] = false;

    pad.buttons[GAMEPAD_BUTTON_RIGHT_TRIGGER_1] = true;
    pad.buttons[GAMEPAD_BUTTON_LEFT_TRIGGER_1] = true;
    pad.buttons[GAMEPAD_BUTTON_MIDDLE_RIGHT] = true;
    pad.axes[GAMEPAD_AXIS_RIGHT_Y] = 0.9f;
    poll(5);
    frame();
    EXPECT_EQ(actionsLeft, (std::vector<NavAction>{kNavNextPage, kNavPreviousPage, kNavScrollDown, kNavStart}));

    pad.connected = false;  // unplugged: forgotten
    poll(6);
    EXPECT_EQ(shellState().gamepad.pad, -1);
    EXPECT_TRUE(shellState().pending.empty());
}

TEST_F(FocusTest, OrderAndMovesInOneAndTwoColumnsKeptInViewAndAWidgetThatGoes) {
    widgets = twoColumns;
    frame();
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i) {
        frame({KEY_TAB});
        order.push_back(focused());
    }
    // Column by column as drawn, then round to the tab bar.
    EXPECT_EQ(order, (std::vector<std::string>{"button:A1", "button:A2", "button:A3", "button:B1", "button:B2",
                                               "tab:0"}));
    frame({KEY_TAB, KEY_TAB, KEY_TAB, KEY_RIGHT});
    EXPECT_EQ(focused(), "button:B2");  // right of A3: B2 is the nearer in height
    frame({KEY_LEFT});
    EXPECT_EQ(focused(), "button:A2");  // left of B2: level with it

    // One column: B below A; Down from A3 goes on to B1.
    widgets = {{"A1", {0, 0}}, {"A2", {0, 50}}, {"A3", {0, 110}}, {"B1", {0, 900}}, {"B2", {0, 950}}};
    frame();
    frame({KEY_DOWN, KEY_DOWN});
    EXPECT_EQ(focused(), "button:B1");
    // Moved to below the view: the page scrolls it in with a margin, and no further.
    EXPECT_FLOAT_EQ(scrolledTo, 900 + 39 - (600 - 24));
    frame();
    EXPECT_FLOAT_EQ(scrolledTo, 0) << "only a move scrolls";

    // The focused widget goes: its nearest neighbour takes the focus (A2 is 50 from A1, 60 from A3).
    widgets = twoColumns;
    uiState().focus.id.clear();
    frame();
    frame({KEY_TAB, KEY_TAB});
    ASSERT_EQ(focused(), "button:A2");
    widgets.erase(widgets.begin() + 1);
    frame();
    EXPECT_EQ(focused(), "button:A1");
}

// Keys and characters of one frame, as the window queues them, through the frame's steps:
// each field takes what was typed while it had the focus, across every move and commit.
TEST_F(FocusTest, KeysAndCharactersOfOneFrameMeetTheFocusInTheOrderTheyCame) {
    EditBuffer first, second;
    std::vector<std::string> commits;
    UiState& ui = uiState();
    ShellState& shell = shellState();
    const auto frames = [&] {
        for (int i = 0; i < 10; ++i) {
            takeInput(ui, shell);
            navigate(ui);
            ui.focus.inPage = true;
            if (textField(first, {0, 0, 200, 39}, "", 11, 0, false)) commits.push_back("1:" + first.text);
            if (textField(second, {0, 60, 200, 39}, "", 11, 0, false)) commits.push_back("2:" + second.text);
            ui.focus.inPage = false;
            settleFocus(ui);
            if (shell.pending.empty() && ui.input.later.empty()) return;
        }
        ADD_FAILURE() << "the queue never emptied";
    };
    const auto key = [&](int code, int mods = 0) { queueInput(shell, {PendingInput::kKey, code, 0, 0, mods}); };
    const auto typed = [&](const char* text) {
        for (const char* c = text; *c != '\0'; ++c) {
            key(*c - 'a' + KEY_A);
            queueInput(shell, {PendingInput::kChar, *c});
        }
    };
    frames();
    key(KEY_TAB);
    frames();
    ASSERT_EQ(ui.focused, &first);

    typed("ab");
    key(KEY_TAB);
    typed("c");
    frames();
    EXPECT_EQ(first.text, "ab");
    EXPECT_EQ(second.text, "c");
    EXPECT_EQ(ui.focused, &second);

    // Enter commits and the field goes on taking keys; Escape leaves it, and what comes after
    // has no field to go to.
    typed("d");
    key(KEY_ENTER);
    typed("e");
    key(KEY_ESCAPE);
    typed("f");
    frames();
    EXPECT_EQ(second.text, "cde");
    EXPECT_EQ(ui.focused, nullptr);

    // Enter edits the focused field again; the Backspaces act on it, not on the field Shift+Tab
    // goes to after them.
    key(KEY_ENTER);
    typed("g");
    key(KEY_BACKSPACE);
    key(KEY_BACKSPACE);
    key(KEY_LEFT_SHIFT, kModShift);
    key(KEY_TAB, kModShift);
    typed("h");
    frames();
    EXPECT_EQ(second.text, "cd");
    EXPECT_EQ(first.text, "abh");
    EXPECT_EQ(ui.focused, &first);
    EXPECT_EQ(commits, (std::vector<std::string>{"1:ab", "2:cd", "2:cde", "2:cd"}));
}

TEST_F(FocusTest, IdsAreTheKindThenThePageCardAndName) {
    UiState& ui = uiState();
    EditBuffer first, second;
    {
        const FocusScope page("Play");
        card(0, 0, 400, "Game disc", [&](float x, float y, float w) {
            button(x, y, "Browse", kSecondary);
            button(x, y + 50, "Browse", kSecondary);
            textField(first, {x, y + 100, w, 39}, "", 11, 0, false);
            textField(second, {x, y + 150, w, 39}, "", 11, 0, false);
            return 200.0f;
        });
        focusItem("Play", {500, 0, 100, 50}, FocusKind::kButton, 8);  // after the card, outside it
    }
    focusItem("0", {0, -100, 60, 40}, FocusKind::kTab, 8);  // outside the page
    std::vector<std::string> ids;
    for (const FocusItem& item : ui.focus.items) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"button:Play/Game disc/Browse", "button:Play/Game disc/Browse#2",
                                             "field:Play/Game disc", "field:Play/Game disc#2", "button:Play/Play",
                                             "tab:0"}));

    // A card whose drawing differs from its measuring (a widget only measured, one only
    // drawn): the list holds what was drawn, in order, each widget under its own id.
    settleFocus(ui);
    {
        const FocusScope page("Play");
        card(0, 0, 400, "Save profile", [&](float x, float y, float) {
            if (!ui.drawing) button(x, y, "Measured", kSecondary);
            button(x, y + 50, "Both", kSecondary);
            if (ui.drawing) button(x, y + 100, "Drawn", kSecondary);
            button(x, y + 150, "Both", kSecondary);
            return 200.0f;
        });
    }
    ids.clear();
    for (const FocusItem& item : ui.focus.items) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"button:Play/Save profile/Both", "button:Play/Save profile/Drawn",
                                             "button:Play/Save profile/Both#2"}));
    EXPECT_EQ(ui.focus.items[1].rect.y, ui.focus.items[0].rect.y + 50);

    // A field clicked into holds the focus under its own id, the second of the two.
    ui.focused = &second;
    settleFocus(ui);
    textField(first, {19, 119, 362, 39}, "", 11, 0, false);
    textField(second, {19, 169, 362, 39}, "", 11, 0, false);
    EXPECT_EQ(focused(), "field:#2");
}

}  // namespace
}  // namespace vlr
