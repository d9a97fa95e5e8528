/*******************************************************************************************
*  settings.h — the Settings page: the game settings editor
*
*  The launcher owns the game's settings file and publishes it as a list of key/value texts
*  with a change counter (the stamp), plus a table that says how to lay the page out. The
*  page draws from the table on every frame, edits the window's copy of the list and sends
*  every single change at once with saveSetting (settings_model.h); nothing is batched.
*
*  Sections: records · editor sizes · page and rows · value editors · key bindings · key names
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/json.h"
#include "ui/ui_state.h"

namespace vlr {

// ---- records ----

// A binding line whose chips keep their places after a click removed one, until the pointer
// leaves them: the chip beside it never slides under the second click of a double click.
struct HeldChips {
    std::string key;                 // the line's setting ("key_" + button); empty = none
    std::vector<std::string> names;  // its inputs when the first click came, each in its place
    std::vector<bool> gone;          // per place: removed since
    Rect area;                       // the chips' block; the pointer outside it ends the hold
};

// The click on "+" that started a key capture, when and where: "+" turns into the capture
// chip under the pointer, and the second click of a double click must not cancel the capture.
struct CaptureClick {
    double time = -1;           // uiClock(); -1 = started by the keys
    float x = 0, y = 0;
};

// What the settings editors keep between frames. Edit buffers never move once made: the
// focused text field points at one of them.
struct SettingsRecords {
    std::deque<std::pair<std::string, EditBuffer>> buffers;  // by name (setting key)
    std::string activeSlider;   // key of the slider being dragged; empty = none
    double dragValue = 0;       // that slider's value during the drag
    EditBuffer filter;          // the page's filter; the window's own, never sent
    HeldChips held;
    CaptureClick captureClick;
};

SettingsRecords& settingsRecords();  // one of the window-wide records (shell/records.h)

// ---- editor sizes ----

// Lengths at scale 1: the rows are laid out by them and the editors drawn by them.
inline constexpr float kEditorHeight = 35;   // choice, select, number and text editors
inline constexpr float kNumberWidth = 84;
inline constexpr float kNumberGap = 16;      // between the fields of a pair, the "×" in its middle
inline constexpr float kTextWidth = 220;
inline constexpr float kRangeWidth = 226;    // the slider's track and the value after it
inline constexpr float kRangeHeight = 21;
inline constexpr float kToggleWidth = 38;
inline constexpr float kToggleHeight = 22;
inline constexpr float kChoiceRadius = 9;    // a choice's outer corners (its segments': kChipRadius)
inline constexpr float kKnobRadius = 8;      // the slider's and the toggle's knob
inline constexpr float kTrackRadius = 2;     // the slider's track
inline constexpr float kTrackHeight = 4;

// ---- page and rows ----

float settingsPage(const PageArea& area);

// The filter's words, lower case (ASCII letters); none when it holds only spaces. A row shows
// when every word is part of its label or of one of its keys, whatever the case.
inline constexpr int kFilterMaxChars = 100;   // longer than any label: the rest could match nothing
std::vector<std::string> filterWords(std::string_view text);
bool filterMatches(const std::vector<std::string>& words, std::initializer_list<std::string_view> texts);

enum class EditorKind { Choice, Range, Select, Number, Text, Toggle };
EditorKind editorKind(const Json& row);
float editorWidth(const Json& row);
float editorHeight(const Json& row);

// A row shows when the list has its "key" and, when it names one, its "and" partner.
bool rowVisible(const Json& row);

// True while drawing when the band [y, y + height) lies wholly outside the current clip:
// rows there are only measured, which keeps long pages cheap to draw.
bool offClip(float y, float height);

// One setting row of a card: separator, label and help on the left, the editor on the right.
float settingRow(const Json& row, float x, float y, float width, bool first, bool last);

// ---- value editors ----

void valueEditor(const Json& row, float x, float y);

float choiceWidth(const Json& options);
// `id` names the row for the keyboard focus; Left and Right step through the options.
int choiceEditor(std::string_view id, float x, float y, const Json& options, std::string_view current);

// The whole value under the mouse on a track starting at trackLeft, trackWidth wide.
double sliderValueAt(float mouseX, float trackLeft, float trackWidth, std::int64_t lo, std::int64_t hi);
// True in the frame in which a drag of this slider ends; value follows the mouse meanwhile.
bool slider(std::string_view id, float x, float y, std::int64_t lo, std::int64_t hi, double& value);

void numberField(const std::string& key, float x, float y, const Json& bounds);
// A number field's commit: the text as a base-10 integer (0 when it holds none), clamped.
std::string clampNumber(std::string_view text, std::int64_t lo, std::int64_t hi);

// ---- key bindings ----

// Content of the card "Keyboard and mouse" for the visible PS2 buttons, in table order.
float keyBindingsCard(const std::vector<const Json*>& buttons, float x, float y, float width);
// One button's line; lineHeight 0 asks for the line's own height only.
float bindingLine(const Json& button, float x, float y, float width, float lineHeight);

// A captured input for a PS2 button's binding ("key_" + button, input code).
void addBinding(const std::string& setting, int code);

// ---- key names ----

// Input codes are raylib's key codes (KEY_*); the mouse buttons and the wheel, which a binding
// can name too, get codes past them: a raylib MouseButton plus kMouseButtonCode, and the wheel's
// two directions.
inline constexpr int kMouseButtonCode = 1000;
inline constexpr int kWheelUpCode = 1010;
inline constexpr int kWheelDownCode = 1011;

std::string keyName(int code);
std::vector<std::string> splitBinding(std::string_view value);
std::string joinBinding(const std::vector<std::string>& names);
std::string displayName(std::string_view name);
std::size_t keyNameTableSize();

}  // namespace vlr
