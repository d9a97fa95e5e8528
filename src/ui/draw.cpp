/*******************************************************************************************
*  draw.cpp — the drawing layer under every widget: rounded boxes, hover and clicks, clipping
*
*  Every function may run with the drawing flag clear (a card's measuring pass, unit tests):
*  then it computes sizes only and never touches raylib or the mouse. Drawing goes through
*  drawCalls() so that tests can watch it without a window.
*
*  Sections: cut to the clip, quads only, drawing seam, geometry, primitives, clip stack.
*******************************************************************************************/
#include "ui/draw.h"

#include "rlgl.h"

#include <algorithm>
#include <cmath>

namespace vlr {

namespace {

bool sameColour(Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

float drawGlyphs(int slot, std::string_view text, float x, float centreY, Color colour, float extraSpacing) {
    return drawTextRun(fontSlot(slot), text, x, centreY, colour, extraSpacing);
}

// ---- cut to the clip ----
// The program's drawing calls apply the clip in force themselves (see pushClip).

Rectangle around(Vector2 centre, float radius) {
    return {centre.x - radius, centre.y - radius, 2 * radius, 2 * radius};
}

void drawRectangle(Rectangle rec, Color colour) {
    Rectangle clip{};
    if (drawingClip(clip)) {
        TexturedQuad quad{rec.x, rec.y, rec.x + rec.width, rec.y + rec.height, 0, 0, 0, 0};
        if (!clipQuad(quad, clip)) return;
        rec = {quad.left, quad.top, quad.right - quad.left, quad.bottom - quad.top};
    }
    DrawRectangleRec(rec, colour);
}

void drawTexture(Texture2D texture, Rectangle source, Rectangle target, Color tint) {
    Rectangle clip{};
    if (drawingClip(clip)) {
        TexturedQuad quad{target.x, target.y, target.x + target.width, target.y + target.height,
                          source.x, source.y, source.x + source.width, source.y + source.height};
        if (!clipQuad(quad, clip)) return;
        source = {quad.s0, quad.t0, quad.s1 - quad.s0, quad.t1 - quad.t0};
        target = {quad.left, quad.top, quad.right - quad.left, quad.bottom - quad.top};
    }
    DrawTexturePro(texture, source, target, Vector2{0, 0}, 0, tint);
}

// An opaque rounded box whose corners lie wholly inside or outside the clip (a card the
// page's edge crosses along its straight sides) is drawn as raylib draws it, cut: the corners
// left come from a box of twice the radius's height with the same corner points, the part
// between is a rectangle cut to the clip. The overlap is painted twice in one opaque colour.
bool drawRoundedRectCut(Rectangle rec, float roundness, int segments, Color colour) {
    Rectangle clip{};
    if (!drawingClip(clip) || colour.a != 255) return false;
    if (rec.x < clip.x || rec.x + rec.width > clip.x + clip.width) return false;
    const float radius = std::max(0.0f, std::min(rec.width, rec.height) * std::min(roundness, 1.0f) / 2);
    const float top = rec.y, bottom = rec.y + rec.height;
    const float clipTop = clip.y, clipBottom = clip.y + clip.height;
    const bool topShows = top >= clipTop, bottomShows = bottom <= clipBottom;
    // An edge through a corner, or a kept corner box reaching past the clip: not this way.
    if (!topShows && clipTop < top + radius) return false;
    if (!bottomShows && clipBottom > bottom - radius) return false;
    if (topShows && top + 2 * radius > clipBottom) return false;
    if (bottomShows && bottom - 2 * radius < clipTop) return false;
    if (topShows) DrawRectangleRounded({rec.x, top, rec.width, 2 * radius}, 1, segments, colour);
    if (bottomShows) DrawRectangleRounded({rec.x, bottom - 2 * radius, rec.width, 2 * radius}, 1, segments, colour);
    drawRectangle({rec.x, top + radius, rec.width, rec.height - 2 * radius}, colour);
    return true;
}

void drawRoundedRect(Rectangle rec, float roundness, int segments, Color colour) {
    switch (clipPlace(rec)) {
    case ClipPlace::kOutside: return;
    case ClipPlace::kAcross:
        if (drawRoundedRectCut(rec, roundness, segments, colour)) return;
        break;
    case ClipPlace::kInside: break;
    }
    if (shapeInClip(rec)) DrawRectangleRounded(rec, roundness, segments, colour);
}

void drawCircle(Vector2 centre, float radius, Color colour) {
    if (shapeInClip(around(centre, radius))) DrawCircleV(centre, radius, colour);
}

void drawRing(Vector2 centre, float inner, float outer, Color colour) {
    if (shapeInClip(around(centre, outer))) DrawRing(centre, inner, outer, 0, 360, 0, colour);
}

// ---- quads only ----
// raylib draws thick lines as triangles and one-pixel outlines as GL lines; each change of
// primitive kind ends a draw call, and a driver without a GPU pays for every one. These draw
// the same shapes as quads, so that a frame stays one draw call. Under multisampling a line
// of width 1 covers exactly the quad of width 1 around it, so the pixels do not change.

// The quad of width `thickness` around the segment, corners in the turn raylib's quads take.
// A strip of plain quads from raylib's shapes texture: the texture and the colour are given
// once for all of them.
void beginShapeQuads(Color colour) {
    const Texture2D texture = GetShapesTexture();
    const Rectangle speck = GetShapesTextureRectangle();
    rlSetTexture(texture.id);
    rlBegin(RL_QUADS);
    rlColor4ub(colour.r, colour.g, colour.b, colour.a);
    rlTexCoord2f((speck.x + speck.width / 2) / static_cast<float>(texture.width),
                 (speck.y + speck.height / 2) / static_cast<float>(texture.height));
}

void endShapeQuads() {
    rlEnd();
    rlSetTexture(0);
}

void shapeQuad(Vector2 from, Vector2 to, float thickness) {
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0) || !(thickness > 0)) return;
    const float nx = -dy / length * thickness / 2;
    const float ny = dx / length * thickness / 2;
    rlVertex2f(from.x - nx, from.y - ny);
    rlVertex2f(from.x + nx, from.y + ny);
    rlVertex2f(to.x + nx, to.y + ny);
    rlVertex2f(to.x - nx, to.y - ny);
}

void lineQuad(Vector2 from, Vector2 to, float thickness, Color colour) {
    beginShapeQuads(colour);
    shapeQuad(from, to, thickness);
    endShapeQuads();
}

void drawLine(Vector2 from, Vector2 to, float thickness, Color colour) {
    const Rectangle bounds{std::min(from.x, to.x) - thickness / 2, std::min(from.y, to.y) - thickness / 2,
                           std::abs(to.x - from.x) + thickness, std::abs(to.y - from.y) + thickness};
    if (shapeInClip(bounds)) lineQuad(from, to, thickness, colour);
}

// A rounded outline of width 1 just outside `rec`, traced along the path raylib's own
// one-pixel outline takes (the same corner segments, the same half-pixel centres), each
// piece a quad. Wider outlines are quads in raylib already.
void drawRoundedOutline(Rectangle rec, float roundness, int segments, float thickness, Color colour) {
    // The band lies outside `rec`.
    const Rectangle bounds{rec.x - thickness, rec.y - thickness, rec.width + 2 * thickness, rec.height + 2 * thickness};
    const ClipPlace place = clipPlace(bounds);
    if (place == ClipPlace::kOutside) return;
    if (thickness > 1 || !(thickness > 0) || roundness <= 0) {
        if (shapeInClip(bounds)) DrawRectangleRoundedLinesEx(rec, roundness, segments, thickness, colour);
        return;
    }
    // Across the clip's edge each piece goes on its own: a side is a rectangle and is cut.
    const auto piece = [colour](Vector2 from, Vector2 to) {
        const Rectangle box{std::min(from.x, to.x) - 0.5f, std::min(from.y, to.y) - 0.5f, std::abs(to.x - from.x) + 1,
                            std::abs(to.y - from.y) + 1};
        if (from.x == to.x) return drawRectangle({from.x - 0.5f, box.y + 0.5f, 1, box.height - 1}, colour);
        if (from.y == to.y) return drawRectangle({box.x + 0.5f, from.y - 0.5f, box.width - 1, 1}, colour);
        if (shapeInClip(box)) lineQuad(from, to, 1, colour);
    };
    roundness = std::min(roundness, 1.0f);
    const float radius = std::min(rec.width, rec.height) * roundness / 2;
    if (!(radius > 0)) return;
    if (segments < 4) {
        const float step = std::acos(2 * std::pow(1 - 0.5f / radius, 2.0f) - 1);
        segments = static_cast<int>(std::ceil(2 * PI / step) / 2.0f);
        if (segments <= 0) segments = 4;
    }
    const float stepDegrees = 90.0f / static_cast<float>(segments);
    const float outer = radius + thickness;
    const float left = rec.x + radius + 0.5f, right = rec.x + rec.width - radius - 0.5f;
    const float top = rec.y + radius + 0.5f, bottom = rec.y + rec.height - radius - 0.5f;
    const Vector2 centres[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    const float startDegrees[4] = {180, 270, 0, 90};
    // Wholly inside the clip, every piece is a quad of one strip.
    if (place == ClipPlace::kInside) beginShapeQuads(colour);
    const auto inStrip = [place, &piece](Vector2 from, Vector2 to) {
        if (place == ClipPlace::kInside) return shapeQuad(from, to, 1);
        piece(from, to);
    };
    for (int corner = 0; corner < 4; ++corner) {
        float angle = startDegrees[corner];
        const Vector2 c = centres[corner];
        // Each segment starts where the last one ended: the same point, computed once.
        Vector2 from{c.x + std::cos(DEG2RAD * angle) * outer, c.y + std::sin(DEG2RAD * angle) * outer};
        for (int i = 0; i < segments; ++i) {
            const Vector2 to{c.x + std::cos(DEG2RAD * (angle + stepDegrees)) * outer,
                             c.y + std::sin(DEG2RAD * (angle + stepDegrees)) * outer};
            inStrip(from, to);
            from = to;
            angle += stepDegrees;
        }
    }
    const float near = 0.5f - thickness;   // the sides' centres, half a pixel outside
    inStrip({left, rec.y + near}, {right, rec.y + near});
    inStrip({rec.x + rec.width - near, top}, {rec.x + rec.width - near, bottom});
    inStrip({right, rec.y + rec.height - near}, {left, rec.y + rec.height - near});
    inStrip({rec.x + near, bottom}, {rec.x + near, top});
    if (place == ClipPlace::kInside) endShapeQuads();
}

}  // namespace

DrawCalls raylibDrawCalls() {
    return {drawRoundedRect, drawRoundedOutline, BeginScissorMode, EndScissorMode,
            drawGlyphs,      drawLine,           drawRectangle,    drawCircle,
            drawRing,        drawTexture,        ClearBackground};
}

// ---- geometry ----

float roundHalfAway(float value) { return std::round(value); }

Rect snap(Rect r) {
    const float left = roundHalfAway(r.x);
    const float top = roundHalfAway(r.y);
    return {left, top, roundHalfAway(r.x + r.width) - left, roundHalfAway(r.y + r.height) - top};
}

// raylib's roundness: 1 turns the shorter side into a full semicircle.
float roundness(float width, float height, float radius) {
    return std::min(1.0f, 2 * std::max(0.0f, radius) / std::max(1.0f, std::min(width, height)));
}

// ---- primitives ----

void drawRoundedBox(Rect& r, float radius, Color outline, Color fill, float thickness) {
    if (!uiState().drawing) return;
    r = snap(r);
    if (sameColour(outline, fill)) outline.a = 0;
    const float t = thickness > 0 ? thickness : std::max(1.0f, roundHalfAway(uiState().scale));
    // raylib draws the outline band outside its rectangle, so both the band and the fill use
    // the inner rectangle and together cover the snapped one exactly.
    const Rect inner{r.x + t, r.y + t, r.width - 2 * t, r.height - 2 * t};
    const DrawCalls& draw = drawCalls();
    if (fill.a != 0) {
        if (outline.a == 0)
            draw.roundedRect(toRaylib(r), roundness(r.width, r.height, radius), 0, fill);
        else
            draw.roundedRect(toRaylib(inner), roundness(inner.width, inner.height, radius - t), 0, fill);
    }
    if (outline.a != 0)
        draw.roundedLines(toRaylib(inner), roundness(inner.width, inner.height, radius - t), 0, t, outline);
}

bool isHovered(Rect r) {
    return uiState().controlsOff.empty() && pointerOver(r);
}

bool pointerOver(Rect r) {
    const UiState& ui = uiState();
    if (!ui.drawing || !ui.input.mouseFree) return false;
    const Vector2 mouse{ui.input.mouseX, ui.input.mouseY};
    if (!CheckCollisionPointRec(mouse, toRaylib(r))) return false;
    return ui.clips.empty() || CheckCollisionPointRec(mouse, toRaylib(ui.clips.back()));
}

bool takeClick() {
    InputSnapshot& input = uiState().input;
    const bool clicked = input.leftClick;
    input.leftClick = false;
    return clicked;
}

// ---- faded drawing ----

namespace {

DrawCalls unfaded;   // the calls a Faded scope draws through
int fadeDepth = 0;

Color fade(Color c) {
    c.a = static_cast<unsigned char>(c.a * 2 / 5);
    return c;
}

void fadedRoundedRect(Rectangle rec, float roundness, int segments, Color colour) {
    unfaded.roundedRect(rec, roundness, segments, fade(colour));
}
void fadedRoundedLines(Rectangle rec, float roundness, int segments, float thickness, Color colour) {
    unfaded.roundedLines(rec, roundness, segments, thickness, fade(colour));
}
float fadedTextRun(int slot, std::string_view text, float x, float centreY, Color colour, float extraSpacing) {
    return unfaded.textRun(slot, text, x, centreY, fade(colour), extraSpacing);
}
void fadedLine(Vector2 start, Vector2 end, float thickness, Color colour) { unfaded.line(start, end, thickness, fade(colour)); }
void fadedRectangle(Rectangle rec, Color colour) { unfaded.rectangle(rec, fade(colour)); }
void fadedCircle(Vector2 centre, float radius, Color colour) { unfaded.circle(centre, radius, fade(colour)); }
void fadedRing(Vector2 centre, float inner, float outer, Color colour) { unfaded.ring(centre, inner, outer, fade(colour)); }
void fadedTexture(Texture2D texture, Rectangle source, Rectangle target, Color tint) {
    unfaded.texture(texture, source, target, fade(tint));
}

}  // namespace

Faded::Faded(bool on) : on(on) {
    if (!on || fadeDepth++ > 0) return;
    DrawCalls& calls = drawCalls();
    unfaded = calls;
    // An entry a test left empty stays empty.
    if (calls.roundedRect) calls.roundedRect = fadedRoundedRect;
    if (calls.roundedLines) calls.roundedLines = fadedRoundedLines;
    if (calls.textRun) calls.textRun = fadedTextRun;
    if (calls.line) calls.line = fadedLine;
    if (calls.rectangle) calls.rectangle = fadedRectangle;
    if (calls.circle) calls.circle = fadedCircle;
    if (calls.ring) calls.ring = fadedRing;
    if (calls.texture) calls.texture = fadedTexture;
}

Faded::~Faded() {
    if (on && --fadeDepth == 0) drawCalls() = unfaded;
}

// ---- clip stack ----
// A scissor ends raylib's batch twice and makes the driver process every vertex before it at
// once; the CPU cut keeps a frame one batch. The scissor is left for the shapes the CPU does
// not cut (a circle, or a box whose corner the edge crosses).

namespace {

// `r` cut to the clip in force, if any.
Rect withinClip(Rect r) {
    const std::vector<Rect>& clips = uiState().clips;
    if (clips.empty()) return r;
    const Rect& top = clips.back();
    const float left = std::max(r.x, top.x);
    const float upper = std::max(r.y, top.y);
    const float right = std::min(r.x + r.width, top.x + top.width);
    const float bottom = std::min(r.y + r.height, top.y + top.height);
    return {left, upper, std::max(0.0f, right - left), std::max(0.0f, bottom - upper)};
}

// The scissor belongs to the clip that turned it on.
void endScissor() {
    UiState& ui = uiState();
    if (!ui.scissorOn) return;
    ui.scissorOn = false;
    drawCalls().endScissor();
}

}  // namespace

void pushClip(Rect r) {
    endScissor();
    uiState().clips.push_back(withinClip(r));
}

void popClip() {
    std::vector<Rect>& clips = uiState().clips;
    if (clips.empty()) return;  // an unmatched pop must not take the program down
    endScissor();
    clips.pop_back();
}

void dropClips() {
    endScissor();
    uiState().clips.clear();
}

bool drawingClip(Rectangle& clip) {
    const UiState& ui = uiState();
    if (ui.clips.empty()) return false;
    clip = toRaylib(snap(ui.clips.back()));   // the pixels a scissor would keep
    return true;
}

ClipPlace clipPlace(Rectangle bounds) {
    Rectangle clip{};
    if (!drawingClip(clip)) return ClipPlace::kInside;
    const float right = clip.x + clip.width;
    const float bottom = clip.y + clip.height;
    if (!(bounds.x + bounds.width > clip.x && bounds.x < right && bounds.y + bounds.height > clip.y &&
          bounds.y < bottom))
        return ClipPlace::kOutside;
    const bool inside = bounds.x >= clip.x && bounds.x + bounds.width <= right && bounds.y >= clip.y &&
                        bounds.y + bounds.height <= bottom;
    return inside ? ClipPlace::kInside : ClipPlace::kAcross;
}

bool shapeInClip(Rectangle bounds) {
    const ClipPlace place = clipPlace(bounds);
    if (place == ClipPlace::kOutside) return false;
    UiState& ui = uiState();
    if (place == ClipPlace::kAcross && !ui.scissorOn) {
        Rectangle clip{};
        drawingClip(clip);
        ui.scissorOn = true;
        drawCalls().beginScissor(static_cast<int>(clip.x), static_cast<int>(clip.y), static_cast<int>(clip.width),
                                 static_cast<int>(clip.height));
    }
    return true;
}

bool clipQuad(TexturedQuad& quad, Rectangle clip) {
    const float right = clip.x + clip.width;
    const float bottom = clip.y + clip.height;
    if (!(quad.right > clip.x && quad.left < right && quad.bottom > clip.y && quad.top < bottom)) return false;
    const float sPerPixel = (quad.s1 - quad.s0) / (quad.right - quad.left);
    const float tPerPixel = (quad.t1 - quad.t0) / (quad.bottom - quad.top);
    const auto cut = [](float& edge, float& texel, float limit, float perPixel) {
        texel += (limit - edge) * perPixel;
        edge = limit;
    };
    if (quad.left < clip.x) cut(quad.left, quad.s0, clip.x, sPerPixel);
    if (quad.right > right) cut(quad.right, quad.s1, right, sPerPixel);
    if (quad.top < clip.y) cut(quad.top, quad.t0, clip.y, tPerPixel);
    if (quad.bottom > bottom) cut(quad.bottom, quad.t1, bottom, tPerPixel);
    return true;
}

float focusRingWidth() { return std::max(1.0f, roundHalfAway(sc(kFocusRing))); }

void drawFocusRing(Rect r, float radius, bool inside) {
    const float t = focusRingWidth();
    // The accent faces what lies around the widget, the light line the widget itself: the
    // accent alone all but vanishes on an accent fill, the light line stands out on all.
    const float accentAt = inside ? 0 : 2 * t;
    const float lightAt = inside ? -t : t;
    Rect accent{r.x - accentAt, r.y - accentAt, r.width + 2 * accentAt, r.height + 2 * accentAt};
    Rect light{r.x - lightAt, r.y - lightAt, r.width + 2 * lightAt, r.height + 2 * lightAt};
    drawRoundedBox(accent, std::max(0.0f, radius + accentAt), kAccent, kTransparent, t);
    drawRoundedBox(light, std::max(0.0f, radius + lightAt), kFocusLight, kTransparent, t);
}

}  // namespace vlr
