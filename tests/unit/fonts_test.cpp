/*******************************************************************************************
*  fonts_test.cpp — font files, advance tables, UTF-8 decoding, measuring and wrapping
*
*  Headless: nothing here may need an OpenGL context, so slots are made by hand (glyph lists
*  run through fillAdvances) or from the real fonts' glyphs as bakeGlyphs returns them, which
*  is CPU work only. Real-font cases skip when the system has no such file (e.g. a Wine
*  prefix without the fonts copied in).
*******************************************************************************************/
#include "ui/fonts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/ui_state.h"

using namespace vlr;

namespace {

// ---- helpers ----

void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v >> 8);
    b[at + 1] = static_cast<char>(v & 0xFF);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v >> 16));
    put16(b, at + 2, static_cast<std::uint16_t>(v & 0xFFFF));
}

// The smallest file that passes the table check: a directory with head (at 44) and hhea (at 98).
constexpr std::size_t kHead = 44;
constexpr std::size_t kHhea = 98;

std::string tinyFont(std::uint16_t unitsPerEm, std::int16_t ascender, std::int16_t descender) {
    std::string b(kHhea + 36, '\0');
    put16(b, 4, 2);
    b.replace(12, 4, "head");
    put32(b, 12 + 8, kHead);
    put32(b, 12 + 12, 54);
    b.replace(28, 4, "hhea");
    put32(b, 28 + 8, kHhea);
    put32(b, 28 + 12, 36);
    put16(b, kHead + 18, unitsPerEm);
    put16(b, kHhea + 4, static_cast<std::uint16_t>(ascender));
    put16(b, kHhea + 6, static_cast<std::uint16_t>(descender));
    return b;
}

struct Glyphs {
    std::vector<GlyphInfo> list;
    void add(int codepoint, int advanceX, int imageWidth = 0) {
        GlyphInfo glyph{};
        glyph.value = codepoint;
        glyph.advanceX = advanceX;
        glyph.image.width = imageWidth;
        list.push_back(glyph);
    }
};

// A slot over hand-made glyphs; the glyph list must outlive it.
FontSlot slotOf(Glyphs& glyphs, int baseSize = 10, float drawingSize = 10, float extraSpacing = 0) {
    FontSlot slot;
    slot.font.baseSize = baseSize;
    slot.font.glyphCount = static_cast<int>(glyphs.list.size());
    slot.font.glyphs = glyphs.list.data();
    slot.drawingSize = drawingSize;
    slot.extraSpacing = extraSpacing;
    fillAdvances(slot);
    return slot;
}

// Every character 10 wide: only '?' has a glyph, so everything falls back to it.
struct UniformSlot {
    Glyphs glyphs;
    FontSlot slot;
    UniformSlot() {
        glyphs.add('?', 10);
        slot = slotOf(glyphs);
    }
};

std::vector<std::string> linesOf(const FontSlot& slot, std::string_view text, float width) {
    std::vector<std::string> out;
    for (const TextLine& line : wrapLines(slot, text, width)) out.emplace_back(text.substr(line.start, line.length));
    return out;
}

using Lines = std::vector<std::string>;

constexpr Color kWhite{255, 255, 255, 255};

struct DrawingFlag {
    bool saved = uiState().drawing;
    explicit DrawingFlag(bool value) { uiState().drawing = value; }
    ~DrawingFlag() { uiState().drawing = saved; }
};

// How many glyphs raylib finds for one code point (0 or 1); the first is copied out without its image.
int loadOne(const FontFile& file, int size, int codepoint, GlyphInfo& out) {
    if (file.bytes.empty()) return 0;
    int count = 0;
    GlyphInfo* glyphs = LoadFontData(reinterpret_cast<const unsigned char*>(file.bytes.data()),
                                     static_cast<int>(file.bytes.size()), size, &codepoint, 1, FONT_DEFAULT, &count);
    if (count > 0) out = glyphs[0];
    out.image = Image{};
    UnloadFontData(glyphs, count);
    return count;
}

struct RealFonts {
    FontFile face = loadFontFile(platform::fontFilePath(0));
    FontFile symbol = loadFontFile(platform::fontFilePath(3));
};

}  // namespace

// ---- font files ----

TEST(FontFile, AcceptsHeadAndHheaTables) {
    std::string bytes = tinyFont(2048, 1900, -500);
    FontFile file = parseFontFile(bytes);
    EXPECT_EQ(file.bytes, bytes);
    EXPECT_EQ(file.unitsPerEm, 2048);
    EXPECT_EQ(file.ascender, 1900);
    EXPECT_EQ(file.descender, -500);

    // Cut right after the 20 bytes of head that are read: accepted, hhea metrics beyond the end are 0.
    file = parseFontFile(bytes.substr(0, kHead + 20));
    EXPECT_FALSE(file.bytes.empty());
    EXPECT_EQ(file.unitsPerEm, 2048);
    EXPECT_EQ(file.ascender, 0);
    EXPECT_EQ(file.descender, 0);
}

TEST(FontFile, RejectsGarbageAndTruncatedFiles) {
    const std::string good = tinyFont(1000, 800, -200);
    auto rejected = [](std::string bytes) {
        FontFile file = parseFontFile(std::move(bytes));
        return file.bytes.empty() && file.unitsPerEm == 1 && file.ascender == 0;
    };
    EXPECT_TRUE(rejected(""));
    EXPECT_TRUE(rejected("\0\1\0\2\0"));
    EXPECT_TRUE(rejected(std::string(4096, 'x')));        // 0x7878 tables, none of them ours
    EXPECT_TRUE(rejected(good.substr(0, kHead + 19)));    // head cut short
    EXPECT_TRUE(rejected(good.substr(0, 12 + 16 + 15)));  // second record cut short: no hhea
    EXPECT_TRUE(rejected(tinyFont(0, 800, -200)));        // units per em 0

    std::string noHhea = good;
    noHhea.replace(28, 4, "hmtx");
    EXPECT_TRUE(rejected(noHhea));
    std::string oneTable = good;
    put16(oneTable, 4, 1);                                // hhea lies past the table count
    EXPECT_TRUE(rejected(oneTable));
    std::string headAtZero = good;
    put32(headAtZero, 12 + 8, 0);
    EXPECT_TRUE(rejected(headAtZero));
    std::string headFarAway = good;
    put32(headFarAway, 12 + 8, 0xFFFFFFF0u);              // no overflow into "inside"
    EXPECT_TRUE(rejected(headFarAway));
}

TEST(FontFile, LoadsOnlyFontExtensions) {
    std::random_device random;
    const std::string base = platform::tempFolder() + "vlr-fonts-test-" + std::to_string(random());
    const std::string bytes = tinyFont(1000, 800, -200);
    for (const char* extension : {".ttf", ".OTF", ".TtF", ".bin", ".ttfx"}) {
        const std::string path = base + extension;
        std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
        const bool fontName = std::string(extension).size() == 4 && std::string(extension) != ".bin";
        EXPECT_EQ(loadFontFile(path).bytes.empty(), !fontName) << extension;
        platform::removeFile(path);
    }
    EXPECT_TRUE(loadFontFile(base + "-missing.ttf").bytes.empty());
    EXPECT_TRUE(loadFontFile(".ttf").bytes.empty());
}

// A collection of the given faces: header, then each face's directory and tables, with every
// table offset counted from the start of the collection.
std::string collectionOf(const std::vector<std::string>& faces) {
    std::string ttc(12 + 4 * faces.size(), '\0');
    ttc.replace(0, 4, "ttcf");
    put32(ttc, 4, 0x00010000);
    put32(ttc, 8, static_cast<std::uint32_t>(faces.size()));
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const auto at = static_cast<std::uint32_t>(ttc.size());
        put32(ttc, 12 + 4 * i, at);
        std::string face = faces[i];
        const std::size_t tables = (static_cast<unsigned char>(face[4]) << 8) | static_cast<unsigned char>(face[5]);
        for (std::size_t t = 0; t < tables; ++t) {
            const std::size_t field = 12 + 16 * t + 8;
            const std::uint32_t offset = (static_cast<std::uint32_t>(static_cast<unsigned char>(face[field])) << 24) |
                                         (static_cast<unsigned char>(face[field + 1]) << 16) |
                                         (static_cast<unsigned char>(face[field + 2]) << 8) |
                                         static_cast<unsigned char>(face[field + 3]);
            put32(face, field, offset + at);
        }
        ttc += face;
    }
    return ttc;
}

TEST(FontFile, FacesOfACollectionLoadAsPlainFonts) {
    const std::string ttc = collectionOf({tinyFont(1000, 800, -200), tinyFont(2048, 1900, -500)});
    EXPECT_EQ(parseFontFile(faceOfCollection(ttc, 0, "")).unitsPerEm, 1000);
    EXPECT_EQ(parseFontFile(faceOfCollection(ttc, 1, "")).unitsPerEm, 2048);
    EXPECT_EQ(parseFontFile(faceOfCollection(ttc, -1, "No Such Face")).unitsPerEm, 1000);   // the first
    EXPECT_TRUE(faceOfCollection(ttc, 2, "").empty());
    for (std::size_t cut : {std::size_t{11}, std::size_t{19}, std::size_t{40}, ttc.size() - 1})
        EXPECT_TRUE(parseFontFile(faceOfCollection(ttc.substr(0, cut), 1, "")).bytes.empty()) << cut;
    EXPECT_TRUE(faceOfCollection(tinyFont(1000, 800, -200), 0, "").empty());   // not a collection

    // A real collection, picked by name as a font-link entry names it.
    const std::string real = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    if (!std::filesystem::exists(real)) GTEST_SKIP() << "no " << real;
    const FontFile mono = loadFontFace({real, -1, "WenQuanYi Micro Hei Mono"});
    ASSERT_FALSE(mono.bytes.empty());
    EXPECT_EQ(mono.bytes, loadFontFace({real, 1, ""}).bytes);
    EXPECT_NE(mono.bytes, loadFontFace({real, -1, "wenquanyi micro hei"}).bytes);
    GlyphInfo glyph{};
    EXPECT_EQ(loadOne(mono, 20, 0x6771, glyph), 1);
}

TEST(FontFile, ReadsTheSystemFaces) {
    RealFonts fonts;
    if (fonts.face.bytes.empty()) GTEST_SKIP() << "no regular face at " << platform::fontFilePath(0);
    EXPECT_GT(fonts.face.unitsPerEm, 1);
    EXPECT_GT(fonts.face.ascender, 0);
    EXPECT_LT(fonts.face.descender, 0);
}

// ---- advance tables ----

TEST(FontAdvances, ScaleSpaceAndFallBackToQuestionMark) {
    Glyphs glyphs;
    glyphs.add('a', 5);
    glyphs.add('b', 0, 7);        // no advance: the image (later the atlas rectangle) width counts
    glyphs.add('?', 4);
    glyphs.add(0x2715, 0, 0);     // empty glyph measures like '?'
    glyphs.add(12000, 9);         // beyond the table: ignored
    FontSlot slot = slotOf(glyphs, 10, 20);   // drawn at twice the base size
    ASSERT_EQ(slot.advances.size(), static_cast<std::size_t>(kAdvanceCount));
    EXPECT_EQ(advanceOf(slot, 'a'), 10);
    EXPECT_EQ(advanceOf(slot, 'b'), 14);
    EXPECT_EQ(advanceOf(slot, '?'), 8);
    EXPECT_EQ(advanceOf(slot, 0x2715), 8);
    EXPECT_EQ(advanceOf(slot, 'c'), 8);
    EXPECT_EQ(advanceOf(slot, '\t'), 8);
    EXPECT_EQ(advanceOf(slot, 10239), 8);
    EXPECT_EQ(advanceOf(slot, 10240), 8);
    EXPECT_EQ(advanceOf(slot, 12000), 8);
    EXPECT_EQ(advanceOf(slot, -1), 8);
    // Drawing finds glyphs by the same table: unknown, out-of-table and negative code points
    // take the '?' glyph, not whatever happens to be first.
    EXPECT_EQ(glyphIndexOf(slot, 'b'), 1);
    EXPECT_EQ(glyphIndexOf(slot, 0x2715), 3);
    for (int codepoint : {int{'c'}, 12000, 10240, -1}) EXPECT_EQ(glyphIndexOf(slot, codepoint), 2) << codepoint;

    FontSlot spaced = slotOf(glyphs, 10, 10, 1);   // the built-in font's spacing is in the table
    EXPECT_EQ(advanceOf(spaced, 'a'), 6);
    EXPECT_EQ(advanceOf(spaced, 'c'), 5);

    Rectangle recs[2] = {{0, 0, 6.9f, 10}, {0, 0, 7.9f, 10}};
    slot.font.recs = recs;   // once baked, the rectangle's whole pixels count
    slot.font.glyphCount = 2;
    fillAdvances(slot);
    EXPECT_EQ(advanceOf(slot, 'b'), 2 * 7);
}

TEST(FontAdvances, BuiltInFontWhenNoFaceCanBeUsed) {
    struct Case { float em; float drawingSize; };
    for (Case c : {Case{14, 20}, Case{13.5f, 20}, Case{12.5f, 10}, Case{4, 10}, Case{27, 30}}) {
        FontSlot slot = buildFontSlot(FontFile{}, FontFile{}, c.em);
        EXPECT_FALSE(slot.loaded);
        EXPECT_EQ(slot.drawingSize, c.drawingSize) << c.em;
        EXPECT_EQ(slot.extraSpacing, c.drawingSize / 10) << c.em;
        EXPECT_EQ(slot.advances.size(), static_cast<std::size_t>(kAdvanceCount));
    }
    // Passes the table check but is no font raylib can read: still the built-in font, not an empty slot.
    FontSlot slot = buildFontSlot(parseFontFile(tinyFont(1000, 800, -200)), FontFile{}, 14);
    EXPECT_FALSE(slot.loaded);
    EXPECT_EQ(slot.drawingSize, 20);
}

TEST(FontAdvances, RaylibSizeMakesTheEmSquareExact) {
    FontFile file;
    file.ascender = 1000;
    file.descender = -500;
    file.unitsPerEm = 1000;
    EXPECT_EQ(raylibFontSize(file, 1), 2);     // 1.5 rounds away from zero
    EXPECT_EQ(raylibFontSize(file, 14), 21);
    EXPECT_EQ(raylibFontSize(file, 0.1f), 1);  // never below one pixel
    EXPECT_EQ(raylibFontSize(file, NAN), 1);
}

TEST(FontAdvances, BakedCodepointsInOrder) {
    const std::vector<int>& codepoints = bakedCodepoints();
    ASSERT_EQ(codepoints.size(), 357u);
    EXPECT_EQ(codepoints[0], ' ');
    EXPECT_EQ(codepoints[94], '~');
    EXPECT_EQ(codepoints[95], 0xA0);
    EXPECT_EQ(codepoints[343], 0x2030);
    EXPECT_EQ(codepoints.back(), 0x25CB);
    EXPECT_EQ(std::set<int>(codepoints.begin(), codepoints.end()).size(), codepoints.size());
}

TEST(FontAdvances, RealFaceWithSymbolFallback) {
    RealFonts fonts;
    if (fonts.face.bytes.empty()) GTEST_SKIP() << "no regular face";
    int base = 0;
    std::vector<GlyphInfo> glyphs = bakeGlyphs(fonts.face, fonts.symbol, 14, base);
    EXPECT_EQ(base, raylibFontSize(fonts.face, 14));
    EXPECT_EQ(raylibFontSize(fonts.face, 21), std::lround((fonts.face.ascender - fonts.face.descender) * 21 /
                                                          fonts.face.unitsPerEm));

    std::set<int> seen;
    const std::set<int> baked(bakedCodepoints().begin(), bakedCodepoints().end());
    for (const GlyphInfo& glyph : glyphs) {
        EXPECT_TRUE(baked.count(glyph.value)) << glyph.value;
        EXPECT_TRUE(seen.insert(glyph.value).second) << "twice: " << glyph.value;
        EXPECT_NE(glyph.image.data, nullptr) << glyph.value;
    }

    FontSlot slot;
    slot.font.baseSize = base;
    slot.font.glyphCount = static_cast<int>(glyphs.size());
    slot.font.glyphs = glyphs.data();
    slot.drawingSize = static_cast<float>(base);
    fillAdvances(slot);
    const float question = advanceOf(slot, '?');
    EXPECT_GT(question, 0);
    EXPECT_EQ(advanceOf(slot, 0x2800), question);
    EXPECT_EQ(advanceOf(slot, 0x1F600), question);
    EXPECT_EQ(advanceOf(slot, 0xA0), advanceOf(slot, ' '));   // a no-break space is a space
    EXPECT_GT(advanceOf(slot, 'W'), advanceOf(slot, 'i'));
    EXPECT_EQ(textWidth(slot, "Wi", 1), advanceOf(slot, 'W') + advanceOf(slot, 'i') + 2);
    for (int c : bakedCodepoints()) {
        if (!seen.count(c)) {
            EXPECT_EQ(advanceOf(slot, c), question) << "missing everywhere: " << c;
        }
    }

    // The multiplication X comes from the symbol font (when the face lacks it), moved onto the
    // face's baseline.
    GlyphInfo inFace{}, inSymbol{};
    const int symbolSize = raylibFontSize(fonts.symbol, 14);
    if (loadOne(fonts.face, base, 0x2715, inFace) == 0 && loadOne(fonts.symbol, symbolSize, 0x2715, inSymbol) == 1) {
        auto baseline = [](const FontFile& f, int size) {
            return static_cast<int>(f.ascender * (static_cast<float>(size) / (f.ascender - f.descender)));
        };
        const int shift = baseline(fonts.face, base) - baseline(fonts.symbol, symbolSize);
        ASSERT_TRUE(seen.count(0x2715));
        for (const GlyphInfo& glyph : glyphs) {
            if (glyph.value == 0x2715) {
                EXPECT_EQ(glyph.offsetY, inSymbol.offsetY + shift);
            }
        }
    }
    for (GlyphInfo& glyph : glyphs) UnloadImage(glyph.image);
}

TEST(FontAdvances, SlotsBeforeTheFirstRebuildMeasureWithoutRaylib) {
    DrawingFlag drawing(true);
    EXPECT_EQ(fontSlot(kRegular14).advances.size(), static_cast<std::size_t>(kAdvanceCount));
    EXPECT_EQ(textWidth(kMono12, "abc"), 0);
    EXPECT_EQ(&fontSlot(-1), &fontSlot(kRegular14));
    EXPECT_EQ(&fontSlot(kFontSlotCount), &fontSlot(kRegular14));
    EXPECT_EQ(drawTextRun(kSemibold17, "abc", 3.5f, 10, kWhite), 4);   // nothing to draw with: no crash
    EXPECT_EQ(drawTextBlock(kRegular12, "a\n\nb", 0, 0, 100, 18, kWhite, true), 54);   // lines × height
    EXPECT_EQ(drawTextBlock(kRegular12, "", 0, 0, 100, 18, kWhite, false), 18);
}

// Characters outside the baked set, from the face (Cyrillic), the system's fallback (CJK and
// Hangul, when such a font is installed) or nowhere (private use: '?').
TEST(LateGlyphs, MeasuredFromTheFaceOrTheSystemsFallbackElseQuestionMark) {
    BakedFonts fonts = bakeFonts(1);
    const FontSlot& slot = fonts.slots[kRegular14];
    if (!slot.loaded) GTEST_SKIP() << "no regular face";
    const float question = advanceOf(slot, '?');
    const float latinW = advanceOf(slot, 'W');

    const LateGlyph* de = lateGlyph(slot, 0x414, false);   // Д
    ASSERT_NE(de, nullptr);
    EXPECT_GT(de->width, 0);
    EXPECT_EQ(advanceOf(slot, 0x414), de->advance);
    EXPECT_EQ(textWidth(slot, "Д.Д"), 2 * de->advance + advanceOf(slot, '.'));

    EXPECT_EQ(lateGlyph(slot, 0xE000, false), nullptr);
    EXPECT_EQ(advanceOf(slot, 0xE000), question);
    EXPECT_EQ(advanceOf(slot, 0x10FFFD), question);
    EXPECT_EQ(advanceOf(slot, 'W'), latinW);   // baked characters keep their table

    for (int cjk : {0x6771, 0xC11C, 0x3042}) {   // 東 서 あ
        if (platform::fallbackFontFor(cjk).path.empty()) continue;
        const LateGlyph* glyph = lateGlyph(slot, cjk, false);
        ASSERT_NE(glyph, nullptr) << cjk;
        // Full width: about one em, well apart from '?'.
        EXPECT_GT(glyph->advance, 0.8f * 14) << cjk;
        EXPECT_GT(glyph->width, 0.5f * 14) << cjk;
        EXPECT_EQ(advanceOf(slot, cjk), glyph->advance);
    }
    // Wrapping text without spaces breaks between characters by the late advances.
    if (!platform::fallbackFontFor(0x6771).path.empty()) {
        const float cjk = advanceOf(slot, 0x6771);
        EXPECT_EQ(linesOf(slot, "東東東東東", 2.5f * cjk), (Lines{"東東", "東東", "東"}));
    }
}

// ---- the shared texture ----

TEST(FontAtlas, SlotImagesAndTheWhiteBlockNeverOverlapAndStayInside) {
    struct Case {
        std::vector<AtlasPlace> sizes;
        int rowWidth;
    };
    const std::vector<Case> cases = {
        {{{512, 256}, {512, 128}, {256, 256}, {1024, 512}, {512, 256}, {8, 8}}, 2048},
        {{{3000, 100}, {100, 3000}, {8, 8}}, 2048},   // wider than a row: a row of its own
        {{{8, 8}}, 2048},
        {{{300, 20}, {300, 40}, {300, 30}, {300, 10}, {8, 8}}, 600},
    };
    for (const Case& c : cases) {
        const AtlasLayout layout = layOutAtlas(c.sizes, c.rowWidth);
        ASSERT_EQ(layout.places.size(), c.sizes.size());
        int widest = c.rowWidth;
        for (const AtlasPlace& size : c.sizes) widest = std::max(widest, size.x);
        EXPECT_LE(layout.width, widest);
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            const AtlasPlace a = layout.places[i], sa = c.sizes[i];
            EXPECT_GE(a.x, 0);
            EXPECT_GE(a.y, 0);
            EXPECT_LE(a.x + sa.x, layout.width);
            EXPECT_LE(a.y + sa.y, layout.height);
            for (std::size_t j = i + 1; j < c.sizes.size(); ++j) {
                const AtlasPlace b = layout.places[j], sb = c.sizes[j];
                const bool apart = a.x + sa.x <= b.x || b.x + sb.x <= a.x || a.y + sa.y <= b.y || b.y + sb.y <= a.y;
                EXPECT_TRUE(apart) << i << " and " << j;
            }
        }
    }
    // Rows fill before the texture grows: four 300-wide images in rows of 600 take two rows.
    EXPECT_EQ(layOutAtlas({{300, 20}, {300, 40}, {300, 30}, {300, 10}}, 600).height, 40 + 20);
}

// ---- UTF-8 ----

TEST(Utf8, DecodesEveryLength) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::size_t pos = 0;
    EXPECT_EQ(decodeUtf8(text, pos), 'A');
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(decodeUtf8(text, pos), 0xE9);
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(decodeUtf8(text, pos), 0x20AC);
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(decodeUtf8(text, pos), 0x1F600);
    EXPECT_EQ(pos, 10u);
}

TEST(Utf8, MalformedBytesBecomeQuestionMarks) {
    auto decodeAll = [](std::string_view text) {
        std::vector<int> out;
        for (std::size_t pos = 0; pos < text.size();) out.push_back(decodeUtf8(text, pos));
        return out;
    };
    using Codes = std::vector<int>;
    EXPECT_EQ(decodeAll("\x80"), Codes{'?'});
    EXPECT_EQ(decodeAll("\xFF\xF8x"), (Codes{'?', '?', 'x'}));
    EXPECT_EQ(decodeAll("a\xC3"), (Codes{'a', '?'}));              // truncated at the end
    EXPECT_EQ(decodeAll("a\xE2\x82"), (Codes{'a', '?', '?'}));     // the stray follower is one more
    EXPECT_EQ(decodeAll("\xC3\x41"), (Codes{'?', 'A'}));           // a lead takes only followers
    EXPECT_EQ(decodeAll("\xC1\x81\xED\xA0\x80\xF4\x90\x80\x80"),    // overlong, surrogate, past U+10FFFF
              Codes(9, '?'));
    EXPECT_EQ(decodeAll(std::string_view("\xF0\x9F\x98\x80", 3)), (Codes{'?', '?', '?'}));

    // Never reads past the view, even when the bytes after it would complete the sequence.
    const std::string whole = "\xE2\x82\xAC";
    std::size_t pos = 0;
    EXPECT_EQ(decodeUtf8(std::string_view(whole.data(), 2), pos), '?');
    EXPECT_EQ(pos, 1u);
}

// ---- measuring and drawing ----

TEST(TextWidth, SumsAdvancesWithSpacingAfterEveryCharacter) {
    Glyphs glyphs;
    glyphs.add('a', 5);
    glyphs.add('b', 7);
    glyphs.add('?', 4);
    FontSlot slot = slotOf(glyphs);
    EXPECT_EQ(textWidth(slot, ""), 0);
    EXPECT_EQ(textWidth(slot, "", 3), 0);
    EXPECT_EQ(textWidth(slot, "ab"), 12);
    EXPECT_EQ(textWidth(slot, "ab", 1), 14);
    EXPECT_EQ(textWidth(slot, "\xE2\xA0\x80"), 4);    // U+2800 is past the table
    EXPECT_EQ(textWidth(slot, "a\xC3"), 9);           // truncated sequence: one '?'
    EXPECT_EQ(textWidth(slot, "\xC3\xA9"), 4);        // unbaked: like '?'
}

TEST(TextRun, AdvancesOverSpacesWithoutDrawingThem) {
    UniformSlot uniform;
    for (bool drawing : {false, true}) {   // a hand-made slot has no atlas, so drawing is skipped too
        DrawingFlag flag(drawing);
        EXPECT_EQ(drawTextRun(uniform.slot, "a b", 10.5f, 20, kWhite), 41);   // starts on pixel 11
        EXPECT_EQ(drawTextRun(uniform.slot, "a b", 10.4f, 20, kWhite, 2), 46);
        EXPECT_EQ(drawTextRun(uniform.slot, "", -2.5f, 20, kWhite), -3);
    }
}

// ---- wrapping ----

TEST(WrapLines, BreaksAtTheLastSpaceOrBetweenCharacters) {
    UniformSlot uniform;
    const FontSlot& slot = uniform.slot;
    EXPECT_EQ(linesOf(slot, "aaaa bbbb", 60), (Lines{"aaaa", "bbbb"}));
    EXPECT_EQ(linesOf(slot, "aaaa bbbb", 90), (Lines{"aaaa bbbb"}));   // only a greater sum breaks
    EXPECT_EQ(linesOf(slot, "abc", 10), (Lines{"a", "b", "c"}));
    EXPECT_EQ(linesOf(slot, "abc", 0), (Lines{"a", "b", "c"}));
    EXPECT_EQ(linesOf(slot, "abc", -5), (Lines{"a", "b", "c"}));
    EXPECT_EQ(linesOf(slot, "abcdef gh", 40), (Lines{"abcd", "ef", "gh"}));
    EXPECT_EQ(linesOf(slot, "\xC3\xA9\xC3\xA9\xC3\xA9", 15), (Lines{"\xC3\xA9", "\xC3\xA9", "\xC3\xA9"}));
}

TEST(WrapLines, ParagraphsAndSpaces) {
    UniformSlot uniform;
    const FontSlot& slot = uniform.slot;
    EXPECT_EQ(linesOf(slot, "", 100), (Lines{""}));
    EXPECT_EQ(linesOf(slot, "a\n\nb", 100), (Lines{"a", "", "b"}));
    EXPECT_EQ(linesOf(slot, "ab\n", 100), (Lines{"ab", ""}));
    EXPECT_EQ(linesOf(slot, "\n", 100), (Lines{"", ""}));
    EXPECT_EQ(linesOf(slot, "ab   ", 100), (Lines{"ab"}));
    EXPECT_EQ(linesOf(slot, "ab   cd", 40), (Lines{"ab", "cd"}));
    EXPECT_EQ(linesOf(slot, "  ab", 100), (Lines{"  ab"}));   // leading spaces of a paragraph stay
    EXPECT_EQ(linesOf(slot, "   ", 15), (Lines{""}));

    // Lines are views into the text: the line feed belongs to none of them.
    const std::vector<TextLine> lines = wrapLines(slot, "a\n\nbb", 100);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].start, 2u);
    EXPECT_EQ(lines[1].length, 0u);
    EXPECT_EQ(lines[2].start, 3u);
    EXPECT_EQ(lines[2].length, 2u);
}
