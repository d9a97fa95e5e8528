/*******************************************************************************************
*  input.h — the text field and the select box
*
*  The two input widgets more than one page needs. Both are immediate-mode: called in the
*  measuring and the drawing pass of their card, reacting to the mouse only while drawing.
*  The select box opens the frame's drop-down list and picks up the chosen row.
*******************************************************************************************/
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_state.h"

namespace vlr {

// Index of the item chosen from the drop-down list this frame, or -1.
int selectBox(std::string_view id, Rect r, const std::vector<std::string>& items, std::string_view shown);

// Draws and edits one field; true once per commit (Enter, or a click outside while focused).
// r and inset are in pixels, already multiplied by the UI scale like every caller-given length.
bool textField(EditBuffer& buffer, Rect r, std::string_view placeholder, float inset, int maxChars, bool numeric);

// Keyboard handling of the focused field (typed characters, paste, deleting, caret keys).
void editKeys(EditBuffer& buffer, int maxChars, bool numeric);

// A modifier key (kModShift, kModControl, kModSuper) held down now, left or right.
bool modifierHeld(int mod);

// A modifier held with a key press: reported with the press, or held down now.
bool strokeHas(const Keystroke& stroke, int mod);

// True when the key was pressed this frame with the modifier held.
bool pressedWith(const InputSnapshot& in, int key, int mod);

// Keeps the strokes `keep` says yes to, asked in the order they came, and the snapshot's keys,
// auto-repeat flags and characters in step with them (what the window took for itself is
// no longer a page's).
void keepStrokes(InputSnapshot& in, const std::function<bool(const Keystroke&)>& keep);

// Inserts at the caret; an insertion past maxChars (0 = no limit) is refused whole.
void insertText(EditBuffer& buffer, std::string_view text, int maxChars, bool numeric);

// ---- selection and words ----

// The selected bytes [start, end) of a field; start == end when nothing is selected.
struct Selection {
    std::size_t start = 0, end = 0;
    bool empty() const { return start == end; }
};
Selection selectionOf(const EditBuffer& buffer);

// Removes the selected text and puts the caret where it was; false when nothing was selected.
bool eraseSelection(EditBuffer& buffer);

// Where Ctrl+Left and Ctrl+Right go from `pos`: over spaces, then over one run of word
// characters (letters, digits, "_" and every non-ASCII character) or of other punctuation.
// A path's folders are words of their own.
std::size_t wordLeft(std::string_view text, std::size_t pos);
std::size_t wordRight(std::string_view text, std::size_t pos);

// The run a double click at `pos` selects: the word, punctuation or spaces around it.
Selection wordAt(std::string_view text, std::size_t pos);

// ---- window seam ----
// The window queries the widgets and pages make. Tests swap them to feed keys, the clipboard and
// the window size without a window; the program never changes them.
struct InputCalls {
    bool (*keyDown)(int key);
    const char* (*clipboardText)();   // null when the clipboard holds no text
    int (*screenWidth)();             // the width pages lay out against
    int (*screenHeight)();
    void (*setClipboardText)(const char* text);
    std::vector<std::string> (*droppedFiles)();  // files dropped on the window since the last frame
    // Gamepads as the window library maps them (its standard layout); read by the main loop.
    bool (*gamepadAvailable)(int pad) = nullptr;
    bool (*gamepadButtonDown)(int pad, int button) = nullptr;
    float (*gamepadAxis)(int pad, int axis) = nullptr;
};
InputCalls& inputCalls();       // held with the window-wide records
InputCalls raylibInputCalls();  // what the program uses

}  // namespace vlr
