/*******************************************************************************************
*  input.cpp — the window seam for input, and the key helpers
*
*  What the widgets and pages ask of the window (keys held, the clipboard, the window's size,
*  dropped files, gamepads) goes through inputCalls(), so tests feed it without a window. The
*  helpers read modifiers and keep or drop strokes of the frame's input snapshot.
*
*  Sections: window seam, modifiers.
*******************************************************************************************/
#include "ui/input.h"

#include "raylib.h"

namespace vlr {

namespace {

std::vector<std::string> takeDroppedFiles() {
    std::vector<std::string> files;
    if (!IsFileDropped()) return files;
    FilePathList list = LoadDroppedFiles();
    for (unsigned i = 0; i < list.count; ++i) files.emplace_back(list.paths[i]);
    UnloadDroppedFiles(list);
    return files;
}

// raylib refreshes its "available" flags just before it waits for events, so a gamepad plugged
// in during the wait would stay unknown until some other event ended the next wait. Its name is
// set by the connection callback, which runs inside the wait that the plug-in ends.
bool gamepadConnected(int pad) {
    const char* name = GetGamepadName(pad);
    return IsGamepadAvailable(pad) || (name != nullptr && name[0] != '\0');
}

}  // namespace

// ---- window seam ----

InputCalls raylibInputCalls() {
    return {IsKeyDown,        GetClipboardText,   GetScreenWidth,        GetScreenHeight, SetClipboardText,
            takeDroppedFiles, gamepadConnected,   IsGamepadButtonDown, GetGamepadAxisMovement};
}
// ---- modifiers ----

bool modifierHeld(int mod) {
    const InputCalls& sys = inputCalls();
    const auto down = [&](int left, int right) { return sys.keyDown(left) || sys.keyDown(right); };
    if (mod == kModShift) return down(KEY_LEFT_SHIFT, KEY_RIGHT_SHIFT);
    if (mod == kModControl) return down(KEY_LEFT_CONTROL, KEY_RIGHT_CONTROL);
    if (mod == kModSuper) return down(KEY_LEFT_SUPER, KEY_RIGHT_SUPER);
    return false;
}

bool strokeHas(const Keystroke& stroke, int mod) { return (stroke.mods & mod) != 0 || modifierHeld(mod); }

bool pressedWith(const InputSnapshot& in, int key, int mod) {
    for (const Keystroke& stroke : in.strokes)
        if (stroke.key == key && strokeHas(stroke, mod)) return true;
    return false;
}

void keepStrokes(InputSnapshot& in, const std::function<bool(const Keystroke&)>& keep) {
    std::vector<Keystroke> strokes;
    std::vector<int> keys, chars;
    std::vector<bool> repeats;
    std::size_t key = 0;  // the stroke's entry in keys: one per key stroke, in the same order
    for (const Keystroke& stroke : in.strokes) {
        const bool isKey = stroke.key != 0;
        const bool repeat = isKey && key < in.repeats.size() && in.repeats[key];
        if (isKey) ++key;
        if (!keep(stroke)) continue;
        strokes.push_back(stroke);
        if (stroke.codepoint != 0) chars.push_back(stroke.codepoint);
        if (isKey) {
            keys.push_back(stroke.key);
            repeats.push_back(repeat);
        }
    }
    if (strokes.size() == in.strokes.size()) return;
    in.strokes = std::move(strokes);
    in.keys = std::move(keys);
    in.repeats = std::move(repeats);
    in.chars = std::move(chars);
}

void deferStrokes(InputSnapshot& in, std::size_t from) {
    if (from >= in.strokes.size()) return;
    in.later.insert(in.later.begin(), in.strokes.begin() + static_cast<std::ptrdiff_t>(from), in.strokes.end());
    std::size_t at = 0;
    keepStrokes(in, [&](const Keystroke&) { return at++ < from; });
}

bool isModifierKey(int key) { return key >= KEY_LEFT_SHIFT && key <= KEY_RIGHT_SUPER; }
}  // namespace vlr
