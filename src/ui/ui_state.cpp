/*******************************************************************************************
*  ui_state.cpp — the one UiState and the clock of notices and animations
*
*  The clock is a steady one of our own rather than the window library's, so notices and
*  wake-ups work the same before the window exists and in headless tests.
*******************************************************************************************/
#include "ui/ui_state.h"

#include <chrono>
#include <utility>

namespace vlr {

namespace {

std::chrono::steady_clock::time_point programStart() {
    static const auto start = std::chrono::steady_clock::now();
    return start;
}

// Takes the start time while the program starts rather than at the first notice.
[[maybe_unused]] const auto startTaken = programStart();

}  // namespace

void postNotice(UiState& ui, std::string text) {
    ui.notice.text = std::move(text);
    ui.notice.expiry = uiClock() + kNoticeSeconds;
}

ServedControls::ServedControls(bool served) : saved(uiState().controlsOff) {
    if (served) uiState().controlsOff = uiState().serviceDown;
}

ServedControls::~ServedControls() { uiState().controlsOff = std::move(saved); }

LocalControls::LocalControls() : saved(std::move(uiState().controlsOff)) { uiState().controlsOff.clear(); }

LocalControls::~LocalControls() { uiState().controlsOff = std::move(saved); }

double uiClock() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart()).count();
}

}  // namespace vlr
