/*******************************************************************************************
*  fonts.cpp — font files and the ten font slots
*
*  Reads the four font files once per process, checks that they carry usable head/hhea
*  tables, and bakes the ten slots for the current UI scale: the face's glyphs plus the
*  symbol font's for what the face lacks, in one atlas per slot, with an advance table so
*  that measuring never needs raylib. Without any usable file the slots fall back to raylib's
*  built-in font at a whole multiple of its 10-pixel size.
*
*  Sections: font files · baking glyphs · slots
*******************************************************************************************/
#include "ui/fonts.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "ui/ui_state.h"

namespace vlr {

namespace {

constexpr int kGlyphPadding = 4;
constexpr int kLargestFontSize = 1024;   // keeps a wild scale from asking for gigabyte atlases

struct SlotRecipe {
    int file;     // 0 regular, 1 semibold, 2 mono
    float size;   // em size before scaling
};

constexpr std::array<SlotRecipe, kFontSlotCount> kSlotRecipes{{
    {0, 14}, {1, 14}, {0, 12.5f}, {0, 13}, {0, 12}, {1, 11}, {1, 16}, {0, 16}, {1, 17}, {2, 12},
}};

std::uint32_t be16(const std::string& b, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 8) |
           static_cast<unsigned char>(b[at + 1]);
}

std::uint32_t be32(const std::string& b, std::size_t at) {
    return (be16(b, at) << 16) | be16(b, at + 2);
}

float pixelHeight(float ascender, float descender, float unitsPerEm, float emSize) {
    const float h = std::round((ascender - descender) * emSize / unitsPerEm);
    if (!(h >= 1)) return 1;   // also catches NaN from a broken scale
    return std::min(h, static_cast<float>(kLargestFontSize));
}

// Where raylib puts the baseline, measured from the top of a glyph cell of `size` pixels.
int baselineOf(const FontFile& file, int size) {
    const float span = file.ascender - file.descender;
    if (span == 0) return 0;
    return static_cast<int>(file.ascender * (static_cast<float>(size) / span));
}

}  // namespace

// ---- font files ----

FontFile parseFontFile(std::string bytes) {
    FontFile file;
    const std::size_t size = bytes.size();
    if (size > static_cast<std::size_t>(INT_MAX)) return file;   // raylib takes an int size

    const std::size_t tableCount = size > 5 ? be16(bytes, 4) : 0;
    std::uint64_t head = 0;
    std::uint64_t hhea = 0;
    for (std::size_t i = 0; i < tableCount; ++i) {
        const std::size_t record = 12 + 16 * i;
        if (record + 16 > size) break;
        const char* tag = bytes.data() + record;
        if (std::memcmp(tag, "head", 4) == 0) head = be32(bytes, record + 8);
        if (std::memcmp(tag, "hhea", 4) == 0) hhea = be32(bytes, record + 8);
    }
    if (head == 0 || hhea == 0 || size < head + 20) return file;
    const std::uint32_t unitsPerEm = be16(bytes, static_cast<std::size_t>(head + 18));
    if (unitsPerEm == 0) return file;

    file.unitsPerEm = static_cast<float>(unitsPerEm);
    if (hhea + 6 <= size) file.ascender = static_cast<std::int16_t>(be16(bytes, static_cast<std::size_t>(hhea + 4)));
    if (hhea + 8 <= size) file.descender = static_cast<std::int16_t>(be16(bytes, static_cast<std::size_t>(hhea + 6)));
    file.bytes = std::move(bytes);
    return file;
}

FontFile loadFontFile(const std::string& path) {
    if (path.size() < 5) return {};
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (extension != ".ttf" && extension != ".otf") return {};
    std::string bytes;
    if (!platform::readFile(path, bytes)) return {};
    return parseFontFile(std::move(bytes));
}

const std::vector<int>& bakedCodepoints() {
    static const std::vector<int> codepoints = [] {
        std::vector<int> list;
        for (int c = 0x20; c <= 0x7E; ++c) list.push_back(c);
        for (int c = 0xA0; c <= 0x17F; ++c) list.push_back(c);
        for (int c = 0x2010; c <= 0x2027; ++c) list.push_back(c);
        for (int c : {0x2030, 0x2039, 0x203A, 0x20AC, 0x2122, 0x2190, 0x2191, 0x2192, 0x2193, 0x2713, 0x2715,
                      0x25A1, 0x25B3, 0x25CB}) {
            list.push_back(c);
        }
        return list;
    }();
    return codepoints;
}

// ---- baking glyphs ----

int raylibFontSize(const FontFile& file, float emSize) {
    return static_cast<int>(pixelHeight(file.ascender, file.descender, file.unitsPerEm, emSize));
}

namespace {

// Appends the glyphs of `file` that have image data; glyphs without any are dropped (they
// have no pixels and, from raylib, no advance either).
void appendGlyphs(const FontFile& file, int size, const std::vector<int>& codepoints, int shiftY,
                  std::vector<GlyphInfo>& out) {
    if (file.bytes.empty() || codepoints.empty()) return;   // an empty list would mean "95 from space"
    int count = 0;
    GlyphInfo* glyphs = LoadFontData(reinterpret_cast<const unsigned char*>(file.bytes.data()),
                                     static_cast<int>(file.bytes.size()), size, codepoints.data(),
                                     static_cast<int>(codepoints.size()), FONT_DEFAULT, &count);
    if (glyphs == nullptr) return;
    for (int i = 0; i < count; ++i) {
        if (glyphs[i].image.data == nullptr) continue;
        GlyphInfo glyph = glyphs[i];
        glyph.offsetY += shiftY;
        out.push_back(glyph);
    }
    MemFree(glyphs);   // the kept images now belong to `out`
}

}  // namespace

std::vector<GlyphInfo> bakeGlyphs(const FontFile& face, const FontFile& symbol, float emSize, int& baseSize) {
    std::vector<GlyphInfo> glyphs;
    baseSize = raylibFontSize(face, emSize);
    if (face.bytes.empty()) return glyphs;

    const std::vector<int>& wanted = bakedCodepoints();
    glyphs.reserve(wanted.size());
    appendGlyphs(face, baseSize, wanted, 0, glyphs);

    // raylib leaves out code points the face has no glyph for, so what is missing is what did not
    // come back with pixels.
    std::vector<bool> found(kAdvanceCount, false);
    for (const GlyphInfo& glyph : glyphs) {
        if (glyph.value >= 0 && glyph.value < kAdvanceCount) found[static_cast<std::size_t>(glyph.value)] = true;
    }
    std::vector<int> missing;
    for (int c : wanted) {
        if (!found[static_cast<std::size_t>(c)]) missing.push_back(c);
    }
    if (!missing.empty() && !symbol.bytes.empty()) {
        const int symbolSize = raylibFontSize(symbol, emSize);
        const int shift = baselineOf(face, baseSize) - baselineOf(symbol, symbolSize);
        appendGlyphs(symbol, symbolSize, missing, shift, glyphs);
    }

    // A no-break space has no pixels in any font, so neither pass keeps it and it would show as
    // '?'. It is a space: give it the space's glyph.
    bool haveNoBreakSpace = false;
    const GlyphInfo* space = nullptr;
    for (const GlyphInfo& glyph : glyphs) {
        if (glyph.value == 0xA0) haveNoBreakSpace = true;
        if (glyph.value == ' ') space = &glyph;
    }
    if (!haveNoBreakSpace && space != nullptr) {
        GlyphInfo noBreakSpace = *space;
        noBreakSpace.value = 0xA0;
        noBreakSpace.image = ImageCopy(space->image);
        if (noBreakSpace.image.data != nullptr) glyphs.push_back(noBreakSpace);
    }
    return glyphs;
}

void fillAdvances(FontSlot& slot) {
    slot.advances.assign(kAdvanceCount, 0.0f);
    const Font& font = slot.font;
    if (font.glyphs != nullptr && font.baseSize > 0) {
        const float factor = slot.drawingSize / static_cast<float>(font.baseSize);
        for (int i = 0; i < font.glyphCount; ++i) {
            const GlyphInfo& glyph = font.glyphs[i];
            if (glyph.value < 0 || glyph.value >= kAdvanceCount) continue;
            float advance = static_cast<float>(glyph.advanceX);
            if (advance == 0) {
                advance = font.recs != nullptr ? std::trunc(font.recs[i].width)
                                               : static_cast<float>(glyph.image.width);
            }
            slot.advances[static_cast<std::size_t>(glyph.value)] = factor * advance + slot.extraSpacing;
        }
    }
    // Control characters, unbaked code points and empty glyphs all measure like '?'.
    const float question = slot.advances['?'];
    for (float& advance : slot.advances) {
        if (!(advance > 0)) advance = question;
    }
}

// ---- slots ----

FontSlot buildFontSlot(const FontFile& face, const FontFile& symbol, float emSize) {
    FontSlot slot;
    int size = 0;
    std::vector<GlyphInfo> glyphs = bakeGlyphs(face, symbol, emSize, size);

    GlyphInfo* infos = nullptr;
    if (!glyphs.empty()) {
        infos = static_cast<GlyphInfo*>(MemAlloc(static_cast<unsigned>(glyphs.size() * sizeof(GlyphInfo))));
    }

    if (infos != nullptr) {
        const int count = static_cast<int>(glyphs.size());
        Rectangle* recs = nullptr;
        Image atlas = GenImageFontAtlas(glyphs.data(), &recs, count, size, kGlyphPadding, 0);
        slot.font.texture = LoadTextureFromImage(atlas);
        UnloadImage(atlas);
        for (GlyphInfo& glyph : glyphs) {
            UnloadImage(glyph.image);
            glyph.image = Image{};
        }
        std::memcpy(infos, glyphs.data(), glyphs.size() * sizeof(GlyphInfo));
        slot.font.baseSize = size;
        slot.font.glyphCount = count;
        slot.font.glyphPadding = kGlyphPadding;
        slot.font.recs = recs;
        slot.font.glyphs = infos;
        slot.drawingSize = static_cast<float>(size);
        slot.loaded = true;
    } else {
        // No face, or raylib could not make a single glyph of it: text must still show, so use
        // the built-in font rather than a slot with nothing to draw.
        for (GlyphInfo& glyph : glyphs) UnloadImage(glyph.image);
        const float k = std::max(1.0f, std::round(emSize / 9));
        slot.font = GetFontDefault();
        slot.drawingSize = 10 * k;
        slot.extraSpacing = k;
    }
    fillAdvances(slot);
    return slot;
}

namespace {

// Before the first rebuild (and in headless tests) every slot measures all text as zero wide
// and draws nothing; nothing in it points anywhere.
std::array<FontSlot, kFontSlotCount>& slots() {
    static std::array<FontSlot, kFontSlotCount> table = [] {
        std::array<FontSlot, kFontSlotCount> initial;
        for (FontSlot& slot : initial) slot.advances.assign(kAdvanceCount, 0.0f);
        return initial;
    }();
    return table;
}

}  // namespace

void rebuildFonts() {
    static std::array<FontFile, 4> files;
    static bool filesRead = false;
    if (!filesRead) {
        for (std::size_t role = 0; role < files.size(); ++role) {
            files[role] = loadFontFile(platform::fontFilePath(static_cast<int>(role)));
        }
        filesRead = true;
    }

    // raylib warns for every glyph a face lacks; missing glyphs are expected here (the symbol
    // font supplies them), so only its errors are of interest while baking.
    SetTraceLogLevel(LOG_ERROR);
    const float scale = uiState().scale;
    for (int i = 0; i < kFontSlotCount; ++i) {
        FontSlot& slot = slots()[static_cast<std::size_t>(i)];
        if (slot.loaded) UnloadFont(slot.font);
        const SlotRecipe& recipe = kSlotRecipes[static_cast<std::size_t>(i)];
        const FontFile& own = files[static_cast<std::size_t>(recipe.file)];
        const FontFile& face = own.bytes.empty() ? files[0] : own;
        slot = buildFontSlot(face, files[3], scale * recipe.size);
    }
    SetTraceLogLevel(LOG_WARNING);
}

const FontSlot& fontSlot(int slot) {
    if (slot < 0 || slot >= kFontSlotCount) slot = kRegular14;
    return slots()[static_cast<std::size_t>(slot)];
}

}  // namespace vlr
