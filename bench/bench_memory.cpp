/*******************************************************************************************
*  bench_memory.cpp — how much memory hostile launcher output can take
*
*  Counts every byte handed out by operator new and prints the peak, per input byte, for the
*  shapes of JSON that cost the parser most, and the peak of one whole answer read by `post`
*  and one whole event cut by the event framing, each at its size cap. With --check it also
*  judges: exit status 1 when a parser shape costs more than kParserBound bytes per input
*  byte or a whole answer or event more than kWindowShare. CTest runs it that way.
*
*  Then single events far past the size an event is held whole (2.2 MB of 20 000 lines, and
*  50 MB), cut by the framing and handed to the console as the frame thread would: the lines
*  the console keeps (judged: exactly the newest the trimming rule keeps, byte for byte and
*  in order) and the peak above the resting figure (judged against kLargeEventShare).
*
*      bench_memory [--check] [megabytes per shape, default 8]
*******************************************************************************************/
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <thread>

#include "link/events.h"
#include "link/http.h"
#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "platform/socket.h"

// ---- counting allocator ----
// Each block carries its size in a header, so frees can be counted without help from the C
// library. Sanitizer builds count the same way (their own operator new is replaced).

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
constexpr std::size_t kHeader = 16;  // keeps every block 16-byte aligned

void* counted(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw std::bad_alloc();
    std::memcpy(block, &size, sizeof size);
    const std::size_t now = liveBytes.fetch_add(size) + size;
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void uncounted(void* pointer) {
    if (!pointer) return;
    void* block = static_cast<char*>(pointer) - kHeader;
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    liveBytes.fetch_sub(size);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void operator delete(void* pointer) noexcept { uncounted(pointer); }
void operator delete[](void* pointer) noexcept { uncounted(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { uncounted(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { uncounted(pointer); }

namespace {

using namespace vlr;

// A parser shape may cost at most this many bytes of memory per input byte at its peak.
constexpr double kParserBound = 64.0;
// One whole answer or event at its cap may take at most this much of the window's memory.
constexpr std::size_t kWindowShare = 96u << 20;

// Peak bytes above what was live when the measurement began.
template <typename Work>
std::size_t measurePeak(Work&& work) {
    peakBytes.store(liveBytes.load());
    const std::size_t base = liveBytes.load();
    work();
    return peakBytes.load() - base;
}

std::string repeated(std::string_view head, std::string_view unit, std::size_t size) {
    std::string text(head);
    text.reserve(size + unit.size());
    while (text.size() + unit.size() <= size) text += unit;
    return text;
}

struct Shape {
    const char* name;
    std::string text;
};

bool parserShapes(std::size_t size, bool check) {
    const std::string deep(kJsonMaxDepth + 1, '[');
    const std::string limit(kJsonMaxDepth, '[');
    std::string limitObject = limit;
    limitObject += "{\"\":";
    const Shape shapes[] = {
        {"[1,1,1,...", repeated("[", "1,", size)},
        {"65 x [ then commas", repeated(deep, ",", size)},
        {"65 x {\"\": then commas", repeated(limitObject, ",\"\":", size)},
        {"{\"\":1,\"\":1,...", repeated("{", "\"\":1,", size)},
        {"[[],[],...", repeated("[", "[],", size)},
        {"[\"\",\"\",...", repeated("[", "\"\",", size)},
        {"64 x [ then 1,1,...", repeated(limit, "1,", size)},
        {"[[1,1],[1,1],...", repeated("[", "[1,1],", size)},
    };
    bool fine = true;
    for (const Shape& shape : shapes) {
        std::size_t values = 0;
        const std::size_t peak = measurePeak([&] {
            const Json value = parseJson(shape.text);
            values = value.items.size() + value.members.size();
        });
        const double perByte = static_cast<double>(peak) / static_cast<double>(shape.text.size());
        const bool over = perByte > kParserBound;
        std::printf("parse %-26s %6.1f MB in: peak %7.1f MB, %5.1f bytes per input byte%s\n", shape.name,
                    shape.text.size() / 1e6, peak / 1e6, perByte, check && over ? "  <- over the bound" : "");
        fine = fine && !over;
        (void)values;
    }
    return fine;
}

// A loopback peer that answers one request with the given bytes.
std::size_t answerPeak(const std::string& answer) {
    platform::Socket listener = platform::tcpSocket(10000);
    const int port = platform::bindLoopback(listener, 0);
    if (port == 0 || !platform::listenOn(listener, 1)) return 0;
    std::thread peer([&listener, &answer] {
        platform::Socket client = platform::acceptOne(listener);
        char buffer[4096];
        const long got = platform::receiveSome(client, buffer, sizeof buffer);
        if (got > 0) platform::sendAll(client, answer.data(), answer.size());
    });
    Link link;
    link.port = port;
    link.token = std::string(32, '0');
    const std::size_t peak = measurePeak([&link] { const Json value = post(link, "state", "{}", 10000); });
    peer.join();
    return peak;
}

bool wholeAnswerAndEvent(bool check) {
    const std::size_t cap = kMaxAnswerBytes;
    const std::string answer = repeated("HTTP/1.1 200 OK\r\n\r\n[", "1,", cap);
    const std::size_t answerBytes = answerPeak(answer);

    const std::string event = repeated("data: {\"lines\": [", "1,", kMaxEventBytes) + "]}\n\n";
    std::size_t events = 0;
    const std::size_t eventBytes = measurePeak([&] {
        EventStreamParser parser;
        parser.onMessage = [&events](Json&&) { ++events; };
        const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
        parser.feed(head.data(), head.size());
        for (std::size_t at = 0; at < event.size(); at += 16384)
            parser.feed(event.data() + at, std::min<std::size_t>(16384, event.size() - at));
    });
    const bool fine = answerBytes <= kWindowShare && eventBytes <= kWindowShare;
    std::printf("post, answer of %.1f MB ([1,1,...): peak %.1f MB\n", answer.size() / 1e6, answerBytes / 1e6);
    std::printf("event framing, event of %.1f MB ([1,1,...), %zu delivered: peak %.1f MB%s\n", event.size() / 1e6,
                events, eventBytes / 1e6, check && !fine ? "  <- over the share" : "");
    return fine;
}

// ---- single large events ----

// A large event may take at most this much above the resting figure: the console it fills,
// the pieces on their way, the reader.
constexpr std::size_t kLargeEventShare = 64u << 20;

// "line 00000001 xxx...\n", `width` bytes with its line feed.
std::string numberedLine(std::size_t number, std::size_t width) {
    char head[32];
    std::snprintf(head, sizeof head, "line %08zu ", number);
    std::string line = head;
    line.resize(width - 1, 'x');
    return line + "\n";
}

// The lines the console keeps of `total` appended to an empty one: the newest, the oldest
// thousands dropped while more than kConsoleMaxLines.
std::size_t keptOf(std::size_t total) {
    while (total > kConsoleMaxLines) total -= kConsoleTrimLines;
    return total;
}

bool largeEvent(std::size_t lines, std::size_t width, bool check) {
    std::string event = "data: {\"lines\": [";
    event.reserve(lines * (width + 4) + 64);
    for (std::size_t i = 1; i <= lines; ++i) {
        if (i > 1) event += ", ";
        event += quoteJson(numberedLine(i, width));
    }
    event += "]}\n\n";
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n";

    Link link;
    setTheLink(&link);
    clearConsole();
    std::size_t messages = 0;
    const std::size_t peak = measurePeak([&] {
        EventStreamParser parser;
        parser.onMessage = [&messages](Json&& message) {
            ++messages;
            handleMessage(message);
        };
        parser.feed(head.data(), head.size());
        for (std::size_t at = 0; at < event.size(); at += 16384)
            parser.feed(event.data() + at, std::min<std::size_t>(16384, event.size() - at));
    });
    setTheLink(nullptr);

    const std::deque<std::string>& console = windowState().console;
    const std::size_t kept = keptOf(lines);
    bool exact = console.size() == kept;
    for (std::size_t i = 0; exact && i < kept; ++i) {
        const std::string line = numberedLine(lines - kept + 1 + i, width);
        exact = console[i] == std::string_view(line).substr(0, width - 1);
    }
    const bool fine = exact && peak < kLargeEventShare;
    std::printf("one event of %.1f MB, %zu lines of %zu bytes, %zu messages: console keeps %zu of them (%s), "
                "peak %.1f MB above rest%s\n",
                event.size() / 1e6, lines, width, messages, console.size(),
                exact ? "exactly the newest, in order" : "NOT the newest lines", peak / 1e6,
                check && !fine ? "  <- over the share or wrong" : "");
    clearConsole();
    return fine;
}

bool largeEvents(bool check) {
    // Lines of 100 bytes take 109 in the event (the line feed as \u000a): 2.2 MB for 20 000 of
    // them, and 50 MB.
    const bool small = largeEvent(20000, 100, check);
    const bool big = largeEvent(50000000 / 109, 100, check);
    return small && big;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false;
    std::size_t megabytes = 8;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else
            megabytes = static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10));
    }
    const bool parser = parserShapes(megabytes << 20, check);
    const bool whole = wholeAnswerAndEvent(check);
    const bool large = largeEvents(check);
    return check && !(parser && whole && large) ? 1 : 0;
}
