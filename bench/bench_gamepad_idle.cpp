/*******************************************************************************************
*  bench_gamepad_idle.cpp — what an untouched gamepad costs the idle window
*
*  Opens the real window (run it under Xvfb or on a desktop) with no launcher, fakes one
*  connected gamepad that nobody touches through the input seam, and runs the main loop's
*  turns for a while. Prints the frames drawn after the first and the process's processor
*  time as a share of one core. A program, not a test.
*
*      bench_gamepad_idle [seconds]     (default 60)
*******************************************************************************************/
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <thread>

#include "link/link.h"
#include "shell/shell.h"
#include "ui/input.h"

using namespace vlr;

namespace {

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    SetTraceLogLevel(LOG_ERROR);
    if (!createWindow()) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    setUpWindow("");
    ClearWindowState(FLAG_WINDOW_HIDDEN);
    Link& link = theLink();
    {
        std::lock_guard<std::mutex> hold(link.lock);
        link.wakeFrame = postEmptyEvent;
        link.windowOpen = true;
    }
    std::thread(runWake, std::ref(link)).detach();
    InputCalls& calls = inputCalls();
    calls.gamepadAvailable = [](int pad) { return pad == 0; };
    calls.gamepadButtonDown = [](int, int) { return false; };
    calls.gamepadAxis = [](int, int) { return 0.0f; };

    frame();
    EnableEventWaiting();
    // Settle: the first turns draw what the start left to draw.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < settle) drawOrWait(false);

    const std::uint64_t framesBefore = shellState().framesDrawn;
    const double cpuBefore = processSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(seconds));
    std::uint64_t turns = 0;
    while (std::chrono::steady_clock::now() < end) {
        drawOrWait(false);
        ++turns;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processSeconds() - cpuBefore;
    std::printf("gamepad connected, untouched, %.1f s: %llu frames, %llu loop turns, processor %.3f s = %.2f %% of one core\n",
                wall, static_cast<unsigned long long>(shellState().framesDrawn - framesBefore),
                static_cast<unsigned long long>(turns), cpu, 100 * cpu / wall);
    {
        std::lock_guard<std::mutex> hold(link.lock);
        link.windowOpen = false;
    }
    CloseWindow();
    return 0;
}
