/*******************************************************************************************
*  events.h — the event stream from the launcher (events.cpp)
*
*  The thread that keeps the stream open and the framing that cuts it into events.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/json.h"
#include "link/link.h"

namespace vlr {

// One event carries a burst of console output, rarely more than a few hundred kilobytes, and
// is held whole up to this size. A longer one is read as it streams: its "lines" go to the
// console in pieces (each a {"lines": [piece]} message), so no output is lost to size and the
// memory it takes is what the console keeps.
inline constexpr std::size_t kMaxEventBytes = 1u << 20;

struct LargeEvent;  // event_reader.h: the reader of an event past kMaxEventBytes

// Cuts the stream into events; one per connection. Feeds on-connect and message callbacks.
struct EventStreamParser {
    std::string buffer;
    bool headSeen = false;
    std::function<void()> onConnect;
    std::function<void(Json&&)> onMessage;
    std::size_t messageBytes = 0;  // size of the event text behind the message being delivered
    std::shared_ptr<LargeEvent> large;  // the event being read as it streams, if any

    bool feed(const char* data, std::size_t size);  // the chunk callback; false ends the connection
    void reset() { buffer.clear(); headSeen = false; large.reset(); }
};

// One event-stream message: its "lines" go to the console, "state": true asks for the state.
void handleMessage(const Json& message);

std::string eventsRequest(int port, std::string_view token);

// Thread body: keeps the event stream open for the life of the process. Never returns.
[[noreturn]] void runEvents(Link& link);

}  // namespace vlr
