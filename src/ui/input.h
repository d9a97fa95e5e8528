/*******************************************************************************************
*  input.h — the window seam for input, and the key helpers
*
*  The seam holds what widgets and pages ask of the window about input; the helpers read
*  modifiers and keep or drop strokes of the frame's input snapshot. The widgets that take
*  input are in text_field.h and select_box.h.
*******************************************************************************************/
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/ui_state.h"

namespace vlr {

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

// Hands the strokes from the `from`th on to the next frame, ahead of any handed on already
// (they came before those), and takes them out of this frame's snapshot.
void deferStrokes(InputSnapshot& in, std::size_t from);

// Shift, Control, Alt or Super on either side: keys that change nothing by themselves.
bool isModifierKey(int key);

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
