/*******************************************************************************************
*  text_field.h — the text field
*
*  Immediate-mode: called in the measuring and the drawing pass of its card, reacting to the
*  mouse only while drawing. Its state is an EditBuffer the caller keeps.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <string_view>

#include "ui/ui_state.h"

namespace vlr {

// Draws and edits one field; true once per commit (Enter, or a click outside while focused).
// r and inset are in pixels, already multiplied by the UI scale like every caller-given length.
bool textField(EditBuffer& buffer, Rect r, std::string_view placeholder, float inset, int maxChars, bool numeric);

// Keyboard handling of the focused field (typed characters, paste, deleting, caret keys).
void editKeys(EditBuffer& buffer, int maxChars, bool numeric);

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

}  // namespace vlr
