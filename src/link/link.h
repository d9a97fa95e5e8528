/*******************************************************************************************
*  link.h — the Link record: what the frame thread and the background threads share
*
*  One record per process (link.cpp owns it): the launcher's port and token, the command
*  queue, the UI task list and the wake deadline under one lock. The launcher does the real
*  work; this side only starts it, posts commands to it and reads what it publishes.
*  Background threads never touch UI state: they hand callables over (handover.h).
*******************************************************************************************/
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/json.h"

namespace vlr {

using Completion = std::function<void(const Json&)>;
using UiTask = std::function<void()>;
using SteadyTime = std::chrono::steady_clock::time_point;

struct Command {
    std::string action;      // a name from the command list (command_list.h)
    std::string body;        // JSON text, sent unchanged
    Completion completion;   // runs on the frame thread with the answer; may be empty
};

struct Link {
    int port = 0;                               // launcher's loopback port; 0 = none
    std::string token;                          // access token sent with every request
    mutable std::mutex lock;                    // guards every field here once the threads run
    std::condition_variable commandSignal;      // a command was queued
    std::condition_variable wakeSignal;         // the wake deadline moved earlier
    std::condition_variable tasksTaken;         // the frame thread took the UI tasks
    std::deque<Command> commands;               // waiting for runCommands
    std::vector<UiTask> uiTasks;                // work handed to the frame thread
    std::size_t pendingEventBytes = 0;          // event text carried by uiTasks
    SteadyTime wakeDeadline = SteadyTime::max();// when the frame loop must wake; max = none
    bool windowOpen = false;                    // true only while the window exists
    void (*wakeFrame)() = nullptr;              // posts an empty window event (set by the shell)
};

// The launcher's address as it stands now. A launcher started again replaces port and token
// while the threads run, so they read both together under the lock.
struct LinkAddress {
    int port = 0;
    std::string token;
};
LinkAddress linkAddress(const Link& link);
void setLinkAddress(Link& link, int port, std::string token);

// The process-wide link that pages and state tasks use. Never freed.
Link& theLink();

// Points theLink() at another record (tests drive their own queue); nullptr restores the
// process-wide one.
void setTheLink(Link* link);

}  // namespace vlr
