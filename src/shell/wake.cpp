/*******************************************************************************************
*  wake.cpp — the wake thread
*
*  The frame loop sleeps inside raylib's event wait; when the frame asks to be drawn again at
*  a known time (a notice expiring, the running bar moving), this thread posts an empty event
*  at that time. The earliest request wins; a later one waits its turn. The frame asks with
*  wakeFrameAt, which also notes the time for the loop's turns that may skip a frame.
*******************************************************************************************/
#include "link/handover.h"
#include "shell/shell.h"

namespace vlr {

void wakeFrameAt(SteadyTime when) {
    ShellState& shell = shellState();
    if (when < shell.frameWake) shell.frameWake = when;
    requestWake(theLink(), when);
}

void wakeRound(Link& link, std::unique_lock<std::mutex>& hold) {
    const SteadyTime deadline = link.wakeDeadline;
    if (deadline == SteadyTime::max()) {
        link.wakeSignal.wait(hold);
        return;
    }
    if (std::chrono::steady_clock::now() < deadline) {
        // A signal (an earlier deadline) or a spurious wake-up: the caller reads it anew.
        link.wakeSignal.wait_until(hold, deadline);
        return;
    }
    link.wakeDeadline = SteadyTime::max();
    // Empty events only while the window exists; afterwards nobody may touch the window library.
    if (link.windowOpen && link.wakeFrame)
        link.wakeFrame();
}

void runWake(Link& link) {
    std::unique_lock<std::mutex> hold(link.lock);
    for (;;)
        wakeRound(link, hold);
}

}  // namespace vlr
