/*******************************************************************************************
*  json.h — the one JSON value type of the launcher link
*
*  Everything the window exchanges with the launcher is JSON. The parser is forgiving on
*  purpose: it never fails, malformed input yields whatever could be read, numbers keep their
*  text and objects keep document order and duplicate members. Lookups never fail either: a
*  missing member or index gives a shared null value. There is no serializer; request bodies
*  are assembled as text with quoteJson for every string.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlr {

enum class JsonKind { Null, False, True, Number, String, Array, Object };

struct Json {
    JsonKind kind = JsonKind::Null;
    std::string text;                                  // String contents, or the raw token text
    std::vector<Json> items;                           // Array elements in document order
    std::vector<std::pair<std::string, Json>> members; // Object members in document order

    bool isObject() const { return kind == JsonKind::Object; }
    bool isArray() const { return kind == JsonKind::Array; }
    bool isString() const { return kind == JsonKind::String; }
    bool isNumber() const { return kind == JsonKind::Number; }
    bool isNull() const { return kind == JsonKind::Null; }
};

// A byte text being read: current position and end.
struct JsonCursor {
    const char* pos;
    const char* end;
};

inline constexpr int kJsonMaxDepth = 64;

Json parseJson(JsonCursor& cursor, int depth);
Json parseJson(std::string_view text);  // convenience: a fresh cursor at depth 0

// Reads a string body whose opening quote was consumed; consumes the closing quote.
std::string readJsonString(JsonCursor& cursor);

const Json& jsonNull();
const Json& get(const Json& value, std::string_view key);
const Json& at(const Json& value, std::size_t index);
std::int64_t asInt(const Json& value);
const std::string& asText(const Json& value);
inline bool isTrue(const Json& value) { return value.kind == JsonKind::True; }

std::string quoteJson(std::string_view bytes);
Json jsonError(std::string_view message);

}  // namespace vlr
