/*******************************************************************************************
*  draw.h — the drawing layer under every widget: geometry, rounded boxes, clips, the seam
*
*  Immediate mode: called in drawing order every frame, drawing at once. With the drawing
*  flag clear (a card's measuring pass) nothing is drawn and the mouse is not looked at.
*******************************************************************************************/
#pragma once

#include <string_view>

#include "raylib.h"
#include "ui/fonts.h"
#include "ui/layout.h"
#include "ui/ui_state.h"

namespace vlr {

// ---- geometry ----
float roundHalfAway(float value);
Rect snap(Rect r);
inline Rectangle toRaylib(Rect r) { return {r.x, r.y, r.width, r.height}; }
float roundness(float width, float height, float radius);

// ---- primitives ----
void drawRoundedBox(Rect& r, float radius, Color outline, Color fill, float thickness = 0);
// Under the pointer, and the widget may react: false inside served controls that are off.
bool isHovered(Rect r);
// Under the pointer, whether or not the widget may react (for telling why it cannot).
bool pointerOver(Rect r);
bool takeClick();

// ---- clipping ----
// A clip is applied on the CPU, so that raylib's batch stays whole: text, rectangles,
// textures and rounded boxes crossed along their straight sides are cut to it, other shapes
// are dropped when wholly outside. A shape the CPU cannot cut that crosses the clip's edge
// turns a scissor on (ending the batch) until the clip changes.
void pushClip(Rect r);
void popClip();
void dropClips();   // at the end of a frame: a clip left open must not cut the next one

// The clip in force for drawing, in whole pixels; false when nothing clips.
bool drawingClip(Rectangle& clip);
enum class ClipPlace { kInside, kOutside, kAcross };
ClipPlace clipPlace(Rectangle bounds);   // inside when nothing clips
// Whether a shape with these bounds shows; one crossing the clip's edge turns its scissor on.
bool shapeInClip(Rectangle bounds);

// A quad on the screen and its corners in the texture (in texels, or unused).
struct TexturedQuad {
    float left, top, right, bottom;
    float s0, t0, s1, t1;
};
// Cuts the quad to `clip` (whole pixels), moving the texture corners with its edges at the
// quad's own texels per pixel, so the pixels left sample what they sampled before the cut;
// false when nothing of it is left.
bool clipQuad(TexturedQuad& quad, Rectangle clip);

// The width of each of the focus ring's lines at the current scale (kFocusRing at scale 1, at
// least 1 px).
float focusRingWidth();
// The focus ring in two tones, so that it shows on any fill: a light line along the widget's
// edge with the accent around it, outside `r` (whose corners have `radius`) or, where the
// widget's own edge leaves no room outside (a row of the drop-down list), inside it.
void drawFocusRing(Rect r, float radius, bool inside = false);

// ---- drawing seam ----
// Every drawing call the frame, the pages and the toolkit make goes through here (text too:
// drawTextRun with a slot number comes here). Tests swap the entries for recorders so that the
// drawing paths run without a window; the program never changes them.
struct DrawCalls {
    void (*roundedRect)(Rectangle rec, float roundness, int segments, Color colour);
    void (*roundedLines)(Rectangle rec, float roundness, int segments, float thickness, Color colour);
    void (*beginScissor)(int x, int y, int width, int height);
    void (*endScissor)();
    float (*textRun)(int slot, std::string_view text, float x, float centreY, Color colour, float extraSpacing);
    void (*line)(Vector2 start, Vector2 end, float thickness, Color colour) = nullptr;
    void (*rectangle)(Rectangle rec, Color colour) = nullptr;
    void (*circle)(Vector2 centre, float radius, Color colour) = nullptr;
    void (*ring)(Vector2 centre, float inner, float outer, Color colour) = nullptr;
    void (*texture)(Texture2D texture, Rectangle source, Rectangle target, Color tint) = nullptr;
    void (*clear)(Color colour) = nullptr;
};
DrawCalls& drawCalls();       // held with the window-wide records

// While one with `on` lives, everything drawn shows at two fifths of its alpha: the look of a
// disabled widget, for widgets that draw themselves in several pieces. Nests.
struct Faded {
    explicit Faded(bool on);
    ~Faded();
    Faded(const Faded&) = delete;
    Faded& operator=(const Faded&) = delete;
    bool on;
};
DrawCalls raylibDrawCalls();  // what the program draws with

}  // namespace vlr
