/*******************************************************************************************
*  fuzz_events.cpp — the event stream framing on arbitrary bytes
*
*  The same stream fed whole, in pieces of 1 to 64 bytes and byte by byte must give the same
*  connects, the same events in the same order and the same verdict on the connection. And
*  the input as the data of an event too large to hold whole (read as it streams) must give
*  the console text and the state news that reading the same event whole gives.
*******************************************************************************************/
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "link/events.h"
#include "link/link.h"

using namespace vlr;
using namespace vlr::fuzz;

namespace {

struct Outcome {
    std::vector<std::string> seen;  // "connect", or the event's value written out
    bool open = true;

    bool operator==(const Outcome& other) const { return seen == other.seen && open == other.open; }
};

template <typename NextSize>
Outcome feedStream(std::string_view stream, NextSize nextSize) {
    Outcome outcome;
    EventStreamParser parser;
    parser.onConnect = [&outcome] { outcome.seen.emplace_back("connect"); };
    parser.onMessage = [&outcome](Json&& message) { outcome.seen.push_back(writeJson(message)); };
    for (std::size_t at = 0; at < stream.size() && outcome.open;) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        outcome.open = parser.feed(stream.data() + at, size);
        at += size;
    }
    return outcome;
}

// The console text and state news of the messages handed over.
struct News {
    std::string lines;
    bool state = false;

    void take(const Json& message) {
        for (const Json& line : get(message, "lines").items) lines += asText(line);
        state = state || isTrue(get(message, "state"));
    }
    bool operator==(const News& other) const { return lines == other.lines && state == other.state; }
};

void checkLargeEvent(std::string_view input) {
    // One event: the input up to its first separator. Leading spaces, which the JSON reader
    // skips, make it too large to hold whole.
    input = input.substr(0, input.find("\n\n"));
    const std::string head = "HTTP/1.1 200 OK\r\n\r\ndata: ";
    std::string stream = head;
    stream.append(kMaxEventBytes, ' ');
    stream += input;
    stream += "\n\n";
    const std::size_t end = stream.find("\n\n", head.size());

    News whole;
    whole.take(parseJson(std::string_view(stream).substr(head.size(), end - head.size())));
    News streamed;
    EventStreamParser parser;
    parser.onMessage = [&streamed](Json&& message) { streamed.take(message); };
    Pieces pieces(input);
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(at < kMaxEventBytes ? std::size_t{16384} : pieces.next(), stream.size() - at);
        check(parser.feed(stream.data() + at, size), "a large event keeps the connection");
        at += size;
    }
    check(streamed == whole, "a large event read as it streams gives what reading it whole gives");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    const Outcome whole = feedStream(stream, [size] { return size; });
    Pieces pieces(stream);
    check(feedStream(stream, [&pieces] { return pieces.next(); }) == whole, "pieces give what the whole gives");
    check(feedStream(stream, [] { return std::size_t{1}; }) == whole, "bytes give what the whole gives");
    checkLargeEvent(stream);
    return 0;
}
