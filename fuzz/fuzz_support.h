/*******************************************************************************************
*  fuzz_support.h — what the fuzz targets share: checks, tree comparison, writing a tree out
*
*  The program has no serialiser (request bodies are assembled by hand); the fuzz targets
*  need one to check that what the parser read, written out again with quoteJson for every
*  string, reads back as the same tree. A failed check aborts, which libFuzzer reports with
*  the input that did it.
*******************************************************************************************/
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/json.h"

namespace vlr::fuzz {

inline void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline bool sameJson(const Json& a, const Json& b) {
    if (a.kind != b.kind || a.text != b.text || a.items.size() != b.items.size() ||
        a.members.size() != b.members.size())
        return false;
    for (std::size_t i = 0; i < a.items.size(); ++i)
        if (!sameJson(a.items[i], b.items[i])) return false;
    for (std::size_t i = 0; i < a.members.size(); ++i)
        if (a.members[i].first != b.members[i].first || !sameJson(a.members[i].second, b.members[i].second))
            return false;
    return true;
}

// Piece sizes from 1 to 64 bytes, drawn from the input itself so that a finding replays.
class Pieces {
public:
    explicit Pieces(std::string_view input) {
        for (unsigned char c : input) state_ = (state_ ^ c) * 0x100000001b3ull;
    }
    std::size_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return 1 + static_cast<std::size_t>((state_ >> 33) % 64);
    }

private:
    std::uint64_t state_ = 0xcbf29ce484222325ull;
};

// Tokens go out as their text. A Null with no text stands where the parser found no value
// (an empty token or the end of the input); a lone comma reads back as exactly that.
inline void writeJson(const Json& value, std::string& out) {
    switch (value.kind) {
        case JsonKind::String: out += quoteJson(value.text); break;
        case JsonKind::Array:
            out += '[';
            for (std::size_t i = 0; i < value.items.size(); ++i) {
                if (i) out += ',';
                writeJson(value.items[i], out);
            }
            out += ']';
            break;
        case JsonKind::Object:
            out += '{';
            for (std::size_t i = 0; i < value.members.size(); ++i) {
                if (i) out += ',';
                out += quoteJson(value.members[i].first);
                out += ':';
                writeJson(value.members[i].second, out);
            }
            out += '}';
            break;
        default: out += value.text.empty() ? std::string(",") : value.text; break;
    }
}

inline std::string writeJson(const Json& value) {
    std::string out;
    writeJson(value, out);
    return out;
}

// Levels of containers above the deepest value: 0 for a scalar, 1 for [1].
inline int nesting(const Json& value) {
    int deepest = 0;
    for (const Json& item : value.items) deepest = std::max(deepest, nesting(item) + 1);
    for (const auto& member : value.members) deepest = std::max(deepest, nesting(member.second) + 1);
    if (value.isArray() || value.isObject()) deepest = std::max(deepest, 1);
    return deepest;
}

}  // namespace vlr::fuzz
