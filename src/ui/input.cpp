/*******************************************************************************************
*  input.cpp — the text field and the select box
*
*  Both widgets measure with regular 14's advance table, so caret placement, scrolling and
*  the drawn text agree to the pixel. Window queries and the two raylib shapes they draw go
*  through seams, so the editing and drawing paths run in tests without a window.
*
*  Sections: window seam, UTF-8 stepping, select box, text field, editing.
*******************************************************************************************/
#include "ui/input.h"

#include <algorithm>

#include "raylib.h"
#include "ui/fonts.h"
#include "ui/widgets.h"

namespace vlr {

namespace {


}  // namespace

// ---- window seam ----

InputCalls raylibInputCalls() { return {IsKeyDown, GetClipboardText, GetScreenWidth, GetScreenHeight}; }

// ---- UTF-8 stepping ----

std::size_t nextCharLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = (lead & 0x80) == 0x00   ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 1;
    return length > text.size() - pos ? 1 : length;
}

// Walks forward from the start rather than back over continuation bytes: with malformed bytes
// the two disagree, and Left/Backspace must stop where Right/Delete do.
std::size_t previousCharStart(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    std::size_t start = 0;
    for (std::size_t at = 0; at < pos; at += nextCharLength(text, at)) start = at;
    return start;
}

namespace {

std::size_t countChars(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += nextCharLength(text, at)) ++count;
    return count;
}

// The launcher may replace the text under a focused field; the caret must stay inside it and
// on a character boundary.
void keepCaretValid(EditBuffer& b) {
    const std::size_t size = b.text.size();
    const auto caret = static_cast<std::size_t>(std::min<std::uint64_t>(b.caret, size));
    b.caret = caret < size ? previousCharStart(b.text, caret + 1) : size;
}

}  // namespace

// ---- select box ----

namespace {

void openList(std::string_view id, Rect r, const std::vector<std::string>& items) {
    DropDown& list = uiState().dropDown;
    float widest = 0;
    for (const std::string& item : items) widest = std::max(widest, textWidth(kRegular14, item));
    const float width = std::max(r.width, widest + sc(36));
    const float height = sc(30 * static_cast<float>(items.size()) + 8);
    float top = r.y + r.height + sc(4);
    const float above = r.y - sc(4) - height;
    if (top + height > static_cast<float>(inputCalls().screenHeight()) && above > 0) top = above;
    list.rect = snap({r.x, top, width, height});
    list.items = items;
    list.chosen = -1;
    list.owner = std::string(id);
    list.open = true;
}

// The chosen row indexes the items copied when the list opened; the caller's items may have
// changed since (a new state from the launcher), so the row is found again by its text.
int chosenInCurrentItems(const DropDown& list, const std::vector<std::string>& items) {
    const auto row = static_cast<std::size_t>(list.chosen);
    if (row >= list.items.size()) return -1;
    if (row < items.size() && items[row] == list.items[row]) return list.chosen;
    const auto found = std::find(items.begin(), items.end(), list.items[row]);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

}  // namespace

int selectBox(std::string_view id, Rect r, const std::vector<std::string>& items, std::string_view shown) {
    UiState& ui = uiState();
    DropDown& list = ui.dropDown;
    r = snap(r);

    int result = -1;
    if (ui.drawing && list.owner == id && list.chosen >= 0) {
        result = chosenInCurrentItems(list, items);
        list.chosen = -1;
    }

    if (isHovered(r)) {
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
        if (takeClick()) openList(id, r, items);
    }

    if (ui.drawing) {
        const Color outline = list.open && list.owner == id ? kAccent : kLine;
        Rect box = r;
        drawRoundedBox(box, sc(8), outline, kWindowBg);
        // Only a text too long for the box is cut: a fitting one keeps its last glyph's overhang.
        const Rect textBox{r.x, r.y, r.width - sc(24), r.height};
        const bool overflows = sc(11) + textWidth(kRegular14, shown) > textBox.width;
        if (overflows) pushClip(textBox);
        drawTextRun(kRegular14, shown, r.x + sc(11), r.y + r.height / 2, kTextPrimary, 0);
        if (overflows) popClip();
        const float cx = r.x + r.width - sc(15);
        const float cy = r.y + r.height / 2 + sc(2.5f);
        const float arm = sc(4);
        drawCalls().line({cx - arm, cy - arm}, {cx, cy}, sc(1.5f), kTextSecondary);
        drawCalls().line({cx, cy}, {cx + arm, cy - arm}, sc(1.5f), kTextSecondary);
    }
    return result;
}

// ---- text field ----

namespace {

// The caret goes before the glyph under the mouse when the click is on its left half.
std::uint64_t caretAtMouse(const EditBuffer& b, float textX, float mouseX) {
    const FontSlot& font = fontSlot(kRegular14);
    float pen = textX - b.scroll;
    std::size_t caret = 0;
    for (std::size_t pos = 0; pos < b.text.size();) {
        const float advance = advanceOf(font, decodeUtf8(b.text, pos));
        if (pen + advance / 2 > mouseX) break;
        caret = pos;
        pen += advance;
    }
    return caret;
}

}  // namespace

bool textField(EditBuffer& b, Rect r, std::string_view placeholder, float inset, int maxChars, bool numeric) {
    UiState& ui = uiState();
    r = snap(r);
    const float tx = r.x + inset;

    if (isHovered(r)) {
        ui.input.wantedCursor = MOUSE_CURSOR_IBEAM;
        if (takeClick()) {
            ui.focused = &b;
            b.caret = b.text.empty() ? 0 : caretAtMouse(b, tx, ui.input.mouseX);
        }
    }

    if (ui.drawing) {
        b.rect = r;
        const bool focused = ui.focused == &b;
        keepCaretValid(b);
        if (focused) editKeys(b, maxChars, numeric);

        const float cw = textWidth(kRegular14, std::string_view(b.text).substr(0, b.caret));
        const float iw = r.width - 2 * inset;
        if (!focused) {
            b.scroll = 0;
        } else if (cw < b.scroll) {
            b.scroll = cw;
        } else if (b.scroll < cw - iw) {
            b.scroll = cw - iw;
        }

        if (focused) {
            Rect halo{r.x - sc(3), r.y - sc(3), r.width + sc(6), r.height + sc(6)};
            drawRoundedBox(halo, sc(11), kAccentGlow, kTransparent, sc(3));
        }
        Rect box = r;
        drawRoundedBox(box, sc(8), focused ? kAccent : kLine, kWindowBg);

        // As in the select box: cut only what can run past the field.
        const float shownWidth = textWidth(kRegular14, b.text.empty() ? placeholder : std::string_view(b.text));
        const bool overflows = b.scroll > 0 || shownWidth > iw;
        if (overflows) pushClip({tx - sc(1), r.y, iw + sc(2), r.height});
        const float centreY = r.y + r.height / 2;
        if (b.text.empty()) drawTextRun(kRegular14, placeholder, tx, centreY, kPlaceholder, 0);
        drawTextRun(kRegular14, b.text, tx - b.scroll, centreY, kTextPrimary, 0);
        if (focused) {
            const float h = fontSlot(kRegular14).drawingSize;
            const Rect caret = snap({tx - b.scroll + cw, centreY - h / 2, std::max(1.0f, roundHalfAway(ui.scale)), h});
            drawCalls().rectangle(toRaylib(caret), kTextPrimary);
        }
        if (overflows) popClip();
    }

    // Also while only measuring: the first call after a commit reports it, and only that one.
    const bool committed = b.lostFocus;
    b.lostFocus = false;
    return committed;
}

// ---- editing ----

void editKeys(EditBuffer& b, int maxChars, bool numeric) {
    const InputCalls& sys = inputCalls();
    const InputSnapshot& in = uiState().input;
    keepCaretValid(b);

    bool modifier = false;
    for (int key : {KEY_LEFT_CONTROL, KEY_RIGHT_CONTROL, KEY_LEFT_SUPER, KEY_RIGHT_SUPER})
        modifier = modifier || sys.keyDown(key);

    // In the order they came: "ab" then Backspace leaves "a", Backspace then "ab" leaves "ab".
    for (const Keystroke& stroke : in.strokes) {
        if (stroke.codepoint != 0) {
            int size = 0;
            const char* utf8 = CodepointToUTF8(stroke.codepoint, &size);
            insertText(b, std::string_view(utf8, static_cast<std::size_t>(std::max(0, size))), maxChars, numeric);
            continue;
        }
        const std::size_t caret = static_cast<std::size_t>(b.caret);
        switch (stroke.key) {
        case KEY_V:
            if (const char* clip = modifier ? sys.clipboardText() : nullptr) {
                std::string text(clip);
                for (char& c : text)
                    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
                insertText(b, text, maxChars, numeric);
            }
            break;
        case KEY_BACKSPACE:
            if (caret > 0) {
                const std::size_t start = previousCharStart(b.text, caret);
                b.text.erase(start, caret - start);
                b.caret = start;
                b.edited = true;
            }
            break;
        case KEY_DELETE:
            if (caret < b.text.size()) {
                b.text.erase(caret, nextCharLength(b.text, caret));
                b.edited = true;
            }
            break;
        case KEY_LEFT: b.caret = previousCharStart(b.text, caret); break;
        case KEY_RIGHT:
            if (caret < b.text.size()) b.caret += nextCharLength(b.text, caret);
            break;
        case KEY_HOME: b.caret = 0; break;
        case KEY_END: b.caret = b.text.size(); break;
        case KEY_ENTER:
        case KEY_KP_ENTER:
            // The field commits here; what was typed after Enter is not part of this value.
            b.lostFocus = true;
            return;
        default: break;
        }
    }
}

void insertText(EditBuffer& b, std::string_view text, int maxChars, bool numeric) {
    std::string added;
    if (numeric) {
        for (char c : text)
            if ((c >= '0' && c <= '9') || c == '-') added += c;
    } else {
        added = text;
    }
    if (added.empty()) return;
    if (maxChars > 0 && countChars(b.text + added) > static_cast<std::size_t>(maxChars)) return;
    keepCaretValid(b);
    b.text.insert(static_cast<std::size_t>(b.caret), added);
    b.caret += added.size();
    b.edited = true;
}

}  // namespace vlr
