/*******************************************************************************************
*  gamepad.cpp — the gamepad, read between frames
*
*  A gamepad sends no events the loop could wait for, so while one is connected the main loop
*  reads it on every turn and asks to be woken every kGamepadPollSeconds to do so; what it
*  reads here goes into the frame's input queue as navigation actions.
*******************************************************************************************/
#include <cmath>

#include "shell/shell.h"
#include "ui/focus.h"
#include "ui/input.h"

namespace vlr {

namespace {

constexpr double kFirstRepeat = 0.4;
constexpr double kNextRepeat = 0.08;
constexpr float kStickTip = 0.5f;   // a stick counts as pushed past half its travel

// One control of the gamepad: a button, or one direction of a stick axis.
struct Control {
    int button;        // -1: an axis
    int axis;
    float sign;        // the axis's direction
    NavAction action;
    bool repeats;
};

constexpr Control kControls[kGamepadControls] = {
    {GAMEPAD_BUTTON_LEFT_FACE_UP, 0, 0, kNavUp, true},
    {GAMEPAD_BUTTON_LEFT_FACE_DOWN, 0, 0, kNavDown, true},
    {GAMEPAD_BUTTON_LEFT_FACE_LEFT, 0, 0, kNavLeft, true},
    {GAMEPAD_BUTTON_LEFT_FACE_RIGHT, 0, 0, kNavRight, true},
    {-1, GAMEPAD_AXIS_LEFT_Y, -1, kNavUp, true},
    {-1, GAMEPAD_AXIS_LEFT_Y, 1, kNavDown, true},
    {-1, GAMEPAD_AXIS_LEFT_X, -1, kNavLeft, true},
    {-1, GAMEPAD_AXIS_LEFT_X, 1, kNavRight, true},
    {GAMEPAD_BUTTON_RIGHT_FACE_DOWN, 0, 0, kNavPress, false},     // A
    {GAMEPAD_BUTTON_RIGHT_FACE_RIGHT, 0, 0, kNavBack, false},     // B
    {GAMEPAD_BUTTON_LEFT_TRIGGER_1, 0, 0, kNavPreviousPage, false},
    {GAMEPAD_BUTTON_RIGHT_TRIGGER_1, 0, 0, kNavNextPage, false},
    {GAMEPAD_BUTTON_MIDDLE_RIGHT, 0, 0, kNavStart, false},
};

// The right stick scrolls, faster the further it is pushed; not a control with an edge.
NavAction scrollAction(const InputCalls& sys, int pad) {
    const float y = sys.gamepadAxis ? sys.gamepadAxis(pad, GAMEPAD_AXIS_RIGHT_Y) : 0;
    if (!(std::fabs(y) > kStickTip)) return kNavNone;
    return y > 0 ? kNavScrollDown : kNavScrollUp;
}

bool down(const InputCalls& sys, int pad, const Control& c) {
    if (c.button >= 0) return sys.gamepadButtonDown && sys.gamepadButtonDown(pad, c.button);
    const float value = sys.gamepadAxis ? sys.gamepadAxis(pad, c.axis) : 0;
    return value * c.sign > kStickTip;
}

void queueAction(ShellState& shell, NavAction action) {
    PendingInput input;
    input.kind = PendingInput::kAction;
    input.code = action;
    queueInput(shell, input);
}

}  // namespace

bool pollGamepad(ShellState& shell, double now) {
    const InputCalls& sys = inputCalls();
    GamepadState& pad = shell.gamepad;
    if (pad.pad < 0 || !sys.gamepadAvailable || !sys.gamepadAvailable(pad.pad)) {
        pad = GamepadState{};
        for (int i = 0; i < 4 && sys.gamepadAvailable; ++i)
            if (sys.gamepadAvailable(i)) {
                pad.pad = i;
                break;
            }
        if (pad.pad < 0) return false;
    }
    bool queued = false;
    for (int i = 0; i < kGamepadControls; ++i) {
        const Control& c = kControls[i];
        const bool isDown = down(sys, pad.pad, c);
        const bool fires = isDown && (!pad.held[i] || (c.repeats && now >= pad.repeatAt[i]));
        if (fires) {
            pad.repeatAt[i] = now + (pad.held[i] ? kNextRepeat : kFirstRepeat);
            queueAction(shell, c.action);
            queued = true;
        }
        pad.held[i] = isDown;
    }
    if (const NavAction scroll = scrollAction(sys, pad.pad); scroll != kNavNone) {
        queueAction(shell, scroll);
        queued = true;
    }
    return queued;
}

}  // namespace vlr
