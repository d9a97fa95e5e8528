/*******************************************************************************************
*  text_field.cpp — the text field: clicks, selection, words, editing keys, drawing
*
*  Measured with regular 14's advance table, so caret placement, scrolling and the drawn
*  text agree to the pixel. The clipboard and the keys held go through the input seam, so
*  the editing and drawing paths run in tests without a window.
*
*  Sections: selection and words, text field, editing.
*******************************************************************************************/
#include "ui/text_field.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "raylib.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/input.h"

namespace vlr {

namespace {

std::size_t countChars(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += nextCharLength(text, at)) ++count;
    return count;
}

std::uint64_t onBoundary(const std::string& text, std::uint64_t pos) {
    return charStartAt(text, static_cast<std::size_t>(std::min<std::uint64_t>(pos, text.size())));
}

// The launcher may replace the text under a focused field; the caret and the selection must
// stay inside it and on character boundaries.
void keepCaretValid(EditBuffer& b) {
    b.caret = onBoundary(b.text, b.caret);
    if (b.anchor != kNoAnchor) b.anchor = onBoundary(b.text, b.anchor);
}

}  // namespace

// ---- selection and words ----

Selection selectionOf(const EditBuffer& b) {
    if (b.anchor == kNoAnchor) return {};
    const auto size = b.text.size();
    const auto caret = static_cast<std::size_t>(std::min<std::uint64_t>(b.caret, size));
    const auto anchor = static_cast<std::size_t>(std::min<std::uint64_t>(b.anchor, size));
    return {std::min(caret, anchor), std::max(caret, anchor)};
}

bool eraseSelection(EditBuffer& b) {
    const Selection sel = selectionOf(b);
    b.anchor = kNoAnchor;
    if (sel.empty()) return false;
    b.text.erase(sel.start, sel.end - sel.start);
    b.caret = sel.start;
    b.edited = true;
    b.passing = false;
    return true;
}

namespace {

enum class CharKind { Space, Word, Other };

CharKind kindAt(std::string_view text, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c == ' ' || c == '\t') return CharKind::Space;
    if (c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
        return CharKind::Word;
    return CharKind::Other;
}

}  // namespace

std::size_t wordLeft(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    while (pos > 0 && kindAt(text, previousCharStart(text, pos)) == CharKind::Space) pos = previousCharStart(text, pos);
    if (pos == 0) return 0;
    const CharKind kind = kindAt(text, previousCharStart(text, pos));
    while (pos > 0 && kindAt(text, previousCharStart(text, pos)) == kind) pos = previousCharStart(text, pos);
    return pos;
}

std::size_t wordRight(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    while (pos < text.size() && kindAt(text, pos) == CharKind::Space) pos += nextCharLength(text, pos);
    if (pos == text.size()) return pos;
    const CharKind kind = kindAt(text, pos);
    while (pos < text.size() && kindAt(text, pos) == kind) pos += nextCharLength(text, pos);
    return pos;
}

Selection wordAt(std::string_view text, std::size_t pos) {
    if (text.empty()) return {};
    pos = std::min(pos, text.size());
    // A click past the last character takes the run before it.
    const std::size_t at = pos < text.size() ? charStartAt(text, pos) : previousCharStart(text, pos);
    const CharKind kind = kindAt(text, at);
    std::size_t start = at;
    while (start > 0 && kindAt(text, previousCharStart(text, start)) == kind) start = previousCharStart(text, start);
    std::size_t end = at;
    while (end < text.size() && kindAt(text, end) == kind) end += nextCharLength(text, end);
    return {start, end};
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

// A click puts the caret under the mouse and starts a drag selection; Shift extends the
// selection of a focused field; a second click at the same place soon after takes a word.
void clickField(EditBuffer& b, float tx) {
    UiState& ui = uiState();
    const InputSnapshot& in = ui.input;
    const double now = uiClock();
    const float near = sc(4);  // how far a second click may be from the first
    const bool twice = ui.lastClicked == &b && now - ui.lastClickTime < 0.5 &&
                       std::abs(in.mouseX - ui.lastClickX) <= near && std::abs(in.mouseY - ui.lastClickY) <= near;
    const bool extend = ui.focused == &b && modifierHeld(kModShift);
    const std::uint64_t before = b.caret;
    ui.focused = &b;
    b.passing = false;
    keepCaretValid(b);
    b.caret = b.text.empty() ? 0 : caretAtMouse(b, tx, in.mouseX);
    if (twice) {
        const Selection word = wordAt(b.text, static_cast<std::size_t>(b.caret));
        b.anchor = word.start;
        b.caret = word.end;
        ui.lastClicked = nullptr;  // a third click starts afresh
        return;
    }
    if (!extend || b.anchor == kNoAnchor) b.anchor = extend ? before : b.caret;
    ui.dragging = &b;
    ui.lastClicked = &b;
    ui.lastClickTime = now;
    ui.lastClickX = in.mouseX;
    ui.lastClickY = in.mouseY;
}

}  // namespace

bool textField(EditBuffer& b, Rect r, std::string_view placeholder, float inset, int maxChars, bool numeric) {
    UiState& ui = uiState();
    r = snap(r);
    const float tx = r.x + inset;

    if (isHovered(r)) {
        ui.input.wantedCursor = MOUSE_CURSOR_IBEAM;
        if (takeClick()) clickField(b, tx);
    }

    // A field the keys or the gamepad move to starts editing at the end of its text; one left
    // with Escape starts again on Enter. Focus that only passes over a field commits nothing.
    FocusState& focus = ui.focus;
    // A field is named by where it stands (page, card, row); a second one there gets "#2".
    const bool navFocused =
        focusItem("", r, FocusKind::kField, sc(kControlRadius), AccessAbout().named(placeholder).showing(b.text));
    if (const platform::AccessRequest* set = takeAccessValue()) {
        // A reader's value: typed over the whole text and entered.
        b.text.clear();
        b.caret = 0;
        b.anchor = kNoAnchor;
        insertText(b, set->text, maxChars, numeric);
        b.edited = true;
        b.passing = false;
        b.lostFocus = true;
        if (ui.focused == &b) ui.focused = nullptr;
    }
    if (ui.drawing && ui.focused == &b) {
        focus.id = lastFocusId();  // clicked into: Tab goes on from here
        focus.rect = r;
        focus.kind = FocusKind::kField;
        focus.seen = true;
    } else if (navFocused && ui.controlsOff.empty() && (focus.arrived || takeAction(kNavPress))) {
        ui.focused = &b;
        b.passing = focus.arrived;
        b.caret = b.text.size();
        b.anchor = kNoAnchor;
    }

    if (ui.drawing) {
        b.rect = r;
        const bool focused = ui.focused == &b;
        const Faded off(!focused && !ui.controlsOff.empty());  // a field being typed in stays as it is
        keepCaretValid(b);
        if (focused && ui.dragging == &b) {
            if (ui.input.mouseDown) {
                b.caret = caretAtMouse(b, tx, ui.input.mouseX);
            } else {
                ui.dragging = nullptr;
                if (b.anchor == b.caret) b.anchor = kNoAnchor;
            }
        }
        if (!focused) {
            b.anchor = kNoAnchor;  // an unfocused field shows no selection
            if (ui.dragging == &b) ui.dragging = nullptr;
        }
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

        // The editing halo, unless the focus ring stands there already (it would tint its light line).
        if (focused && !(navFocused && focus.visible)) {
            const float glow = sc(3);  // the editing halo's width, around the outline
            Rect halo{r.x - glow, r.y - glow, r.width + 2 * glow, r.height + 2 * glow};
            drawRoundedBox(halo, sc(kControlRadius + 3), kAccentGlow, kTransparent, glow);
        }
        Rect box = r;
        drawRoundedBox(box, sc(kControlRadius), focused ? kAccent : kLine, kWindowBg);

        // As in the select box: cut only what can run past the field.
        const float shownWidth = textWidth(kRegular14, b.text.empty() ? placeholder : std::string_view(b.text));
        const bool overflows = b.scroll > 0 || shownWidth > iw;
        if (overflows) pushClip({tx - sc(1), r.y, iw + sc(2), r.height});  // a pixel of room for the caret at either end
        const float centreY = r.y + r.height / 2;
        const Selection sel = selectionOf(b);
        if (focused && !sel.empty()) {
            // Behind the text, moving with it as the field scrolls.
            const float h = fontSlot(kRegular14).drawingSize;
            const std::string_view text(b.text);
            const float from = tx - b.scroll + textWidth(kRegular14, text.substr(0, sel.start));
            const float to = from + textWidth(kRegular14, text.substr(sel.start, sel.end - sel.start));
            drawCalls().rectangle(toRaylib(snap({from, centreY - h / 2, to - from, h})), kSelection);
        }
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
    const bool committed = b.lostFocus && !b.passing;
    if (b.lostFocus) b.passing = false;
    b.lostFocus = false;
    return committed;
}

// ---- editing ----

namespace {

// Caret keys move the caret; with Shift they carry the selection along from where it started.
void moveCaret(EditBuffer& b, std::size_t to, bool extend) {
    if (extend && b.anchor == kNoAnchor) b.anchor = b.caret;
    if (!extend) b.anchor = kNoAnchor;
    b.caret = to;
}

void eraseRange(EditBuffer& b, std::size_t from, std::size_t to) {
    if (to <= from) return;
    b.text.erase(from, to - from);
    b.caret = from;
    b.edited = true;
    b.passing = false;
}

}  // namespace

void editKeys(EditBuffer& b, int maxChars, bool numeric) {
    const InputCalls& sys = inputCalls();
    InputSnapshot& in = uiState().input;
    keepCaretValid(b);

    // In the order they came: "ab" then Backspace leaves "a", Backspace then "ab" leaves "ab".
    for (std::size_t at = 0; at < in.strokes.size(); ++at) {
        const Keystroke& stroke = in.strokes[at];
        const bool modifier = strokeHas(stroke, kModControl) || strokeHas(stroke, kModSuper);
        const bool shift = strokeHas(stroke, kModShift);
        if (stroke.codepoint != 0) {
            // A lone surrogate or a number past U+10FFFF has no UTF-8 form: it would go in as bytes
            // that are no character.
            const int c = stroke.codepoint;
            if (c < 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) continue;
            int size = 0;
            const char* utf8 = CodepointToUTF8(stroke.codepoint, &size);
            insertText(b, std::string_view(utf8, static_cast<std::size_t>(std::max(0, size))), maxChars, numeric);
            continue;
        }
        const std::size_t caret = static_cast<std::size_t>(b.caret);
        const Selection sel = selectionOf(b);
        switch (stroke.key) {
        case KEY_V:
            if (const char* clip = modifier ? sys.clipboardText() : nullptr) {
                std::string text(clip);
                for (char& c : text)
                    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
                insertText(b, text, maxChars, numeric);
            }
            break;
        case KEY_C:
        case KEY_X:
            if (modifier && !sel.empty()) {
                const std::string picked = b.text.substr(sel.start, sel.end - sel.start);
                if (sys.setClipboardText) sys.setClipboardText(picked.c_str());
                if (stroke.key == KEY_X) eraseSelection(b);
            }
            break;
        case KEY_A:
            if (modifier) {
                b.anchor = 0;
                b.caret = b.text.size();
            }
            break;
        case KEY_BACKSPACE:
            if (!eraseSelection(b)) eraseRange(b, modifier ? wordLeft(b.text, caret) : previousCharStart(b.text, caret), caret);
            break;
        case KEY_DELETE:
            if (!eraseSelection(b))
                eraseRange(b, caret, modifier ? wordRight(b.text, caret) : caret + nextCharLength(b.text, caret));
            break;
        case KEY_LEFT:
            if (!shift && !modifier && !sel.empty())
                moveCaret(b, sel.start, false);  // a selection collapses to its start
            else
                moveCaret(b, modifier ? wordLeft(b.text, caret) : previousCharStart(b.text, caret), shift);
            break;
        case KEY_RIGHT:
            if (!shift && !modifier && !sel.empty())
                moveCaret(b, sel.end, false);
            else
                moveCaret(b, modifier ? wordRight(b.text, caret) : caret + nextCharLength(b.text, caret), shift);
            break;
        case KEY_HOME: moveCaret(b, 0, shift); break;
        case KEY_END: moveCaret(b, b.text.size(), shift); break;
        case KEY_ENTER:
        case KEY_KP_ENTER:
            // The field commits here; what was typed after Enter is not part of this value but
            // goes on in the next frame, after the commit.
            b.lostFocus = true;
            b.passing = false;
            deferStrokes(in, at + 1);
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
    keepCaretValid(b);
    // The selection goes out as the new text comes in: the limit counts what stays.
    const Selection sel = selectionOf(b);
    const std::size_t kept = countChars(b.text) - countChars(std::string_view(b.text).substr(sel.start, sel.end - sel.start));
    if (maxChars > 0 && kept + countChars(added) > static_cast<std::size_t>(maxChars)) return;
    eraseSelection(b);
    b.text.insert(static_cast<std::size_t>(b.caret), added);
    b.caret += added.size();
    b.edited = true;
    b.passing = false;
}

}  // namespace vlr
