/*******************************************************************************************
*  events.cpp — the event stream from the launcher
*
*  Sections: large events · framing · messages · stream
*
*  One long-lived GET whose answer is a sequence of "data: {json}\n\n" events. A background
*  thread keeps it open for the life of the process and reconnects a second after it ends.
*  It parses each event itself and hands only finished values to the frame thread; the
*  connected flag, the console and the state document are touched there, in UI tasks.
*******************************************************************************************/
#include <chrono>
#include <thread>

#include "link/command_list.h"
#include "link/event_reader.h"
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
// A large event's output goes out in pieces of about this size; how many of them wait for
// the frame thread is bounded by kMaxPendingEventBytes.
constexpr std::size_t kPieceBytes = 64 * 1024;

// ---- large events ----

void handOver(EventStreamParser& parser, Json&& message, std::size_t bytes) {
    parser.messageBytes = bytes;
    if (parser.onMessage) parser.onMessage(std::move(message));
}

// Output of a large event as an ordinary message: {"lines": [text]}.
void handOverLines(EventStreamParser& parser, std::string& text) {
    const std::size_t bytes = text.size();
    Json line;
    line.kind = JsonKind::String;
    line.text = std::move(text);
    text.clear();
    Json lines;
    lines.kind = JsonKind::Array;
    lines.items.push_back(std::move(line));
    Json message;
    message.kind = JsonKind::Object;
    message.members.emplace_back("lines", std::move(lines));
    handOver(parser, std::move(message), bytes);
}

// Feeds [data, data + size) of the large event to its reader, a piece at a time; returns the
// bytes used (all but an escape still waiting for its last bytes).
std::size_t readLarge(EventStreamParser& parser, const char* data, std::size_t size, bool final) {
    LargeEvent& event = *parser.large;
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        const char* window = end - p > static_cast<std::ptrdiff_t>(kPieceBytes) ? p + kPieceBytes : end;
        const char* next = event.step(p, window, final && window == end);
        if (event.out.size() >= kPieceBytes) handOverLines(parser, event.out);
        if (next == p) break;
        p = next;
    }
    return static_cast<std::size_t>(p - data);
}

// The event ended: what is left, then the state news, as handleMessage orders them.
void finishLarge(EventStreamParser& parser) {
    LargeEvent& event = *parser.large;
    event.finish();
    if (!event.out.empty()) handOverLines(parser, event.out);
    if (event.state) {
        Json news;
        news.kind = JsonKind::True;
        Json message;
        message.kind = JsonKind::Object;
        message.members.emplace_back("state", std::move(news));
        handOver(parser, std::move(message), 0);
    }
    parser.large.reset();
}

// Bytes of the buffer a large event may use now: a line feed at the very end may be the
// first half of the separator.
std::size_t usableBytes(const std::string& buffer) {
    return buffer.size() - (!buffer.empty() && buffer.back() == '\n' ? 1 : 0);
}

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

    if (large) {
        // The buffer holds only what the large event's reader left: a few bytes.
        const std::size_t separator = buffer.find(kEventEnd);
        if (separator == std::string::npos) {
            buffer.erase(0, readLarge(*this, buffer.data(), usableBytes(buffer), false));
            return true;
        }
        readLarge(*this, buffer.data(), separator, true);
        finishLarge(*this);
        buffer.erase(0, separator + kEventEnd.size());
        searchFrom = 0;
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

    if (buffer.size() > kMaxEventBytes) {
        // Too large to hold whole: read on as it streams (an event other than data is skipped).
        const bool isData = std::string_view(buffer).substr(0, kDataPrefix.size()) == kDataPrefix;
        large = std::make_shared<LargeEvent>(isData);
        const std::size_t prefix = isData ? kDataPrefix.size() : 0;
        buffer.erase(0, prefix + readLarge(*this, buffer.data() + prefix, usableBytes(buffer) - prefix, false));
    }
    return true;
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
    EventStreamParser parser;
    parser.onConnect = [&link] {
        postUiTask(link, [] {
            WindowState& window = windowState();
            window.connected = true;
            // Someone serves the session again (started by hand on the same port): whatever
            // went before is no longer gone. An exit code once shown stays, as it always did.
            if (!window.launcherExited) window.launcherGone = false;
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
        // Read anew for each connection: a launcher started again has another port and token.
        const LinkAddress at = linkAddress(link);
        exchange(at.port, eventsRequest(at.port, at.token), kEventsTimeoutMs, onChunk);
        postUiTask(link, [] { windowState().connected = false; });
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::seconds(1));
    }
}

}  // namespace vlr
