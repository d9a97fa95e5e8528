/*******************************************************************************************
*  json.cpp — the forgiving JSON reader, lookups and string quoting
*
*  The reader never fails: it keeps whatever it could read and stops quietly at the first
*  byte it cannot use. It is on the path of every state document the launcher sends, so it
*  works on runs of bytes rather than single characters wherever it can.
*******************************************************************************************/
#include "link/json.h"
#include "link/json_lex.h"

#include <deque>
#include <limits>
#include <utility>

namespace vlr {

namespace {

inline void skipSpace(JsonCursor& cursor) { cursor.pos = jsonlex::skipSpace(cursor.pos, cursor.end); }

// ---- strings ----

// Garbage digits can give a negative value; like anything above U+10FFFF it writes nothing.
void appendUtf8(std::string& out, std::int64_t code) {
    if (code < 0) return;
    if (code <= 0x7F) {
        out.push_back(static_cast<char>(code));
    } else if (code <= 0x7FF) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code <= 0xFFFF) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// ---- values ----

// Children are gathered on a stack shared by the whole parse and moved into their container
// once, at its final size: growing each container's own list would allocate and move every
// child several times. A container's children sit above the stack height it found when it
// began; nested containers have taken theirs off by the time it ends. The stacks are deques,
// which grow in small blocks: a doubling vector would hold up to twice the children it needs
// at the moment they are moved out. The stacks live for one parse: thread-local ones would
// save a few allocations, but thread-local objects with destructors crash at thread exit in
// the mingw-w64 build.
struct Scratch {
    std::deque<std::pair<std::string, Json>> members;
    std::deque<Json> items;
};

template <typename T>
void takeChildren(std::deque<T>& stack, std::size_t base, JsonList<T>& into) {
    into.reserve(stack.size() - base);
    for (std::size_t i = base; i < stack.size(); ++i) into.push_back(std::move(stack[i]));
    stack.resize(base);
}

// A value nested too deeply is not read at all: the cursor stays on it. In well-formed text
// that byte starts the value, so the enclosing container ends there; it must not go on after
// a comma either, or every comma at the limit would cost a node while consuming one byte.
inline bool beyondDepth(int depth) { return depth > kJsonMaxDepth; }

Json parseValue(JsonCursor& cursor, int depth, Scratch& scratch);

Json parseObject(JsonCursor& cursor, int depth, Scratch& scratch) {
    Json result;
    result.kind = JsonKind::Object;
    skipSpace(cursor);
    if (cursor.pos < cursor.end && *cursor.pos == '}') {
        ++cursor.pos;
        return result;
    }
    const std::size_t base = scratch.members.size();
    for (;;) {
        skipSpace(cursor);
        if (cursor.pos >= cursor.end || *cursor.pos != '"') break;
        ++cursor.pos;
        std::string key = readJsonString(cursor);
        skipSpace(cursor);
        if (cursor.pos >= cursor.end || *cursor.pos != ':') break;  // the key is dropped
        ++cursor.pos;
        Json value = parseValue(cursor, depth + 1, scratch);
        scratch.members.emplace_back(std::move(key), std::move(value));
        if (beyondDepth(depth + 1)) break;
        skipSpace(cursor);
        if (cursor.pos >= cursor.end || *cursor.pos != ',') break;
        ++cursor.pos;
    }
    takeChildren(scratch.members, base, result.members);
    skipSpace(cursor);
    if (cursor.pos < cursor.end && *cursor.pos == '}') ++cursor.pos;
    return result;
}

Json parseArray(JsonCursor& cursor, int depth, Scratch& scratch) {
    Json result;
    result.kind = JsonKind::Array;
    skipSpace(cursor);
    if (cursor.pos < cursor.end && *cursor.pos == ']') {
        ++cursor.pos;
        return result;
    }
    const std::size_t base = scratch.items.size();
    for (;;) {
        Json item = parseValue(cursor, depth + 1, scratch);
        scratch.items.push_back(std::move(item));
        if (beyondDepth(depth + 1)) break;
        skipSpace(cursor);
        if (cursor.pos >= cursor.end || *cursor.pos != ',') break;
        ++cursor.pos;
    }
    takeChildren(scratch.items, base, result.items);
    skipSpace(cursor);
    if (cursor.pos < cursor.end && *cursor.pos == ']') ++cursor.pos;
    return result;
}

Json parseToken(JsonCursor& cursor) {
    const char* start = cursor.pos;
    cursor.pos = jsonlex::skipToken(cursor.pos, cursor.end);
    Json result;
    if (cursor.pos == start) {
        // Nothing usable where a value should start: abandon the rest so that every
        // enclosing container finishes here.
        cursor.pos = cursor.end;
        return result;
    }
    const std::string_view token(start, static_cast<std::size_t>(cursor.pos - start));
    if (token == "true")
        result.kind = JsonKind::True;
    else if (token == "false")
        result.kind = JsonKind::False;
    else if (token == "null")
        result.kind = JsonKind::Null;
    else
        result.kind = JsonKind::Number;
    result.text.assign(token);
    return result;
}

Json parseValue(JsonCursor& cursor, int depth, Scratch& scratch) {
    skipSpace(cursor);
    if (cursor.pos >= cursor.end || beyondDepth(depth)) return Json{};
    switch (*cursor.pos) {
        case '{': ++cursor.pos; return parseObject(cursor, depth, scratch);
        case '[': ++cursor.pos; return parseArray(cursor, depth, scratch);
        case '"': {
            ++cursor.pos;
            Json result;
            result.kind = JsonKind::String;
            result.text = readJsonString(cursor);
            return result;
        }
        default: return parseToken(cursor);
    }
}

}  // namespace

// ---- reading ----

std::string readJsonString(JsonCursor& cursor) {
    std::string out;
    for (;;) {
        const char* stop = jsonlex::findStringStop(cursor.pos, cursor.end);
        out.append(cursor.pos, static_cast<std::size_t>(stop - cursor.pos));
        cursor.pos = stop;
        if (cursor.pos >= cursor.end) return out;  // unterminated: ends with the input
        if (*cursor.pos == '"') {
            ++cursor.pos;
            return out;
        }
        ++cursor.pos;                              // the backslash
        if (cursor.pos >= cursor.end) return out;  // a lone backslash at the very end
        const char escaped = *cursor.pos++;
        switch (escaped) {
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                std::int64_t code = jsonlex::readHex4(cursor.pos, cursor.end);
                if (jsonlex::isHighSurrogate(code) && jsonlex::lowHalfFollows(cursor.pos, cursor.end)) {
                    cursor.pos += 2;
                    const std::int64_t low = jsonlex::readHex4(cursor.pos, cursor.end);
                    code = code * 1024 + low - 0x35FDC00;
                }
                appendUtf8(out, code);
                break;
            }
            default: out.push_back(escaped); break;
        }
    }
}

Json parseJson(JsonCursor& cursor, int depth) {
    Scratch scratch;
    return parseValue(cursor, depth, scratch);
}

Json parseJson(std::string_view text) {
    JsonCursor cursor{text.data(), text.data() + text.size()};
    return parseJson(cursor, 0);
}

// ---- lookups ----

const Json& jsonNull() {
    static const Json null;  // created once, thread-safely, on first use; never freed
    return null;
}

const Json& get(const Json& value, std::string_view key) {
    for (const auto& member : value.members)
        if (member.first == key) return member.second;
    return jsonNull();
}

const Json& at(const Json& value, std::size_t index) {
    return index < value.items.size() ? value.items[index] : jsonNull();
}

std::int64_t asInt(const Json& value) {
    if (value.kind != JsonKind::Number) return 0;
    // Base-10 conversion as the C library does it: blanks, a sign, then digits up to the
    // first other byte; out-of-range values saturate.
    const std::string& text = value.text;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
    std::uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;  // saturated; the remaining digits change nothing
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<std::int64_t>(magnitude);
    if (magnitude == kMaxPositive + 1) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
}

const std::string& asText(const Json& value) { return value.text; }

// ---- writing ----

std::string quoteJson(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() + 2);
    out.push_back('"');
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 32 && c != '"' && c != '\\') continue;
        out.append(bytes.data() + runStart, i - runStart);
        runStart = i + 1;
        if (c >= 32) {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else {
            const char escape[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
            out.append(escape, sizeof escape);
        }
    }
    out.append(bytes.data() + runStart, bytes.size() - runStart);
    out.push_back('"');
    return out;
}

Json jsonError(std::string_view message) {
    Json error;
    error.kind = JsonKind::Object;
    Json text;
    text.kind = JsonKind::String;
    text.text.assign(message);
    error.members.emplace_back("error", std::move(text));
    return error;
}

}  // namespace vlr
