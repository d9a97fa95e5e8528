/*******************************************************************************************
*  json_lex.h — the byte rules of the JSON reader, shared by its two readers
*
*  json.cpp reads a whole text; event_reader.cpp reads an event too large to hold as it
*  streams and must cut and classify bytes exactly where the whole reader would. Both take
*  their whitespace, bare tokens, hexadecimal digits and escapes from here, so the two
*  cannot drift apart. Internal to link/.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>

namespace vlr::jsonlex {

// 1: whitespace (tab, line feed, carriage return, space); 2: byte of a bare token (ASCII
// letter or digit, '+', '-', '.').
inline constexpr unsigned char kSpace = 1;
inline constexpr unsigned char kToken = 2;

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        for (unsigned char c : {'\t', '\n', '\r', ' '}) of[c] = kSpace;
        for (int c = '0'; c <= '9'; ++c) of[c] = kToken;
        for (int c = 'a'; c <= 'z'; ++c) of[c] = kToken;
        for (int c = 'A'; c <= 'Z'; ++c) of[c] = kToken;
        for (unsigned char c : {'+', '-', '.'}) of[c] = kToken;
    }
};
inline constexpr ByteClasses kClasses;

inline bool isSpace(char c) { return kClasses.of[static_cast<unsigned char>(c)] == kSpace; }
inline bool isTokenByte(char c) { return kClasses.of[static_cast<unsigned char>(c)] == kToken; }

inline const char* skipSpace(const char* pos, const char* end) {
    while (pos < end && isSpace(*pos)) ++pos;
    return pos;
}

inline const char* skipToken(const char* pos, const char* end) {
    while (pos < end && isTokenByte(*pos)) ++pos;
    return pos;
}

// First quote or backslash in [pos, end), or end.
inline const char* findStringStop(const char* pos, const char* end) {
    while (pos < end) {
        const char c = *pos;
        if (c == '"' || c == '\\') return pos;
        ++pos;
    }
    return end;
}

// ---- "\uXXXX" escapes ----

inline constexpr std::ptrdiff_t kUnicodeEscape = 6;  // backslash, 'u', four digits

// One hexadecimal digit as the reader counts it: no validation, so any byte yields a value.
inline std::int32_t hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return static_cast<std::int32_t>(c | 0x20) - 87;
}

// The digits after "\u": up to four, fewer when the input ends first; `pos` moves past them.
inline std::int32_t readHex4(const char*& pos, const char* end) {
    std::int32_t value = 0;
    for (int i = 0; i < 4 && pos < end; ++i) value = value * 16 + hexValue(static_cast<unsigned char>(*pos++));
    return value;
}

inline bool isHighSurrogate(std::int64_t code) { return code >= 0xD800 && code <= 0xDBFF; }

// After a high surrogate's escape: a whole "\uXXXX" follows at `pos` and is read as its low half.
inline bool lowHalfFollows(const char* pos, const char* end) {
    return end - pos >= kUnicodeEscape && pos[0] == '\\' && pos[1] == 'u';
}

}  // namespace vlr::jsonlex
