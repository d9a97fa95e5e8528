/*******************************************************************************************
*  text.cpp — the text operations: decoding, measuring, drawing runs, wrapping, blocks
*
*  Every operation walks UTF-8 by the same forgiving rule, which the text field's caret and
*  the console's wrapping share, and measures with the slot's advance table, so a measuring
*  pass and the drawing pass agree to the pixel and measuring never calls raylib. A run is
*  drawn as one strip of glyph quads into raylib's batch: each quad covers the glyph's own
*  pixels only (not the transparent padding around it in the atlas, which would cost fill for
*  nothing) and finds its glyph by table, not by search.
*******************************************************************************************/
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <unordered_map>

#include "ui/fonts.h"
#include "ui/ui_state.h"
#include "ui/widgets.h"

#include "rlgl.h"

namespace vlr {

namespace {

bool isFollower(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the well-formed character at pos, 0 when the bytes there are not one. Overlong
// forms, surrogates and values past U+10FFFF are not characters either: their leads would
// otherwise decode to code points no keyboard can give and no encoder writes.
std::size_t wellFormedLength(std::string_view text, std::size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - pos < length) return 0;
    const unsigned char second = static_cast<unsigned char>(text[pos + 1]);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (!isFollower(text[pos + k])) return 0;
    return length;
}

}  // namespace

std::size_t nextCharLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const std::size_t length = wellFormedLength(text, pos);
    return length == 0 ? 1 : length;
}

std::size_t charStartAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size() || !isFollower(text[pos])) return std::min(pos, text.size());
    // Only the nearest byte before pos that is not a follower can start a character over pos.
    for (std::size_t back = 1; back <= 3 && back <= pos; ++back)
        if (!isFollower(text[pos - back])) return nextCharLength(text, pos - back) > back ? pos - back : pos;
    return pos;
}

std::size_t previousCharStart(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    return pos == 0 ? 0 : charStartAt(text, pos - 1);
}

int decodeUtf8(std::string_view text, std::size_t& pos) {
    if (pos >= text.size()) return 0;
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {   // nearly every byte the pages draw
        ++pos;
        return lead;
    }
    const std::size_t length = nextCharLength(text, pos);
    if (length == 1) {
        ++pos;
        return lead < 0x80 ? lead : '?';
    }
    int codepoint = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        codepoint = (codepoint << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
    pos += length;
    return codepoint;
}

namespace {

float questionAdvance(const FontSlot& slot) { return slot.advances.size() > '?' ? slot.advances['?'] : 0.0f; }

// The next character at pos: ASCII decoded here, the rest by decodeUtf8. Text is walked
// several times a frame (measuring, wrapping, drawing), so the common byte stays inline.
inline int nextCodepoint(std::string_view text, std::size_t& pos) {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
        ++pos;
        return byte;
    }
    return decodeUtf8(text, pos);
}

// The baked advance, or 0 when the character needs advanceOf's slower path.
inline float bakedAdvance(const FontSlot& slot, int codepoint) {
    const auto index = static_cast<std::size_t>(codepoint);
    return index < slot.advances.size() ? slot.advances[index] : 0.0f;
}

inline float advanceFast(const FontSlot& slot, int codepoint) {
    const float advance = bakedAdvance(slot, codepoint);
    return advance > 0 ? advance : advanceOf(slot, codepoint);
}

}  // namespace

float advanceOf(const FontSlot& slot, int codepoint) {
    const std::vector<float>& table = slot.advances;
    const auto index = static_cast<std::size_t>(codepoint);
    if (codepoint >= 0 && index < table.size() && table[index] > 0) return table[index];
    // Not baked: a late glyph, placed in the texture at once when there is one to place it in,
    // so that a card's measuring pass does not leave it to be rasterised again for drawing.
    const LateGlyph* glyph = lateGlyph(slot, codepoint, true);
    return glyph != nullptr ? glyph->advance : questionAdvance(slot);
}

float textWidth(const FontSlot& slot, std::string_view text, float extraSpacing) {
    float width = 0;
    for (std::size_t pos = 0; pos < text.size();) width += advanceFast(slot, nextCodepoint(text, pos)) + extraSpacing;
    return width;
}

float textWidth(int slot, std::string_view text, float extraSpacing) {
    return textWidth(fontSlot(slot), text, extraSpacing);
}

namespace {

// Marks drawn onto the character before them, and the joiners and selectors that bind two
// characters into one sign: a cut just before one would split a letter.
bool bindsToPrevious(int c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
           (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F) || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0x200D || (c >= 0xE0100 && c <= 0xE01EF) || (c >= 0x1F3FB && c <= 0x1F3FF);
}

}  // namespace

std::string elideText(int slot, std::string_view text, float width) {
    const FontSlot& font = fontSlot(slot);
    if (textWidth(font, text) <= width) return std::string(text);
    const std::string_view ellipsis = "\xE2\x80\xA6";
    const float room = width - textWidth(font, ellipsis);
    std::size_t keep = 0;   // bytes kept: always a place where a cut splits no letter
    float used = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const int c = nextCodepoint(text, pos);
        used += advanceFast(font, c);
        if (used > room) break;
        std::size_t next = pos;
        if (pos < text.size() && bindsToPrevious(nextCodepoint(text, next))) continue;
        keep = pos;
    }
    // No trailing space before the ellipsis: "Run …" reads as a word left out.
    while (keep > 0 && text[keep - 1] == ' ') --keep;
    return std::string(text.substr(0, keep)) + std::string(ellipsis);
}

namespace {

// One glyph's quad in the order raylib's own textured quads use (so no face is culled).
void glyphQuad(const Texture2D& texture, const Rectangle& rec, int offsetX, int offsetY, float x, float top,
               float scale, const Rectangle* clip) {
    const float left = x + static_cast<float>(offsetX) * scale;
    const float upper = top + static_cast<float>(offsetY) * scale;
    TexturedQuad quad{left, upper, left + rec.width * scale, upper + rec.height * scale,
                      rec.x, rec.y, rec.x + rec.width, rec.y + rec.height};
    if (clip != nullptr && !clipQuad(quad, *clip)) return;
    const float w = static_cast<float>(texture.width);
    const float h = static_cast<float>(texture.height);
    const float s0 = quad.s0 / w, s1 = quad.s1 / w, t0 = quad.t0 / h, t1 = quad.t1 / h;
    rlTexCoord2f(s0, t0);
    rlVertex2f(quad.left, quad.top);
    rlTexCoord2f(s0, t1);
    rlVertex2f(quad.left, quad.bottom);
    rlTexCoord2f(s1, t1);
    rlVertex2f(quad.right, quad.bottom);
    rlTexCoord2f(s1, t0);
    rlVertex2f(quad.right, quad.top);
}

}  // namespace

float drawTextRun(const FontSlot& slot, std::string_view text, float x, float centreY, Color colour,
                  float extraSpacing) {
    x = std::round(x);
    const Font& font = slot.font;
    // A slot without glyphs (before the first rebuild) has nothing raylib could draw from.
    const bool draw = uiState().drawing && font.glyphs != nullptr && font.recs != nullptr && font.glyphCount > 0 &&
                      font.texture.id != 0 && font.baseSize > 0 && !slot.glyphs.empty();
    if (!draw) {
        for (std::size_t pos = 0; pos < text.size();) x += advanceFast(slot, nextCodepoint(text, pos)) + extraSpacing;
        return x;
    }
    const float top = std::round(centreY - slot.drawingSize / 2);
    const float scale = slot.drawingSize / static_cast<float>(font.baseSize);
    Rectangle clip{};
    const bool clipped = drawingClip(clip);
    const Rectangle* clipTo = clipped ? &clip : nullptr;
    auto begin = [&] {
        rlSetTexture(font.texture.id);
        rlBegin(RL_QUADS);
        rlColor4ub(colour.r, colour.g, colour.b, colour.a);
    };
    auto baked = [&](int index) {
        glyphQuad(font.texture, font.recs[index], font.glyphs[index].offsetX, font.glyphs[index].offsetY, x, top,
                  scale, clipTo);
    };
    const float question = questionAdvance(slot);
    begin();
    for (std::size_t pos = 0; pos < text.size();) {
        const int codepoint = nextCodepoint(text, pos);
        const auto index = static_cast<std::size_t>(codepoint);
        if (index < slot.advances.size() && slot.advances[index] > 0) {
            if (codepoint != ' ') baked(glyphIndexOf(slot, codepoint));
            x += slot.advances[index] + extraSpacing;
            continue;
        }
        // A late glyph: placing it writes to the texture (and may draw the batch), which must
        // not happen inside rlBegin/rlEnd; one already placed is drawn like a baked one.
        bool final = false;
        const LateGlyph* glyph = knownLateGlyph(slot, codepoint, final);
        if (!final) {
            rlEnd();
            glyph = lateGlyph(slot, codepoint, true);
            begin();
        }
        if (glyph != nullptr && glyph->band >= 0) {
            glyphQuad(font.texture, glyph->rec, glyph->offsetX, glyph->offsetY, x, top, scale, clipTo);
        } else {
            baked(glyphIndexOf(slot, '?'));
        }
        x += (glyph != nullptr ? glyph->advance : question) + extraSpacing;
    }
    rlEnd();
    rlSetTexture(0);
    return x;
}

float drawTextRun(int slot, std::string_view text, float x, float centreY, Color colour, float extraSpacing) {
    // Measured here when not drawing, so that a measuring pass never depends on the seam.
    if (!uiState().drawing) return drawTextRun(fontSlot(slot), text, x, centreY, colour, extraSpacing);
    return drawCalls().textRun(slot, text, x, centreY, colour, extraSpacing);
}

std::vector<TextLine> wrapLines(const FontSlot& slot, std::string_view text, float width) {
    std::vector<TextLine> lines;
    const std::size_t size = text.size();
    std::size_t paragraph = 0;
    for (;;) {
        std::size_t paragraphEnd = text.find('\n', paragraph);
        if (paragraphEnd == std::string_view::npos) paragraphEnd = size;

        std::size_t start = paragraph;
        do {
            // Walk until the sum passes the width; the first character always stays on the line.
            std::size_t end = paragraphEnd;
            std::size_t lastSpace = std::string_view::npos;
            float sum = 0;
            for (std::size_t pos = start; pos < paragraphEnd;) {
                const std::size_t here = pos;
                const int codepoint = nextCodepoint(text, pos);
                if (codepoint == ' ') lastSpace = here;
                sum += advanceFast(slot, codepoint);
                if (sum > width && here != start) {
                    end = lastSpace != std::string_view::npos && lastSpace > start ? lastSpace : here;
                    break;
                }
            }
            std::size_t trimmed = end;
            while (trimmed > start && text[trimmed - 1] == ' ') --trimmed;
            lines.push_back({start, trimmed - start});
            start = end;
            while (start < paragraphEnd && text[start] == ' ') ++start;
        } while (start < paragraphEnd);

        if (paragraphEnd == size) break;
        paragraph = paragraphEnd + 1;
    }
    return lines;
}

namespace {

// A page wraps the same labels and help texts in its measuring pass and again as it draws,
// frame after frame: the lines of the window's font slots are kept by slot, width and text,
// and forgotten whenever a slot's advances change.
struct WrapCache {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_map<std::string, std::vector<TextLine>, Hash, std::equal_to<>> lines;
    std::string probe;
};

constexpr std::size_t kWrapsKept = 1024;

WrapCache& wrapCache() {
    static WrapCache cache;
    return cache;
}

}  // namespace

void forgetWrappedLines() { wrapCache().lines.clear(); }

std::vector<TextLine> wrapLines(int slot, std::string_view text, float width) {
    WrapCache& cache = wrapCache();
    std::string& key = cache.probe;
    key.assign(reinterpret_cast<const char*>(&slot), sizeof slot);
    key.append(reinterpret_cast<const char*>(&width), sizeof width);
    key.append(text);
    const auto found = cache.lines.find(std::string_view(key));
    if (found != cache.lines.end()) return found->second;
    if (cache.lines.size() >= kWrapsKept) cache.lines.clear();
    std::vector<TextLine> lines = wrapLines(fontSlot(slot), text, width);
    cache.lines.emplace(key, lines);
    return lines;
}

float drawTextBlock(int slot, std::string_view text, float x, float y, float width, float lineHeight,
                    Color colour, bool centred) {
    const FontSlot& font = fontSlot(slot);
    const std::vector<TextLine> lines = wrapLines(slot, text, width);
    if (uiState().drawing) {
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::string_view line = text.substr(lines[n].start, lines[n].length);
            const float left = centred ? x + (width - textWidth(font, line)) / 2 : x;
            drawTextRun(slot, line, left, y + (static_cast<float>(n) + 0.5f) * lineHeight, colour);
        }
    }
    return static_cast<float>(lines.size()) * lineHeight;
}

}  // namespace vlr
