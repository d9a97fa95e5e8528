/*******************************************************************************************
*  fonts.cpp — font files and the ten font slots
*
*  Reads the four font files once per process, checks that they carry usable head/hhea
*  tables, and bakes the ten slots for the current UI scale: the face's glyphs plus the
*  symbol font's for what the face lacks, with an advance table so that measuring never needs
*  raylib. The slots' glyph images then go into one texture together with a white block that
*  raylib's shapes are pointed at, so that the whole window draws from a single texture.
*  Without any usable file the slots fall back to raylib's built-in font at a whole multiple
*  of its 10-pixel size.
*
*  Sections: font files · baking glyphs · slots · the shared texture
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
constexpr int kAtlasRowWidth = 2048;
// The region for glyphs met after baking: 2048 × 2048 grey + alpha pixels, 8 MiB of texture.
// That holds a window-full of different CJK characters at twice the usual size, more than any
// page shows at once, while a player's names and messages rarely need more than a few hundred.
constexpr int kLateRegionHeight = 2048;
// Every OpenGL 3.3 driver worth the name takes this; beyond it each slot keeps its own texture.
constexpr int kLargestTexture = 8192;
// Shapes sample a speck in the middle of a white block. A multisampled pixel that a thin
// triangle only grazes takes its texture coordinate from beyond the triangle; with a speck
// that small, even far beyond it stays white.
constexpr int kWhiteBlock = 8;
constexpr float kWhiteSpeck = 1.0f / 64;

struct SlotRecipe {
    int file;     // 0 regular, 1 semibold, 2 mono
    float size;   // em size before scaling
};

constexpr std::array<SlotRecipe, kFontSlotCount> kSlotRecipes{{
    {0, 14}, {1, 14}, {0, 12.5f}, {0, 13}, {0, 12}, {1, 11}, {1, 16}, {0, 16}, {1, 17}, {2, 12},
}};

}  // namespace

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
    forgetWrappedLines();
    slot.advances.assign(kAdvanceCount, 0.0f);
    slot.glyphs.assign(kAdvanceCount, -1);
    const Font& font = slot.font;
    if (font.glyphs != nullptr && font.glyphCount <= INT16_MAX) {
        for (int i = font.glyphCount - 1; i >= 0; --i) {   // the first of two glyphs for one code point wins
            const int value = font.glyphs[i].value;
            if (value >= 0 && value < kAdvanceCount) slot.glyphs[static_cast<std::size_t>(value)] = static_cast<std::int16_t>(i);
        }
    }
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
    // Control characters and empty glyphs measure like '?'. Other code points that were not
    // baked keep 0: they are late glyphs, measured when first met.
    const float question = slot.advances['?'];
    for (std::size_t c = 0; c < slot.advances.size(); ++c) {
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        if ((control || slot.glyphs[c] >= 0) && !(slot.advances[c] > 0)) slot.advances[c] = question;
    }
}

int glyphIndexOf(const FontSlot& slot, int codepoint) {
    const auto index = static_cast<std::size_t>(codepoint);
    if (codepoint >= 0 && index < slot.glyphs.size() && slot.glyphs[index] >= 0) return slot.glyphs[index];
    return slot.glyphs.size() > '?' ? std::max<int>(0, slot.glyphs['?']) : 0;
}

// ---- slots ----

namespace {

// The face's glyphs, or a slot that is not `loaded` when there are none. Needs no window.
FontSlot bakeSlot(const FontFile& face, const FontFile& symbol, float emSize) {
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
        slot.atlas = GenImageFontAtlas(glyphs.data(), &recs, count, size, kGlyphPadding, 0);
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
        slot.emSize = emSize;
        slot.face = &face;
        slot.symbol = symbol.bytes.empty() ? nullptr : &symbol;
        fillAdvances(slot);
    } else {
        for (GlyphInfo& glyph : glyphs) UnloadImage(glyph.image);
    }
    return slot;
}

// No face, or raylib could not make a single glyph of it: text must still show, so the
// built-in font rather than a slot with nothing to draw. raylib makes that font with the
// window, so this runs on the window's thread.
FontSlot builtInSlot(float emSize) {
    FontSlot slot;
    const float k = std::max(1.0f, std::round(emSize / 9));
    slot.font = GetFontDefault();
    slot.drawingSize = 10 * k;
    slot.extraSpacing = k;
    fillAdvances(slot);
    return slot;
}

}  // namespace

FontSlot buildFontSlot(const FontFile& face, const FontFile& symbol, float emSize) {
    FontSlot slot = bakeSlot(face, symbol, emSize);
    return slot.loaded ? slot : builtInSlot(emSize);
}

// ---- the shared texture ----

AtlasLayout layOutAtlas(const std::vector<AtlasPlace>& sizes, int rowWidth) {
    AtlasLayout layout;
    layout.places.resize(sizes.size());
    std::vector<std::size_t> order(sizes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sizes[a].y > sizes[b].y; });
    for (const AtlasPlace& size : sizes) rowWidth = std::max(rowWidth, size.x);

    int x = 0, rowTop = 0, rowHeight = 0;
    for (std::size_t i : order) {
        if (x > 0 && x + sizes[i].x > rowWidth) {
            rowTop += rowHeight;
            x = rowHeight = 0;
        }
        layout.places[i] = {x, rowTop};
        x += sizes[i].x;
        rowHeight = std::max(rowHeight, sizes[i].y);
        layout.width = std::max(layout.width, x);
    }
    layout.height = rowTop + rowHeight;
    return layout;
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

Texture2D sharedTexture{};   // id 0 while the slots have textures of their own

void copyInto(Image& target, const Image& source, AtlasPlace at) {
    const int bytes = 2;   // both are grey + alpha
    auto* to = static_cast<unsigned char*>(target.data);
    const auto* from = static_cast<const unsigned char*>(source.data);
    for (int row = 0; row < source.height; ++row) {
        std::memcpy(to + (static_cast<std::size_t>(at.y + row) * target.width + at.x) * bytes,
                    from + static_cast<std::size_t>(row) * source.width * bytes,
                    static_cast<std::size_t>(source.width) * bytes);
    }
}

// Puts every baked slot's glyph image into one texture and points the slots and raylib's
// shapes at it. When that texture would be too large, each slot gets its own as before.
void shareOneTexture() {
    std::vector<FontSlot*> baked;
    std::vector<AtlasPlace> sizes;
    for (FontSlot& slot : slots()) {
        if (slot.loaded && slot.atlas.data != nullptr && slot.atlas.format == PIXELFORMAT_UNCOMPRESSED_GRAY_ALPHA) {
            baked.push_back(&slot);
            sizes.push_back({slot.atlas.width, slot.atlas.height});
        }
    }
    sizes.push_back({kWhiteBlock, kWhiteBlock});
    const AtlasLayout layout = layOutAtlas(sizes, kAtlasRowWidth);

    if (baked.empty() || layout.width > kLargestTexture || layout.height > kLargestTexture) {
        for (FontSlot& slot : slots()) {
            if (slot.loaded && slot.atlas.data != nullptr) slot.font.texture = LoadTextureFromImage(slot.atlas);
        }
    } else {
        // Below the baked images, a region for glyphs met later, as tall as the texture allows.
        const int width = std::max(layout.width, kAtlasRowWidth);
        const int lateHeight = std::min(kLateRegionHeight, kLargestTexture - layout.height);
        Image atlas{};   // grey + alpha, cleared: what lies between the images stays transparent
        atlas.data = MemAlloc(static_cast<unsigned>(width * (layout.height + lateHeight) * 2));
        atlas.width = width;
        atlas.height = layout.height + lateHeight;
        atlas.mipmaps = 1;
        atlas.format = PIXELFORMAT_UNCOMPRESSED_GRAY_ALPHA;
        for (std::size_t i = 0; i < baked.size(); ++i) {
            const AtlasPlace at = layout.places[i];
            copyInto(atlas, baked[i]->atlas, at);
            for (int g = 0; g < baked[i]->font.glyphCount; ++g) {
                baked[i]->font.recs[g].x += static_cast<float>(at.x);
                baked[i]->font.recs[g].y += static_cast<float>(at.y);
            }
        }
        const AtlasPlace white = layout.places.back();
        ImageDrawRectangle(&atlas, white.x, white.y, kWhiteBlock, kWhiteBlock, Color{255, 255, 255, 255});
        sharedTexture = LoadTextureFromImage(atlas);
        UnloadImage(atlas);
        for (FontSlot* slot : baked) slot->font.texture = sharedTexture;
        if (sharedTexture.id != 0) {
            // One band holds a row of the largest slot's glyphs, with room for those that reach
            // above or below the cell (accents on capitals, some fallback faces).
            int tallest = 0;
            for (const FontSlot* slot : baked) tallest = std::max(tallest, slot->font.baseSize);
            resetLateGlyphs(LateRegion{sharedTexture.id, 0, layout.height, width, lateHeight, tallest * 5 / 4 + 2});
        }
        if (sharedTexture.id != 0) {
            const float middle = kWhiteBlock / 2;
            SetShapesTexture(sharedTexture, Rectangle{static_cast<float>(white.x) + middle,
                                                      static_cast<float>(white.y) + middle, kWhiteSpeck, kWhiteSpeck});
        }
    }
    for (FontSlot& slot : slots()) {
        UnloadImage(slot.atlas);
        slot.atlas = Image{};
    }
}

// What a baked slot owns until it is adopted: glyph records, rectangles and its image.
void freeSlot(FontSlot& slot) {
    if (slot.loaded) {
        if (slot.font.texture.id != 0 && slot.font.texture.id != sharedTexture.id) UnloadTexture(slot.font.texture);
        UnloadFontData(slot.font.glyphs, slot.font.glyphCount);
        MemFree(slot.font.recs);
    }
    UnloadImage(slot.atlas);
    slot = FontSlot{};
}

void unloadSlots() {
    resetLateGlyphs(LateRegion{});
    SetShapesTexture(Texture2D{}, Rectangle{});   // back to raylib's own white pixel
    if (sharedTexture.id != 0) UnloadTexture(sharedTexture);
    for (FontSlot& slot : slots()) {
        if (!slot.loaded) continue;
        slot.font.texture.id = slot.font.texture.id == sharedTexture.id ? 0 : slot.font.texture.id;
        freeSlot(slot);
    }
    sharedTexture = Texture2D{};
}

const std::array<FontFile, 4>& fontFiles() {
    static const std::array<FontFile, 4> files = [] {
        std::array<FontFile, 4> read;
        for (std::size_t role = 0; role < read.size(); ++role)
            read[role] = loadFontFile(platform::fontFilePath(static_cast<int>(role)));
        return read;
    }();
    return files;
}

}  // namespace

BakedFonts::BakedFonts(BakedFonts&& other) noexcept : scale(other.scale), slots(std::move(other.slots)) {
    other.slots.clear();
}

BakedFonts& BakedFonts::operator=(BakedFonts&& other) noexcept {
    if (this != &other) {
        for (FontSlot& slot : slots) freeSlot(slot);
        scale = other.scale;
        slots = std::move(other.slots);
        other.slots.clear();
    }
    return *this;
}

BakedFonts::~BakedFonts() {
    for (FontSlot& slot : slots) freeSlot(slot);
}

BakedFonts bakeFonts(float scale) {
    const std::array<FontFile, 4>& files = fontFiles();
    // The system's fallback list takes a while to make the first time (Windows starts its font
    // machinery for it); here that happens while the window is being made, not in a frame.
    platform::fallbackFontFor(0x4E00);
    BakedFonts baked;
    baked.scale = scale;
    baked.slots.reserve(kFontSlotCount);
    for (const SlotRecipe& recipe : kSlotRecipes) {
        const FontFile& own = files[static_cast<std::size_t>(recipe.file)];
        const FontFile& face = own.bytes.empty() ? files[0] : own;
        baked.slots.push_back(bakeSlot(face, files[3], scale * recipe.size));
    }
    return baked;
}

void adoptFonts(BakedFonts baked) {
    if (baked.slots.size() != kFontSlotCount) return;
    forgetWrappedLines();
    unloadSlots();
    for (std::size_t i = 0; i < kFontSlotCount; ++i) {
        slots()[i] = baked.slots[i].loaded ? baked.slots[i] : builtInSlot(baked.scale * kSlotRecipes[i].size);
        baked.slots[i] = FontSlot{};   // now the table's
    }
    shareOneTexture();
}

void rebuildFonts() {
    // raylib warns for every glyph a face lacks; missing glyphs are expected here (the symbol
    // font supplies them), so only its errors are of interest while baking.
    SetTraceLogLevel(LOG_ERROR);
    adoptFonts(bakeFonts(uiState().scale));
    SetTraceLogLevel(LOG_WARNING);
}

const FontSlot& fontSlot(int slot) {
    if (slot < 0 || slot >= kFontSlotCount) slot = kRegular14;
    return slots()[static_cast<std::size_t>(slot)];
}

}  // namespace vlr
