/*******************************************************************************************
*  fonts.h — the ten font slots and the four text operations
*
*  All text is UTF-8 and drawn from TrueType files with raylib. Widths come from a per-slot
*  advance table rather than from raylib, so measuring is a table lookup, works in measuring
*  passes, and matches what is drawn to the pixel. All slots share one texture, which also
*  holds the white block that raylib's shapes sample: a frame of text and shapes is then one
*  draw call instead of one per change of font or between text and shapes.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "raylib.h"

namespace vlr {

namespace platform {
struct FontFace;
}

struct FontFile {
    std::string bytes;        // whole file; empty when missing or rejected
    float ascender = 0;       // hhea
    float descender = 0;      // hhea, negative for usual fonts
    float unitsPerEm = 1;     // head
};

inline constexpr int kAdvanceCount = 10240;

// A glyph outside the baked set, rasterised the first time a text needs it: from the face, the
// symbol font, or the system's fallback for that character, onto the face's baseline.
struct LateGlyph {
    float advance = 0;                  // as in FontSlot::advances
    int offsetX = 0, offsetY = 0;       // from the pen and the top of the slot's cell, in pixels
    int width = 0, height = 0;          // the glyph's pixels
    Rectangle rec{};                    // where they are in the shared texture, while band >= 0
    int band = -1;                      // the atlas band holding them; -1: not in the texture
    bool missing = false;               // no font has it: measured and drawn as '?'
};

struct FontSlot {
    Font font{};                        // glyphs and their rectangles in font.texture
    Image atlas{};                      // the slot's own glyph image until the shared texture is made
    float drawingSize = 10;             // size passed to raylib when drawing
    float extraSpacing = 0;             // added to every advance (built-in font only)
    std::vector<float> advances;        // kAdvanceCount entries, by code point; 0: not baked
    std::vector<std::int16_t> glyphs;   // kAdvanceCount entries: index into font.glyphs, -1 when not baked
    bool loaded = false;                // built from a file; unload before a rebuild
    float emSize = 0;                   // the em size it was baked at (late glyphs too)
    const FontFile* face = nullptr;     // where late glyphs come from; process-lifetime files
    const FontFile* symbol = nullptr;
    mutable std::unordered_map<int, LateGlyph> late;   // glyphs met after baking, by code point
};

// The ten slots, named by face and size before scaling.
enum FontName : int {
    kRegular14 = 0,
    kSemibold14 = 1,
    kRegular12_5 = 2,
    kRegular13 = 3,
    kRegular12 = 4,
    kSemibold11 = 5,
    kSemibold16 = 6,
    kRegular16 = 7,
    kSemibold17 = 8,
    kMono12 = 9,
    kFontSlotCount = 10,
};

// Font files by role: 0 regular, 1 semibold, 2 mono, 3 symbol fallback.
FontFile loadFontFile(const std::string& path);
FontFile parseFontFile(std::string bytes);   // the table check on bytes already read
// A face of any font file, a collection's included (picked by index, else by family name).
FontFile loadFontFace(const platform::FontFace& face);
// One face of a TrueType collection as a plain font file (face `index`, or when that is -1 the
// face named `name`, else the first); empty when the collection is broken.
std::string faceOfCollection(const std::string& collection, int index, std::string_view name);
FontSlot buildFontSlot(const FontFile& face, const FontFile& symbol, float emSize);
void rebuildFonts();                          // all ten slots for uiState().scale

// rebuildFonts in two halves, so that the slow half can run while the window is being made.
// bakeFonts needs no window and may run on any thread (one at a time); adoptFonts makes the
// shared texture and must run on the window's thread. Slots never adopted are freed with it.
struct BakedFonts {
    float scale = 0;
    std::vector<FontSlot> slots;
    BakedFonts() = default;
    BakedFonts(BakedFonts&& other) noexcept;
    BakedFonts& operator=(BakedFonts&& other) noexcept;
    ~BakedFonts();
};
BakedFonts bakeFonts(float scale);
void adoptFonts(BakedFonts baked);
const FontSlot& fontSlot(int slot);

// Where each slot's glyph image goes in the one shared texture: images in rows (tallest first)
// no wider than `rowWidth` or the widest image; the last size is the white block for shapes.
struct AtlasPlace {
    int x = 0, y = 0;
};
struct AtlasLayout {
    std::vector<AtlasPlace> places;   // one per size, in the order given
    int width = 0, height = 0;
};
AtlasLayout layOutAtlas(const std::vector<AtlasPlace>& sizes, int rowWidth);   // sizes as {width, height}

// The code points baked into every slot (357).
const std::vector<int>& bakedCodepoints();

// Steps of buildFontSlot that need no OpenGL context (the tests call them directly).
int raylibFontSize(const FontFile& file, float emSize);   // pixel height raylib must be given
int baselineOf(const FontFile& file, int size);          // where raylib puts the baseline in a cell
// The face's glyphs with image data, then the symbol font's for what the face lacks, shifted
// onto the face's baseline. Sets baseSize; the caller owns the glyph images.
std::vector<GlyphInfo> bakeGlyphs(const FontFile& face, const FontFile& symbol, float emSize, int& baseSize);
// The advance and glyph tables from slot.font (glyph rectangles, or the glyph images while there
// are none).
void fillAdvances(FontSlot& slot);
int glyphIndexOf(const FontSlot& slot, int codepoint);   // the baked glyph, or '?'

// Late glyphs. `lateGlyph` rasterises on first use and, while the shared texture has a region
// for them, puts the pixels there when `place` is set; nullptr when no font has the character
// (or the slot has no face to ask). Placing may flush raylib's batch (when the region is full
// and the least recently used band is reused), so it must not run between rlBegin and rlEnd.
const LateGlyph* lateGlyph(const FontSlot& slot, int codepoint, bool place);
// The same answer without rasterising or writing the texture, when it is already final: a
// glyph in the texture, or one no font has (nullptr). `final` false: ask `lateGlyph`.
const LateGlyph* knownLateGlyph(const FontSlot& slot, int codepoint, bool& final);
// The shared texture's region for late glyphs, or none ({} : measuring still works).
struct LateRegion {
    unsigned texture = 0;
    int left = 0, top = 0, width = 0, height = 0;
    int bandHeight = 0;
};
void resetLateGlyphs(const LateRegion& region);
struct LateGlyphStats {
    std::size_t known = 0;      // late glyphs known over all slots
    std::size_t placed = 0;     // of them in the texture
    int bands = 0, bandsInUse = 0;
    std::size_t faces = 0;      // fallback faces read
    std::size_t faceBytes = 0;
};
LateGlyphStats lateGlyphStats();

// UTF-8 characters, one rule for measuring, drawing, caret motion and wrapping: a lead byte and
// the followers it needs form one character only when they are well-formed UTF-8; any other byte
// is a character of its own that decodes as '?'.
// One character at `pos` (advanced past it).
int decodeUtf8(std::string_view text, std::size_t& pos);
// Byte length of the character at `pos` (0 at the end), the start of the one before `pos`, and
// the start of the one that holds the byte at `pos`; each looks at no more than four bytes.
std::size_t nextCharLength(std::string_view text, std::size_t pos);
std::size_t previousCharStart(std::string_view text, std::size_t pos);
std::size_t charStartAt(std::string_view text, std::size_t pos);

float advanceOf(const FontSlot& slot, int codepoint);
float textWidth(int slot, std::string_view text, float extraSpacing = 0);
float textWidth(const FontSlot& slot, std::string_view text, float extraSpacing = 0);
float drawTextRun(int slot, std::string_view text, float x, float centreY, Color colour, float extraSpacing = 0);
// The text when it fits in `width`; else as many whole characters as fit with "…" after them
// (a letter and the marks on it are kept or dropped together), at least the "…".
std::string elideText(int slot, std::string_view text, float width);

float drawTextRun(const FontSlot& slot, std::string_view text, float x, float centreY, Color colour,
                  float extraSpacing = 0);

struct TextLine {
    std::size_t start = 0;
    std::size_t length = 0;
};
std::vector<TextLine> wrapLines(int slot, std::string_view text, float width);
// Wrapped lines are kept from frame to frame; whoever changes a slot's advances forgets them.
void forgetWrappedLines();
std::vector<TextLine> wrapLines(const FontSlot& slot, std::string_view text, float width);
float drawTextBlock(int slot, std::string_view text, float x, float y, float width, float lineHeight,
                    Color colour, bool centred);

}  // namespace vlr
