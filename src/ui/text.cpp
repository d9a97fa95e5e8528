/*******************************************************************************************
*  text.cpp — the text operations: decoding, measuring, drawing runs, wrapping, blocks
*
*  Every operation walks UTF-8 with the same forgiving decoder and measures with the slot's
*  advance table, so a measuring pass and the drawing pass agree to the pixel and measuring
*  never calls raylib. A run is drawn as one strip of glyph quads into raylib's batch: each
*  quad covers the glyph's own pixels only (not the transparent padding around it in the
*  atlas, which would cost fill for nothing) and finds its glyph by table, not by search.
*******************************************************************************************/
#include <cmath>

#include "ui/fonts.h"
#include "ui/ui_state.h"
#include "ui/widgets.h"

#include "rlgl.h"

namespace vlr {

int decodeUtf8(std::string_view text, std::size_t& pos) {
    const std::size_t size = text.size();
    if (pos >= size) return 0;
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    if (length == 1 || size - pos < length) {
        ++pos;
        return '?';
    }
    // Following bytes are taken as they come: the text is ours or the launcher's, not hostile.
    int codepoint = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        codepoint = (codepoint << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
    }
    pos += length;
    return codepoint;
}

float advanceOf(const FontSlot& slot, int codepoint) {
    const std::vector<float>& table = slot.advances;
    const auto index = static_cast<std::size_t>(codepoint);
    if (codepoint >= 0 && index < table.size()) return table[index];
    return table.size() > '?' ? table['?'] : 0.0f;
}

float textWidth(const FontSlot& slot, std::string_view text, float extraSpacing) {
    float width = 0;
    for (std::size_t pos = 0; pos < text.size();) width += advanceOf(slot, decodeUtf8(text, pos)) + extraSpacing;
    return width;
}

float textWidth(int slot, std::string_view text, float extraSpacing) {
    return textWidth(fontSlot(slot), text, extraSpacing);
}

namespace {

// One glyph's quad in the order raylib's own textured quads use (so no face is culled).
void glyphQuad(const Font& font, int index, float x, float top, float scale, const Rectangle* clip) {
    const Rectangle& rec = font.recs[index];
    const GlyphInfo& glyph = font.glyphs[index];
    const float left = x + static_cast<float>(glyph.offsetX) * scale;
    const float upper = top + static_cast<float>(glyph.offsetY) * scale;
    TexturedQuad quad{left, upper, left + rec.width * scale, upper + rec.height * scale,
                      rec.x, rec.y, rec.x + rec.width, rec.y + rec.height};
    if (clip != nullptr && !clipQuad(quad, *clip)) return;
    const float w = static_cast<float>(font.texture.width);
    const float h = static_cast<float>(font.texture.height);
    rlTexCoord2f(quad.s0 / w, quad.t0 / h);
    rlVertex2f(quad.left, quad.top);
    rlTexCoord2f(quad.s0 / w, quad.t1 / h);
    rlVertex2f(quad.left, quad.bottom);
    rlTexCoord2f(quad.s1 / w, quad.t1 / h);
    rlVertex2f(quad.right, quad.bottom);
    rlTexCoord2f(quad.s1 / w, quad.t0 / h);
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
        for (std::size_t pos = 0; pos < text.size();) x += advanceOf(slot, decodeUtf8(text, pos)) + extraSpacing;
        return x;
    }
    const float top = std::round(centreY - slot.drawingSize / 2);
    const float scale = slot.drawingSize / static_cast<float>(font.baseSize);
    Rectangle clip{};
    const bool clipped = drawingClip(clip);
    rlSetTexture(font.texture.id);
    rlBegin(RL_QUADS);
    rlColor4ub(colour.r, colour.g, colour.b, colour.a);
    for (std::size_t pos = 0; pos < text.size();) {
        const int codepoint = decodeUtf8(text, pos);
        if (codepoint != ' ') glyphQuad(font, glyphIndexOf(slot, codepoint), x, top, scale, clipped ? &clip : nullptr);
        x += advanceOf(slot, codepoint) + extraSpacing;
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
                const int codepoint = decodeUtf8(text, pos);
                if (codepoint == ' ') lastSpace = here;
                sum += advanceOf(slot, codepoint);
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

std::vector<TextLine> wrapLines(int slot, std::string_view text, float width) {
    return wrapLines(fontSlot(slot), text, width);
}

float drawTextBlock(int slot, std::string_view text, float x, float y, float width, float lineHeight,
                    Color colour, bool centred) {
    const FontSlot& font = fontSlot(slot);
    const std::vector<TextLine> lines = wrapLines(font, text, width);
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
