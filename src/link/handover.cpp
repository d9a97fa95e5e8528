/*******************************************************************************************
*  handover.cpp — the road from background threads to the frame thread
*
*  Background threads never touch UI state: they append callables to the Link's task list
*  and wake the frame loop with an empty window event. The lock is held only for the list
*  and flag operations, never while a task runs.
*******************************************************************************************/
#include <utility>

#include "link/handover.h"

namespace vlr {

namespace {

// With the lock held.
void appendUiTask(Link& link, UiTask task) {
    link.uiTasks.push_back(std::move(task));
    // Only while the window exists: after it is closed no thread may touch the window library.
    if (link.windowOpen && link.wakeFrame)
        link.wakeFrame();
}

}  // namespace

void postUiTask(Link& link, UiTask task) {
    std::lock_guard<std::mutex> hold(link.lock);
    appendUiTask(link, std::move(task));
}

void postEventTask(Link& link, std::size_t bytes, UiTask task) {
    std::unique_lock<std::mutex> hold(link.lock);
    link.tasksTaken.wait(hold, [&link] { return link.pendingEventBytes < kMaxPendingEventBytes; });
    link.pendingEventBytes += bytes;
    appendUiTask(link, std::move(task));
}

void requestWake(Link& link, SteadyTime when) {
    std::lock_guard<std::mutex> hold(link.lock);
    if (when < link.wakeDeadline) {
        link.wakeDeadline = when;
        link.wakeSignal.notify_all();
    }
}

void forgetWakes(Link& link) {
    // The wake thread finds the deadline gone when it next looks and waits for a new one.
    std::lock_guard<std::mutex> hold(link.lock);
    link.wakeDeadline = SteadyTime::max();
}

std::vector<UiTask> takeUiTasks(Link& link) {
    std::vector<UiTask> tasks;
    std::lock_guard<std::mutex> hold(link.lock);
    tasks.swap(link.uiTasks);
    link.pendingEventBytes = 0;
    link.tasksTaken.notify_all();
    return tasks;
}

}  // namespace vlr
