/*******************************************************************************************
*  handover.h — the road from background threads to the frame thread (handover.cpp)
*
*  UI tasks appended to the Link's list, the event tasks' back-pressure, and wake-ups.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <vector>

#include "link/link.h"

namespace vlr {

void postUiTask(Link& link, UiTask task);

// Event text the UI tasks may carry before the event thread waits for the frame thread: a
// launcher that writes faster than the window draws is slowed down to its pace instead of
// filling memory with parsed events.
inline constexpr std::size_t kMaxPendingEventBytes = 1u << 20;

// postUiTask for a task carrying an event of `bytes` bytes of text; waits while the tasks not
// yet taken carry kMaxPendingEventBytes or more.
void postEventTask(Link& link, std::size_t bytes, UiTask task);
void requestWake(Link& link, SteadyTime when);
// Drops the wake-ups asked for so far (a frame about to be drawn asks again for what it needs).
void forgetWakes(Link& link);

// Moves the pending UI tasks out (frame thread, at the start of a pass).
std::vector<UiTask> takeUiTasks(Link& link);

}  // namespace vlr
