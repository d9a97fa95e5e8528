/*******************************************************************************************
*  event_reader.h — one event's JSON read as it streams (event_reader.cpp)
*
*  An event too large to hold whole is read piece by piece, as parseJson and handleMessage
*  would read it whole: the first "lines" member of the top-level object gives the text of
*  each element (strings decoded, bare tokens as they stand, containers nothing), and the
*  first "state" member counts when it is true. Everything else is skipped with a stack of
*  the open containers, so the reader holds no more than an escape that has not fully
*  arrived. Like the whole reader it stops at the first byte it cannot use.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <string>

namespace vlr {

struct LargeEvent {
    enum class Mode : unsigned char { Value, ObjectFirst, Key, KeyText, Colon, ArrayFirst, After, Close, Text, Token, Done };
    enum class Role : unsigned char { Other, Line, State };

    Mode mode;
    Role role = Role::Other;  // what the string or token being read is for
    std::string open;         // '{' or '[' per open container
    bool linesOpen = false;   // open[1] is the "lines" array
    bool linesSeen = false;
    bool stateSeen = false;
    bool state = false;       // the "state" member was true
    int member = 0;           // the member whose value comes next: 1 "lines", 2 "state"
    std::string key;          // the first bytes of the key being read
    std::string token;        // the first bytes of the "state" token
    std::string out;          // text of "lines" not handed over yet

    // `data`: the event carries data; any other event is skipped whole.
    explicit LargeEvent(bool data) : mode(data ? Mode::Value : Mode::Done) {}

    // Reads what it can of [p, end) and returns where it stopped: end, or an escape that
    // waits for its last bytes (never when `final`).
    const char* step(const char* p, const char* end, bool final);
    // The event ended: a bare token still being read ends with it.
    void finish();

private:
    std::size_t beginValue(char c);  // bytes of c taken
    void endContainer();
    void endToken();
};

}  // namespace vlr
