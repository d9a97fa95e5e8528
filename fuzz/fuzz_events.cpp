/*******************************************************************************************
*  fuzz_events.cpp — the event stream framing on arbitrary bytes
*
*  The same stream fed whole, in pieces of 1 to 64 bytes and byte by byte must give the same
*  connects, the same events in the same order and the same verdict on the connection.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    const Outcome whole = feedStream(stream, [size] { return size; });
    Pieces pieces(stream);
    check(feedStream(stream, [&pieces] { return pieces.next(); }) == whole, "pieces give what the whole gives");
    check(feedStream(stream, [] { return std::size_t{1}; }) == whole, "bytes give what the whole gives");
    return 0;
}
