/*******************************************************************************************
*  fuzz_json.cpp — the JSON reader on arbitrary bytes
*
*  Never crashes, never reads past the end, and what it read survives a round trip: written
*  out again (strings through quoteJson) and read back, it is the same tree. Trees that reach
*  the depth limit are left out of the round trip: an unread value there ends the document.
*******************************************************************************************/
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"

using namespace vlr;
using namespace vlr::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    JsonCursor cursor{text.data(), text.data() + text.size()};
    const Json value = parseJson(cursor, 0);
    check(cursor.pos >= text.data() && cursor.pos <= cursor.end, "the cursor stays inside the text");

    if (nesting(value) <= kJsonMaxDepth) {
        const std::string written = writeJson(value);
        check(sameJson(parseJson(written), value), "written out and read again, the same tree");
    }

    // Lookups on whatever came out never fail.
    asInt(value);
    asText(get(at(value, 0), "a"));
    return 0;
}
