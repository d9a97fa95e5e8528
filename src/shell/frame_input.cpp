/*******************************************************************************************
*  frame_input.cpp — the input snapshot and the overlays that own the mouse
*
*  Every widget reads one snapshot, taken once at the start of the frame. Before any page
*  runs, the open drop-down list, a pending key capture and the focused text field take what
*  is theirs, so a page never sees a click or key that one of them consumed.
*******************************************************************************************/
#include <algorithm>

#include "settings/settings.h"
#include "shell/shell.h"
#include "ui/dropdown.h"

namespace vlr {

namespace {

bool contains(Rect r, float x, float y) {
    return CheckCollisionPointRec(Vector2{x, y}, Rectangle{r.x, r.y, r.width, r.height});
}

void resolveKeyCapture(UiState& ui, bool windowFocused, const BindFn& bind) {
    InputSnapshot& in = ui.input;
    KeyCapture& capture = ui.capture;
    if (!windowFocused) {
        capture.name.clear();
        return;
    }
    int code = -1;
    // Only a press made after the capture started: a key already held when "+" was clicked
    // goes on repeating, and must not bind itself.
    for (std::size_t i = 0; i < in.keys.size() && code < 0; ++i) {
        if (i >= in.repeats.size() || !in.repeats[i])
            code = in.keys[i];
    }
    if (code < 0 && in.wheel != 0) {
        code = in.wheel > 0 ? kWheelUpCode : kWheelDownCode;
    } else if (code < 0) {
        // The click on the add chip that started the capture must not bind the left button.
        for (int button = 0; button < 8 && code < 0; ++button) {
            if (in.pressed[button] && (button != 0 || !contains(capture.rect, in.mouseX, in.mouseY)))
                code = kMouseButtonCode + button;
        }
    }
    if (code < 0)
        return;
    const std::string setting = "key_" + capture.name;
    capture.name.clear();
    in.keys.clear();
    in.repeats.clear();
    in.chars.clear();
    in.strokes.clear();
    in.wheel = 0;
    in.leftClick = false;
    if (bind)
        bind(setting, code);
}

}  // namespace

void queueInput(ShellState& shell, PendingInput input) {
    if (shell.pending.size() < kMaxPendingInput)
        shell.pending.push_back(input);
}

void takeInput(UiState& ui, ShellState& shell) {
    InputSnapshot& in = ui.input;
    const Vector2 mouse = GetMousePosition();
    in.mouseX = mouse.x;
    in.mouseY = mouse.y;
    std::fill(std::begin(in.pressed), std::end(in.pressed), false);
    in.keys.clear();
    in.repeats.clear();
    in.chars.clear();
    in.strokes.clear();
    // What the last frame handed on came before anything still queued.
    for (auto stroke = in.later.rbegin(); stroke != in.later.rend(); ++stroke) {
        if (stroke->action != 0)
            shell.pending.push_front({PendingInput::kAction, stroke->action});
        else if (stroke->key != 0)
            shell.pending.push_front({PendingInput::kKey, stroke->key, 0, 0, stroke->mods, stroke->repeat});
        else
            shell.pending.push_front({PendingInput::kChar, stroke->codepoint});
    }
    in.later.clear();

    // Take the queue up to the first change between typing and clicking; the rest waits for
    // the next frame, so each part meets the focus the part before it left behind. Presses made
    // at another place, or of a button already pressed in this frame, wait too: a frame hit-tests
    // one pointer position, and a press lands where it was made even if the pointer moved on.
    bool typed = false, clicked = false;
    while (!shell.pending.empty()) {
        const PendingInput next = shell.pending.front();
        const bool isClick = next.kind == PendingInput::kButton;
        if ((isClick && typed) || (!isClick && clicked))
            break;
        const bool known = isClick && next.code >= 0 && next.code < 8;
        if (isClick && clicked && (next.x != in.mouseX || next.y != in.mouseY || (known && in.pressed[next.code])))
            break;
        shell.pending.pop_front();
        if (isClick) {
            clicked = true;
            in.mouseX = next.x;
            in.mouseY = next.y;
            if (known)
                in.pressed[next.code] = true;
        } else {
            typed = true;
            if (next.kind == PendingInput::kAction) {
                in.strokes.push_back({0, 0, 0, next.code});
            } else if (next.kind == PendingInput::kKey) {
                in.keys.push_back(next.code);
                in.repeats.push_back(next.repeat);
                in.strokes.push_back({next.code, 0, next.mods, 0, next.repeat});
            } else {
                in.chars.push_back(next.code);
                in.strokes.push_back({0, next.code});
            }
        }
    }
    in.leftClick = in.pressed[0];
    in.mouseDown = IsMouseButtonDown(MOUSE_BUTTON_LEFT);
    in.wheel = shell.scrollAccumulator;
    shell.scrollAccumulator = 0;
    in.mouseFree = true;
    in.wantedCursor = MOUSE_CURSOR_DEFAULT;
}

bool inputArrived(const InputSnapshot& in) {
    for (bool pressed : in.pressed) {
        if (pressed)
            return true;
    }
    return in.wheel != 0 || !in.keys.empty() || !in.chars.empty() || !in.strokes.empty();
}

void resolveOverlays(UiState& ui, bool windowFocused, const BindFn& bind) {
    dropDownInput(ui);
    if (!ui.capture.name.empty())
        resolveKeyCapture(ui, windowFocused, bind);

    InputSnapshot& in = ui.input;
    if (in.leftClick && ui.focused != nullptr && !contains(ui.focused->rect, in.mouseX, in.mouseY)) {
        ui.focused->lostFocus = true;
        ui.focused = nullptr;
    }
}

}  // namespace vlr
