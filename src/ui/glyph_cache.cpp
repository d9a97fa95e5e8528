/*******************************************************************************************
*  glyph_cache.cpp — glyphs outside the baked set, made on first use
*
*  A character the slots were not baked with is rasterised the first time a text needs it
*  (measuring included, so a measuring pass knows its advance before anything is drawn): from
*  the slot's face, else the symbol font, else the font the system itself falls back to for
*  that character, shifted onto the face's baseline as the symbol font's glyphs are. Its pixels
*  go into a region of the one shared texture by a partial update, so a frame of text and
*  shapes stays a single draw call.
*
*  The region is cut into bands of one glyph row each, filled left to right. When every band
*  is taken, the band used least recently is emptied for the new glyph: its glyphs are
*  forgotten (advances included) and come back, identical, when a text needs them again. The
*  batch is drawn first, so quads already queued from that band still show the old pixels.
*  Memory is therefore bounded by the region plus the faces read, whatever the text.
*
*  Sections: faces · rasterising · the atlas region · lookup
*******************************************************************************************/
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/platform.h"
#include "ui/fonts.h"

#include "rlgl.h"

namespace vlr {

namespace {

constexpr int kBandPadding = 1;   // a column and row of nothing between glyphs
// Glyphs that no font has stay known (as '?') up to this many per slot; past it they are
// forgotten, so that a stream of unknown characters cannot grow memory without end.
constexpr std::size_t kMissingKept = 4096;

// ---- faces ----

// Fallback faces by file and face, each read once per process; a face that cannot be read is
// remembered as empty so it is not read again.
std::map<std::string, FontFile>& fallbackFaces() {
    static std::map<std::string, FontFile> faces;
    return faces;
}

const FontFile& fallbackFace(const platform::FontFace& face) {
    const std::string key = face.path + '\n' + std::to_string(face.index) + '\n' + face.name;
    auto found = fallbackFaces().find(key);
    if (found == fallbackFaces().end()) found = fallbackFaces().emplace(key, loadFontFace(face)).first;
    return found->second;
}

// ---- rasterising ----

// The glyph's image (grey) and metrics from `file` at the slot's em size, shifted onto the
// face's baseline; false when the file has no pixels for it.
bool rasteriseFrom(const FontFile& file, const FontSlot& slot, int codepoint, GlyphInfo& out) {
    if (file.bytes.empty()) return false;
    const int size = &file == slot.face ? slot.font.baseSize : raylibFontSize(file, slot.emSize);
    int count = 0;
    // raylib warns about each character a font lacks; asking the face first, that is expected.
    SetTraceLogLevel(LOG_ERROR);
    GlyphInfo* glyphs = LoadFontData(reinterpret_cast<const unsigned char*>(file.bytes.data()),
                                     static_cast<int>(file.bytes.size()), size, &codepoint, 1, FONT_DEFAULT, &count);
    SetTraceLogLevel(LOG_WARNING);
    if (glyphs == nullptr) return false;
    const bool found = count > 0 && glyphs[0].image.data != nullptr;
    if (found) {
        out = glyphs[0];
        out.offsetY += baselineOf(*slot.face, slot.font.baseSize) - baselineOf(file, size);
        glyphs[0].image = Image{};   // now out's
    }
    UnloadFontData(glyphs, count);
    return found;
}

bool rasterise(const FontSlot& slot, int codepoint, GlyphInfo& out) {
    if (rasteriseFrom(*slot.face, slot, codepoint, out)) return true;
    if (slot.symbol != nullptr && rasteriseFrom(*slot.symbol, slot, codepoint, out)) return true;
    const platform::FontFace fallback = platform::fallbackFontFor(codepoint);
    return !fallback.path.empty() && rasteriseFrom(fallbackFace(fallback), slot, codepoint, out);
}

// ---- the atlas region ----

struct Band {
    int x = 0;                                            // where the next glyph goes
    unsigned long long lastUse = 0;
    std::vector<std::pair<const FontSlot*, int>> glyphs;  // to forget when the band is emptied
};

struct Region {
    LateRegion area;
    std::vector<Band> bands;
    int filling = 0;                  // the band new glyphs go to
    unsigned long long clock = 0;     // counts uses, for least-recently-used
};

Region& region() {
    static Region state;
    return state;
}

void emptyBand(Band& band) {
    for (const auto& [slot, codepoint] : band.glyphs) slot->late.erase(codepoint);
    band.glyphs.clear();
    band.x = 0;
}

// A band with room for `width` more pixels: the one being filled, a fresh one, or the least
// recently used one emptied. -1 when the glyph cannot go anywhere.
int bandFor(int width) {
    Region& r = region();
    if (r.bands.empty() || width + kBandPadding > r.area.width) return -1;
    if (r.bands[static_cast<std::size_t>(r.filling)].x + width <= r.area.width) return r.filling;
    int oldest = 0;
    for (int i = 0; i < static_cast<int>(r.bands.size()); ++i) {
        const Band& band = r.bands[static_cast<std::size_t>(i)];
        if (band.glyphs.empty()) {
            oldest = i;
            break;
        }
        if (band.lastUse < r.bands[static_cast<std::size_t>(oldest)].lastUse) oldest = i;
    }
    Band& reused = r.bands[static_cast<std::size_t>(oldest)];
    if (!reused.glyphs.empty()) {
        rlDrawRenderBatchActive();   // quads queued from this band must draw with its old pixels
        emptyBand(reused);
    }
    r.filling = oldest;
    return oldest;
}

// Only the window's own slots draw from the shared texture; a band keeps pointers to them.
bool isWindowSlot(const FontSlot& slot) {
    for (int i = 0; i < kFontSlotCount; ++i)
        if (&fontSlot(i) == &slot) return true;
    return false;
}

void placeGlyph(const FontSlot& slot, int codepoint, LateGlyph& glyph, const Image& image) {
    Region& r = region();
    const int width = image.width;
    const int height = std::min(image.height, r.area.bandHeight - kBandPadding);
    if (r.area.texture == 0 || width <= 0 || height <= 0 || !isWindowSlot(slot)) return;
    const int index = bandFor(width);
    if (index < 0) return;
    Band& band = r.bands[static_cast<std::size_t>(index)];

    // Grey to grey + alpha, as the baked atlas has it.
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2);
    const auto* grey = static_cast<const unsigned char*>(image.data);
    for (std::size_t i = 0; i < pixels.size() / 2; ++i) {
        pixels[2 * i] = 255;
        pixels[2 * i + 1] = grey[i];
    }
    const int x = r.area.left + band.x;
    const int y = r.area.top + index * r.area.bandHeight;
    rlUpdateTexture(r.area.texture, x, y, width, height, PIXELFORMAT_UNCOMPRESSED_GRAY_ALPHA, pixels.data());

    glyph.rec = Rectangle{static_cast<float>(x), static_cast<float>(y), static_cast<float>(width), static_cast<float>(height)};
    glyph.height = height;
    glyph.band = index;
    band.x += width + kBandPadding;
    band.glyphs.emplace_back(&slot, codepoint);
}

void forgetMissing(const FontSlot& slot) {
    std::size_t missing = 0;
    for (const auto& entry : slot.late) missing += entry.second.missing ? 1 : 0;
    if (missing <= kMissingKept) return;
    for (auto it = slot.late.begin(); it != slot.late.end();) it = it->second.missing ? slot.late.erase(it) : std::next(it);
}

}  // namespace

// ---- lookup ----

const LateGlyph* lateGlyph(const FontSlot& slot, int codepoint, bool place) {
    if (slot.face == nullptr || slot.face->bytes.empty() || codepoint < 0x20 || codepoint > 0x10FFFF) return nullptr;
    Region& r = region();
    auto found = slot.late.find(codepoint);
    if (found != slot.late.end()) {
        LateGlyph& known = found->second;
        if (known.missing) return nullptr;
        if (known.band >= 0) {
            r.bands[static_cast<std::size_t>(known.band)].lastUse = ++r.clock;
            return &known;
        }
        if (!place || r.area.texture == 0) return &known;
    }

    GlyphInfo info{};
    const bool drawable = rasterise(slot, codepoint, info);
    if (found == slot.late.end()) {
        if (!drawable && slot.late.size() > kMissingKept) forgetMissing(slot);
        found = slot.late.emplace(codepoint, LateGlyph{}).first;
    }
    LateGlyph& glyph = found->second;
    if (!drawable) {
        glyph.missing = true;
        return nullptr;
    }
    float advance = static_cast<float>(info.advanceX);
    if (advance == 0) advance = static_cast<float>(info.image.width);
    const float factor = slot.font.baseSize > 0 ? slot.drawingSize / static_cast<float>(slot.font.baseSize) : 1;
    glyph.advance = factor * advance + slot.extraSpacing;
    glyph.offsetX = info.offsetX;
    glyph.offsetY = info.offsetY;
    glyph.width = info.image.width;
    glyph.height = info.image.height;
    if (place && r.area.texture != 0) placeGlyph(slot, codepoint, glyph, info.image);
    if (glyph.band >= 0) r.bands[static_cast<std::size_t>(glyph.band)].lastUse = ++r.clock;
    UnloadImage(info.image);
    return &glyph;
}

const LateGlyph* knownLateGlyph(const FontSlot& slot, int codepoint, bool& final) {
    final = false;
    const auto found = slot.late.find(codepoint);
    if (found == slot.late.end()) return nullptr;
    LateGlyph& known = found->second;
    if (known.missing) {
        final = true;
        return nullptr;
    }
    if (known.band < 0) return nullptr;
    Region& r = region();
    r.bands[static_cast<std::size_t>(known.band)].lastUse = ++r.clock;
    final = true;
    return &known;
}

void resetLateGlyphs(const LateRegion& area) {
    Region& r = region();
    for (Band& band : r.bands) emptyBand(band);
    r = Region{};
    r.area = area;
    if (area.texture != 0 && area.bandHeight > 0) r.bands.resize(static_cast<std::size_t>(area.height / area.bandHeight));
}

LateGlyphStats lateGlyphStats() {
    LateGlyphStats stats;
    for (int slot = 0; slot < kFontSlotCount; ++slot) {
        for (const auto& entry : fontSlot(slot).late) {
            stats.known += 1;
            stats.placed += entry.second.band >= 0 ? 1 : 0;
        }
    }
    const Region& r = region();
    stats.bands = static_cast<int>(r.bands.size());
    for (const Band& band : r.bands) stats.bandsInUse += band.glyphs.empty() ? 0 : 1;
    for (const auto& entry : fallbackFaces()) {
        stats.faces += entry.second.bytes.empty() ? 0 : 1;
        stats.faceBytes += entry.second.bytes.size();
    }
    return stats;
}

}  // namespace vlr
