/*******************************************************************************************
*  json_test.cpp — the forgiving JSON reader, lookups, quoting
*******************************************************************************************/
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "link/http.h"
#include "link/json.h"
#include "link/link.h"

namespace vlr {
namespace {

// Parses text and reports how many bytes were left unread.
Json parseRest(std::string_view text, std::size_t& rest) {
    JsonCursor cursor{text.data(), text.data() + text.size()};
    Json value = parseJson(cursor, 0);
    rest = static_cast<std::size_t>(cursor.end - cursor.pos);
    return value;
}

Json number(std::string_view text) {
    Json value;
    value.kind = JsonKind::Number;
    value.text = text;
    return value;
}

TEST(Json, ObjectsKeepOrderAndDuplicatesAndForgiveSloppyEndings) {
    const Json twice = parseJson(R"({"a": 1, "b": {}, "a": 2})");
    ASSERT_TRUE(twice.isObject());
    ASSERT_EQ(twice.members.size(), 3u);
    EXPECT_EQ(twice.members[0].first, "a");
    EXPECT_EQ(twice.members[1].first, "b");
    EXPECT_EQ(twice.members[2].first, "a");
    EXPECT_EQ(asText(get(twice, "a")), "1");  // the first one wins
    EXPECT_TRUE(get(twice, "b").isObject());

    const Json trailing = parseJson(R"({"only": true,})");
    ASSERT_EQ(trailing.members.size(), 1u);
    EXPECT_TRUE(isTrue(get(trailing, "only")));

    // A member without its colon ends the object; what came before stays.
    const Json noColon = parseJson(R"({"a": 1, "b" 2, "c": 3})");
    ASSERT_EQ(noColon.members.size(), 1u);
    EXPECT_EQ(noColon.members[0].first, "a");

    const Json unterminated = parseJson(R"({"a": [1, 2], "b": "x)");
    ASSERT_EQ(unterminated.members.size(), 2u);
    EXPECT_EQ(at(get(unterminated, "a"), 1).text, "2");
    EXPECT_EQ(asText(get(unterminated, "b")), "x");

    std::size_t rest = 0;
    const Json empty = parseRest(" { \n} tail", rest);
    EXPECT_TRUE(empty.isObject());
    EXPECT_TRUE(empty.members.empty());
    EXPECT_EQ(rest, 5u);  // " tail" is left for the caller
}

TEST(Json, ArraysAndTheAbandonedRest) {
    std::size_t rest = 99;
    const Json trailing = parseRest("[1,]", rest);
    ASSERT_TRUE(trailing.isArray());
    ASSERT_EQ(trailing.items.size(), 2u);
    EXPECT_TRUE(trailing.items[0].isNumber());
    EXPECT_TRUE(trailing.items[1].isNull());
    EXPECT_EQ(rest, 0u);

    // A byte that cannot start a value gives Null and drops everything after it, so the
    // outer containers end there too.
    const Json broken = parseRest(R"({"a": [1, }, 2], "b": 3})", rest);
    ASSERT_EQ(broken.members.size(), 1u);
    ASSERT_EQ(get(broken, "a").items.size(), 2u);
    EXPECT_TRUE(at(get(broken, "a"), 1).isNull());
    EXPECT_EQ(rest, 0u);

    // Without a comma the array simply ends; the next value is left unread.
    const Json noComma = parseRest("[1 2]", rest);
    EXPECT_EQ(noComma.items.size(), 1u);
    EXPECT_EQ(rest, 2u);

    EXPECT_TRUE(at(noComma, 1).isNull());
    EXPECT_EQ(&at(noComma, 7), &jsonNull());
}

TEST(Json, BareTokensKeepTheirText) {
    const Json value = parseJson("[-0.50, 12abc, True, nan, true, false, null, 1e+5]");
    ASSERT_EQ(value.items.size(), 8u);
    const char* texts[] = {"-0.50", "12abc", "True", "nan", "true", "false", "null", "1e+5"};
    const JsonKind kinds[] = {JsonKind::Number, JsonKind::Number, JsonKind::Number, JsonKind::Number,
                              JsonKind::True,   JsonKind::False,  JsonKind::Null,   JsonKind::Number};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(value.items[i].text, texts[i]) << i;
        EXPECT_EQ(value.items[i].kind, kinds[i]) << i;
    }
    EXPECT_EQ(asInt(value.items[0]), 0);
    EXPECT_FALSE(isTrue(value.items[2]));

    EXPECT_TRUE(parseJson("").isNull());
    EXPECT_TRUE(parseJson(" \t\r\n ").isNull());
    EXPECT_TRUE(parseJson(" \t\r\n ").text.empty());
    // Form feed is not whitespace here: it cannot start a value.
    EXPECT_TRUE(parseJson("\f1").isNull());
}

TEST(Json, StringEscapesAndUnicode) {
    EXPECT_EQ(parseJson(R"("a\"b\\c\/d\b\f\n\r\t\q")").text, "a\"b\\c/d\b\f\n\r\tq");
    EXPECT_EQ(parseJson(R"("\u00e9\u00C9")").text, "\xC3\xA9\xC3\x89");
    EXPECT_EQ(parseJson(R"("\u20AC")").text, "\xE2\x82\xAC");
    EXPECT_EQ(parseJson(R"("\ud83d\ude00")").text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(parseJson("\"caf\xC3\xA9 \xF0\x9F\x98\x80\"").text, "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(parseJson(R"("\u0000x")").text, std::string("\0x", 2));

    // A high surrogate needs six more bytes for its partner; with fewer it stands alone in
    // its three-byte form, and the short escape after it reads what is left.
    EXPECT_EQ(parseJson(R"("\ud83d\ude00)").text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(parseJson(R"("\ud83d\ude0)").text, "\xED\xA0\xBD\xE0\xB7\xA0");
    EXPECT_EQ(parseJson(R"("\ud83dx")").text, "\xED\xA0\xBDx");

    EXPECT_EQ(parseJson(R"("abc)").text, "abc");
    EXPECT_EQ(parseJson("\"abc\\").text, "abc");
    EXPECT_TRUE(parseJson(R"(")").isString());

    std::size_t rest = 0;
    const Json key = parseRest(R"({"k\"ey": "v"} x)", rest);
    EXPECT_EQ(asText(get(key, "k\"ey")), "v");
    EXPECT_EQ(rest, 2u);
}

TEST(Json, NestingStopsAtDepth64) {
    auto nested = [](int levels) { return std::string(levels, '[') + "1" + std::string(levels, ']'); };
    auto innermost = [](const Json& outer) {
        const Json* value = &outer;
        int levels = 0;
        while (value->isArray() && !value->items.empty()) {
            value = &value->items[0];
            ++levels;
        }
        return std::make_pair(levels, value);
    };

    std::size_t rest = 99;
    const std::string deepest = nested(64);
    const Json fits = parseRest(deepest, rest);
    EXPECT_EQ(innermost(fits).first, 64);
    EXPECT_EQ(innermost(fits).second->text, "1");
    EXPECT_EQ(rest, 0u);

    const std::string tooDeep = nested(65);
    const Json cut = parseRest(tooDeep, rest);
    EXPECT_EQ(innermost(cut).first, 65);
    EXPECT_TRUE(innermost(cut).second->isNull());
    EXPECT_EQ(rest, 66u);  // nothing was consumed from the value at depth 65 on

    // At the limit a comma does not go on to another unread value: each would cost a node
    // for one byte of input.
    const Json commas = parseJson(std::string(65, '[') + ",,,,]");
    const Json* last = &commas;
    for (int level = 0; level < 64; ++level) last = &last->items[0];
    EXPECT_EQ(last->items.size(), 1u);
    const Json member = parseRest(std::string(64, '[') + "{\"a\": [1], \"b\": 2}", rest);
    EXPECT_EQ(innermost(member).first, 64);
    EXPECT_EQ(rest, 12u);

    // Hostile depth costs nothing: the recursion never goes past the limit.
    const Json hostile = parseJson(std::string(1000000, '['));
    EXPECT_TRUE(hostile.isArray());
}

TEST(Json, LookupsNeverFail) {
    const Json doc = parseJson(R"({"n": 7, "s": "42", "list": [true]})");
    EXPECT_EQ(&get(doc, "missing"), &jsonNull());
    EXPECT_EQ(&get(get(doc, "list"), "n"), &jsonNull());  // not an object
    EXPECT_EQ(&get(get(get(doc, "x"), "y"), "z"), &jsonNull());
    EXPECT_TRUE(isTrue(at(get(doc, "list"), 0)));
    EXPECT_EQ(asInt(get(doc, "n")), 7);
    EXPECT_EQ(asInt(get(doc, "s")), 0);     // only numbers convert
    EXPECT_EQ(asText(get(doc, "s")), "42");
    EXPECT_EQ(asText(get(doc, "list")), "");
    EXPECT_EQ(asText(parseJson("null")), "null");
    EXPECT_EQ(asText(jsonNull()), "");
    EXPECT_TRUE(jsonNull().isNull());
    EXPECT_TRUE(jsonNull().items.empty() && jsonNull().members.empty());
}

TEST(Json, AsIntReadsLikeTheCLibrary) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(asInt(number("12.7")), 12);
    EXPECT_EQ(asInt(number("-12.7")), -12);
    EXPECT_EQ(asInt(number("+5")), 5);
    EXPECT_EQ(asInt(number("  \t42")), 42);
    EXPECT_EQ(asInt(number("1e9")), 1);
    EXPECT_EQ(asInt(number("abc")), 0);
    EXPECT_EQ(asInt(number("-")), 0);
    EXPECT_EQ(asInt(number("9223372036854775807")), kMax);
    EXPECT_EQ(asInt(number("9223372036854775808")), kMax);
    EXPECT_EQ(asInt(number("123456789012345678901234567890")), kMax);
    EXPECT_EQ(asInt(number("-9223372036854775808")), kMin);
    EXPECT_EQ(asInt(number("-9223372036854775809")), kMin);
    EXPECT_EQ(asInt(number("-99999999999999999999")), kMin);
}

TEST(Json, QuoteJsonEscapesOnlyWhatItMust) {
    EXPECT_EQ(quoteJson("a\tb\"c\\d"), "\"a\\u0009b\\\"c\\\\d\"");
    EXPECT_EQ(quoteJson("line\n\x1f\x7f"), "\"line\\u000a\\u001f\x7f\"");
    EXPECT_EQ(quoteJson("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(quoteJson(""), "\"\"");

    // Every byte survives the round trip through quoting and reading.
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    EXPECT_EQ(parseJson(quoteJson(all)).text, all);
}

TEST(Json, ValuesCopyDeepAndListsGrowSafely) {
    Json original = parseJson(R"({"a": [1, {"b": "x"}], "c": []})");
    Json copy = original;
    copy.members[0].second.items[1].members[0].second.text = "changed";
    EXPECT_EQ(asText(get(at(get(original, "a"), 1), "b")), "x");
    EXPECT_EQ(asText(get(at(get(copy, "a"), 1), "b")), "changed");

    // An element appended from the list itself survives the list's growth.
    Json list;
    list.kind = JsonKind::Array;
    list.items.push_back(number("1"));
    for (int i = 0; i < 40; ++i) list.items.push_back(list.items.back());
    ASSERT_EQ(list.items.size(), 41u);
    for (const Json& item : list.items) EXPECT_EQ(item.text, "1");

    Json moved = std::move(copy);
    EXPECT_TRUE(copy.members.empty());  // a moved-from list is empty
    copy = moved;
    EXPECT_EQ(copy.members.size(), 2u);
    EXPECT_EQ(asText(get(at(get(copy, "a"), 1), "b")), "changed");
}

TEST(Json, ErrorAnswers) {
    const Json error = jsonError(kNoAnswer);
    ASSERT_TRUE(error.isObject());
    ASSERT_EQ(error.members.size(), 1u);
    EXPECT_EQ(error.members[0].first, "error");
    EXPECT_TRUE(error.members[0].second.isString());
    EXPECT_EQ(asText(get(error, "error")), "The launcher does not answer.");
    EXPECT_FALSE(succeeded(error));
    EXPECT_TRUE(succeeded(parseJson(R"({"error": ""})")));
    EXPECT_TRUE(succeeded(jsonNull()));
    EXPECT_FALSE(succeeded(parseJson(R"({"error": "Disk full."})")));
}

}  // namespace
}  // namespace vlr
