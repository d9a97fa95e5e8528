/*******************************************************************************************
*  events.cpp — the event stream from the launcher
*
*  Sections: large events · framing · stream
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
// A large event's output goes out in pieces of about this size; how many of them wait for
// the frame thread is bounded by kMaxPendingEventBytes.
constexpr std::size_t kPieceBytes = 64 * 1024;

// ---- large events: bytes as the JSON reader sees them ----

// A hexadecimal digit as the JSON reader counts it (no validation): the length of an escape
// depends on it, and a large event must be cut exactly where the reader would cut it.
std::int32_t hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return static_cast<std::int32_t>(c | 0x20) - 87;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isTokenByte(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'z') || c == '+' || c == '-' || c == '.';
}

// How far a string body starting at `from` can be read now: past its closing quote (closed),
// or up to a backslash whose escape has not fully arrived. `final`: the event ends at `end`.
const char* stringCut(const char* from, const char* end, bool final, bool& closed) {
    closed = false;
    const char* p = from;
    for (;;) {
        while (p < end && *p != '"' && *p != '\\') ++p;
        if (p >= end) return end;
        if (*p == '"') {
            closed = true;
            return p + 1;
        }
        const std::ptrdiff_t left = end - p;
        if (left < 2 || (p[1] == 'u' && left < 6)) return final ? end : p;
        if (p[1] != 'u') {
            p += 2;
            continue;
        }
        std::int32_t code = 0;
        for (int i = 2; i < 6; ++i) code = code * 16 + hexValue(static_cast<unsigned char>(p[i]));
        // A high surrogate takes the next "\uXXXX" along when six more bytes follow it.
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (left < 12 && !final) return p;
            if (left >= 12 && p[6] == '\\' && p[7] == 'u') {
                p += 12;
                continue;
            }
        }
        p += 6;
    }
}

}  // namespace

// ---- large events ----

// Reads the JSON of one event as it streams, as parseJson and handleMessage would read it
// whole: the first "lines" member of the top-level object gives the text of each element
// (strings decoded, bare tokens as they stand, containers nothing), which goes out in pieces;
// the first "state" member counts when it is true, and goes out after the last piece.
// Everything else is skipped with a stack of the open containers, so the reader holds no
// more than an escape that has not fully arrived. Like the whole reader it stops at the
// first byte it cannot use.
struct LargeEvent {
    enum class Mode : unsigned char { Value, ObjectFirst, Key, KeyText, Colon, ArrayFirst, After, Close, Text, Token, Done };
    enum class Role : unsigned char { Other, Line, State };

    Mode mode;
    Role role = Role::Other;  // what the string or token being read is for
    std::string open;         // '{' or '[' per open container
    bool linesOpen = false;   // open[1] is the "lines" array
    bool linesSeen = false;
    bool stateSeen = false;
    bool state = false;
    int member = 0;           // the member whose value comes next: 1 "lines", 2 "state"
    std::string key;          // the first bytes of the key being read
    std::string token;        // the first bytes of the "state" token
    std::string out;          // output not handed over yet

    explicit LargeEvent(bool data) : mode(data ? Mode::Value : Mode::Done) {}

    // Reads what it can of [p, end) and returns where it stopped: end, or an escape that
    // waits for its last bytes (never when `final`).
    const char* step(const char* p, const char* end, bool final);
    std::size_t beginValue(char c);  // bytes of c taken
    void endContainer();
    void endToken();
};

void LargeEvent::endContainer() {
    if (linesOpen && open.size() == 2) linesOpen = false;
    open.pop_back();
    mode = open.empty() ? Mode::Done : Mode::After;
}

void LargeEvent::endToken() {
    if (role == Role::State) state = token == "true";
    mode = Mode::After;
}

std::size_t LargeEvent::beginValue(char c) {
    const int of = open.size() == 1 ? member : 0;
    const bool lineItem = linesOpen && open.size() == 2;
    member = 0;
    if (open.size() > static_cast<std::size_t>(kJsonMaxDepth)) {
        mode = Mode::Close;  // too deep to be read: whatever holds it ends here
        return 0;
    }
    if (c == '{' || c == '[') {
        if (open.empty() && c != '{') {
            mode = Mode::Done;  // not an object: no lines, no state
            return 0;
        }
        open.push_back(c);
        if (of == 1 && c == '[') linesOpen = true;
        mode = c == '{' ? Mode::ObjectFirst : Mode::ArrayFirst;
        return 1;
    }
    if (open.empty() || (c != '"' && !isTokenByte(c))) {
        mode = Mode::Done;  // nothing usable where a value starts: the reader gives up
        return 0;
    }
    role = lineItem ? Role::Line : of == 2 ? Role::State : Role::Other;
    if (c == '"') {
        mode = Mode::Text;
        return 1;
    }
    token.clear();
    mode = Mode::Token;
    return 0;
}

const char* LargeEvent::step(const char* p, const char* end, bool final) {
    while (p < end) {
        if (mode == Mode::Done) return end;
        if (mode == Mode::Text || mode == Mode::KeyText) {
            bool closed = false;
            const char* cut = stringCut(p, end, final, closed);
            if (mode == Mode::KeyText || role == Role::Line) {
                JsonCursor cursor{p, cut};
                const std::string text = readJsonString(cursor);
                if (mode == Mode::Text)
                    out += text;
                else if (key.size() < 8)
                    key.append(text, 0, 8 - key.size());
            }
            if (!closed) return cut;
            p = cut;
            mode = mode == Mode::KeyText ? Mode::Colon : Mode::After;
            continue;
        }
        if (mode == Mode::Token) {
            const char* start = p;
            while (p < end && isTokenByte(*p)) ++p;
            const std::size_t size = static_cast<std::size_t>(p - start);
            if (role == Role::Line)
                out.append(start, size);
            else if (role == Role::State && token.size() < 8)
                token.append(start, std::min<std::size_t>(size, 8 - token.size()));
            if (p < end) endToken();
            continue;
        }
        const char c = *p;
        if (isSpace(c)) {
            ++p;
            continue;
        }
        switch (mode) {
            case Mode::Value: p += beginValue(c); break;
            case Mode::ObjectFirst:
            case Mode::ArrayFirst:
                if (c == (mode == Mode::ObjectFirst ? '}' : ']')) {
                    ++p;
                    endContainer();
                } else {
                    mode = mode == Mode::ObjectFirst ? Mode::Key : Mode::Value;
                }
                break;
            case Mode::Key:
                if (c == '"') {
                    ++p;
                    key.clear();
                    mode = Mode::KeyText;
                } else {
                    mode = Mode::Close;
                }
                break;
            case Mode::Colon:
                if (c != ':') {
                    mode = Mode::Close;  // the key is dropped
                    break;
                }
                ++p;
                member = 0;
                if (open.size() == 1 && key == "lines" && !linesSeen) {
                    linesSeen = true;
                    member = 1;
                } else if (open.size() == 1 && key == "state" && !stateSeen) {
                    stateSeen = true;
                    member = 2;
                }
                mode = Mode::Value;
                break;
            case Mode::After:
                if (c == ',') {
                    ++p;
                    mode = open.back() == '{' ? Mode::Key : Mode::Value;
                } else {
                    mode = Mode::Close;
                }
                break;
            case Mode::Close:
                if (c == (open.back() == '{' ? '}' : ']')) ++p;
                endContainer();
                break;
            default: return end;
        }
    }
    return p;
}

namespace {

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
    if (event.mode == LargeEvent::Mode::Token) event.endToken();
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
