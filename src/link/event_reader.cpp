/*******************************************************************************************
*  event_reader.cpp — one event's JSON read as it streams
*
*  The event stream hands this reader an event too large to hold whole, a piece at a time.
*  It must cut and classify bytes exactly where parseJson would, so it takes every byte rule
*  from json_lex.h and decodes strings with readJsonString itself.
*******************************************************************************************/
#include "link/event_reader.h"

#include <algorithm>
#include <cstdint>

#include "link/json.h"
#include "link/json_lex.h"

namespace vlr {

using jsonlex::isSpace;
using jsonlex::isTokenByte;

namespace {

// How far a string body starting at `from` can be read now: past its closing quote (closed),
// or up to a backslash whose escape has not fully arrived. `final`: the event ends at `end`.
const char* stringCut(const char* from, const char* end, bool final, bool& closed) {
    using jsonlex::kUnicodeEscape;
    closed = false;
    const char* p = from;
    for (;;) {
        p = jsonlex::findStringStop(p, end);
        if (p >= end) return end;
        if (*p == '"') {
            closed = true;
            return p + 1;
        }
        const std::ptrdiff_t left = end - p;
        if (left < 2 || (p[1] == 'u' && left < kUnicodeEscape)) return final ? end : p;
        if (p[1] != 'u') {
            p += 2;
            continue;
        }
        const char* escape = p;
        p += 2;
        const std::int32_t code = jsonlex::readHex4(p, end);
        // A high surrogate takes the next "\uXXXX" along when a whole one follows it.
        if (jsonlex::isHighSurrogate(code)) {
            if (end - p < kUnicodeEscape && !final) return escape;
            if (jsonlex::lowHalfFollows(p, end)) p += kUnicodeEscape;
        }
    }
}

}  // namespace

void LargeEvent::endContainer() {
    if (linesOpen && open.size() == 2) linesOpen = false;
    open.pop_back();
    mode = open.empty() ? Mode::Done : Mode::After;
}

void LargeEvent::endToken() {
    if (role == Role::State) state = token == "true";
    mode = Mode::After;
}

void LargeEvent::finish() {
    if (mode == Mode::Token) endToken();
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
            p = jsonlex::skipToken(p, end);
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

}  // namespace vlr
