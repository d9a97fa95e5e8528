/*******************************************************************************************
*  events.cpp — the event stream from the launcher
*
*  One long-lived GET whose answer is a sequence of "data: {json}\n\n" events. A background
*  thread keeps it open for the life of the process and reconnects a second after it ends.
*  It parses each event itself and hands only finished values to the frame thread; the
*  connected flag, the console and the state document are touched there, in UI tasks.
*******************************************************************************************/
#include <chrono>
#include <thread>

#include "link/command_list.h"
#include "link/events.h"
#include "link/handover.h"
#include "link/http.h"
#include "link/state.h"

namespace vlr {

namespace {

constexpr std::uint32_t kEventsTimeoutMs = 10000;  // the launcher sends at least this often
constexpr std::size_t kMaxHead = 65536;
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kStatusOk = "HTTP/1.1 200";
constexpr std::string_view kEventEnd = "\n\n";
constexpr std::string_view kDataPrefix = "data: ";

}  // namespace

// ---- framing ----

bool EventStreamParser::feed(const char* data, std::size_t size) {
    const std::size_t before = buffer.size();
    buffer.append(data, size);
    std::size_t searchFrom = before;  // earlier bytes held no complete separator

    if (!headSeen) {
        const std::size_t headEnd = buffer.find(kHeadEnd, before < 3 ? 0 : before - 3);
        if (headEnd == std::string::npos) return buffer.size() < kMaxHead;  // an endless head is refused
        if (buffer.size() < kStatusOk.size() || std::string_view(buffer).substr(0, kStatusOk.size()) != kStatusOk)
            return false;
        buffer.erase(0, headEnd + kHeadEnd.size());
        headSeen = true;
        searchFrom = 0;
        if (onConnect) onConnect();
    }

    // Events are cut off in one go at the end, so a chunk full of small events costs one
    // move of the remainder rather than one per event.
    std::size_t eventStart = 0;
    std::size_t from = searchFrom > 0 ? searchFrom - 1 : 0;
    for (;;) {
        const std::size_t separator = buffer.find(kEventEnd, from);
        if (separator == std::string::npos) break;
        const std::string_view event(buffer.data() + eventStart, separator - eventStart);
        if (event.substr(0, kDataPrefix.size()) == kDataPrefix) {
            Json message = parseJson(event.substr(kDataPrefix.size()));
            messageBytes = event.size();
            if (onMessage) onMessage(std::move(message));
        }
        eventStart = separator + kEventEnd.size();
        from = eventStart;
    }
    buffer.erase(0, eventStart);
    return buffer.size() <= kMaxEventBytes;
}

// ---- messages ----

// A message appends its output to the console and asks for the state when it changed.
void handleMessage(const Json& message) {
    for (const Json& line : get(message, "lines").items)
        appendConsole(asText(line));
    if (isTrue(get(message, "state")))
        requestState();
}

// ---- stream ----

std::string eventsRequest(int port, std::string_view token) {
    std::string request = "GET /events?t=";
    request += token;
    request += " HTTP/1.1\r\nHost: 127.0.0.1:";
    request += std::to_string(port);
    request += "\r\n\r\n";
    return request;
}

[[noreturn]] void runEvents(Link& link) {
    const std::string request = eventsRequest(link.port, link.token);
    EventStreamParser parser;
    parser.onConnect = [&link] {
        postUiTask(link, [] {
            windowState().connected = true;
            clearConsole();
            requestState();
        });
    };
    parser.onMessage = [&link, &parser](Json&& message) {
        postEventTask(link, parser.messageBytes, [message = std::move(message)] { handleMessage(message); });
    };
    const ChunkFn onChunk = [&parser](const char* data, std::size_t size) { return parser.feed(data, size); };
    for (;;) {
        parser.reset();
        exchange(link.port, request, kEventsTimeoutMs, onChunk);
        postUiTask(link, [] { windowState().connected = false; });
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::seconds(1));
    }
}

}  // namespace vlr
