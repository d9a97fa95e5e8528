/*******************************************************************************************
*  command_runner.h — the real command queue thread, for tests that talk to a demo launcher
*
*  runCommands never returns, so its Link lives as long as the process and is shared by every
*  test in it: a test points it at its own launcher while the queue is idle (useRunnerWith)
*  and drains every answer before it ends. runFrames plays the frame loop: it runs the
*  handed-over UI tasks until a condition holds.
*******************************************************************************************/
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "demo_peer.h"
#include "link/commands.h"
#include "link/handover.h"
#include "link/link.h"

namespace vlr::test {

inline std::mutex gWakeLock;
inline std::condition_variable gWake;
inline bool gWoken = false;

inline void wakeTestFrame() {
    std::lock_guard<std::mutex> hold(gWakeLock);
    gWoken = true;
    gWake.notify_all();
}

// Never destroyed: destroying it at exit would wait for ever on the thread blocked in it.
union RunnerLink {
    Link link;
    RunnerLink() : link() {
        link.windowOpen = true;
        link.wakeFrame = wakeTestFrame;
        std::thread(runCommands, std::ref(link)).detach();
    }
    ~RunnerLink() {}
};

inline Link& runnerLink() {
    static RunnerLink runner;
    return runner.link;
}

// Runs the handed-over tasks, like the frame loop, until `done` holds or the time is up.
template <class Done>
bool runFrames(Done done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (UiTask& task : takeUiTasks(theLink()))
            task();
        if (done())
            return true;
        std::unique_lock<std::mutex> hold(gWakeLock);
        if (!gWake.wait_until(hold, giveUp, [] { return gWoken; }))
            return false;
        gWoken = false;
    }
}

// Points the queue thread at the peer and makes it theLink(); the queue must be idle.
inline bool useRunnerWith(const DemoPeer& peer) {
    Link& link = runnerLink();
    {
        std::lock_guard<std::mutex> hold(link.lock);
        if (!link.commands.empty())
            return false;
        link.uiTasks.clear();
    }
    link.port = peer.port;
    link.token = peer.token;
    setTheLink(&link);
    return true;
}

}  // namespace vlr::test
