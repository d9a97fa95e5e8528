/*******************************************************************************************
*  widgets.h — drawing primitives and widgets of the immediate-mode toolkit
*
*  No retained tree: the frame and the pages call these in drawing order every frame; each
*  call draws at once and returns what happened. Cards run their content twice, a measuring
*  pass with the drawing flag clear and a drawing pass when visible, so content outside the
*  view never reacts. Lengths are multiplied by the UI scale where the code says so.
*******************************************************************************************/
#pragma once

#include <functional>
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
bool isHovered(Rect r);
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

// ---- widgets ----
enum ButtonStyle : int { kSecondary = 0, kPrimary = 1, kQuiet = 2 };
float buttonWidth(std::string_view label);   // the layout width rows of buttons share
bool button(float x, float y, std::string_view label, int style, bool enabled = true);

using CardContent = std::function<float(float x, float y, float width)>;
float card(float x, float y, float width, std::string_view title, const CardContent& content,
           Color outline = kLine, Color titleColour = kTextSecondary, bool largeTitle = false);

void scrollbar(std::string_view id, Rect viewport, float contentHeight, float& offset);

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
DrawCalls raylibDrawCalls();  // what the program draws with

}  // namespace vlr
