/*******************************************************************************************
*  widgets.h — buttons, cards and scrollbars of the immediate-mode toolkit
*
*  No retained tree: the frame and the pages call these in drawing order every frame; each
*  call draws at once and returns what happened. Cards run their content twice, a measuring
*  pass with the drawing flag clear and a drawing pass when visible, so content outside the
*  view never reacts. Lengths are multiplied by the UI scale where the code says so.
*******************************************************************************************/
#pragma once

#include <functional>
#include <string_view>

#include "ui/draw.h"

namespace vlr {

// ---- widgets ----
enum ButtonStyle : int { kSecondary = 0, kPrimary = 1, kQuiet = 2 };
float buttonWidth(std::string_view label);   // the layout width rows of buttons share
bool button(float x, float y, std::string_view label, int style, bool enabled = true);

using CardContent = std::function<float(float x, float y, float width)>;
float card(float x, float y, float width, std::string_view title, const CardContent& content,
           Color outline = kLine, Color titleColour = kTextSecondary, bool largeTitle = false);

void scrollbar(std::string_view id, Rect viewport, float contentHeight, float& offset);

}  // namespace vlr
