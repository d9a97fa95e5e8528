/*******************************************************************************************
*  widgets.cpp — buttons, cards and scrollbars
*
*  Built on ui/draw.h; like it, every widget may run with the drawing flag clear (a card's
*  measuring pass) and then only measures.
*
*  Sections: button, card, scrollbar.
*******************************************************************************************/
#include "ui/widgets.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "ui/focus.h"

namespace vlr {

namespace {

// Disabled widgets keep their colours at two fifths of the alpha, truncated (255 -> 102).
Color faded(Color c) {
    c.a = static_cast<unsigned char>(c.a * 2 / 5);
    return c;
}

}  // namespace

// ---- button ----

namespace {

struct ButtonColours {
    Color fill, outline, label;
};

ButtonColours buttonColours(int style, bool hovered) {
    switch (style) {
    case kPrimary:
        return hovered ? ButtonColours{kAccentHover, kAccentHover, kWhite} : ButtonColours{kAccent, kAccent, kWhite};
    case kQuiet:
        return hovered ? ButtonColours{kPanelFill, kLine, kTextPrimary} : ButtonColours{kTransparent, kTransparent, kTextSecondary};
    default:
        return hovered ? ButtonColours{kButtonHover, kButtonHoverLine, kTextPrimary}
                       : ButtonColours{kPanelFill, kLine, kTextPrimary};
    }
}

}  // namespace

float buttonWidth(std::string_view label) {
    return roundHalfAway(textWidth(kRegular14, label) + sc(2 * kButtonInset));
}

bool button(float x, float y, std::string_view label, int style, bool enabled) {
    UiState& ui = uiState();
    const float x0 = roundHalfAway(x);
    const float y0 = roundHalfAway(y);
    Rect box{x0, y0, roundHalfAway(x + buttonWidth(label)) - x0, roundHalfAway(y + sc(kControlHeight)) - y0};
    const bool hovered = enabled && isHovered(box);
    if (hovered) ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    if (ui.drawing) {
        ButtonColours colours = buttonColours(style, hovered);
        if (!enabled || !ui.controlsOff.empty()) colours = {faded(colours.fill), faded(colours.outline), faded(colours.label)};
        const float centreY = y0 + box.height / 2;
        drawRoundedBox(box, sc(kControlRadius), colours.outline, colours.fill);
        drawTextRun(kRegular14, label, x0 + sc(kButtonInset), centreY, colours.label, 0);
    }
    // A disabled button is passed over: the focus goes to its neighbour. One whose launcher is
    // away keeps its place, and says why.
    const bool focused = enabled && focusItem(label, box, FocusKind::kButton, sc(kControlRadius));
    if (!enabled && accessBuilding())
        accessNode(label, platform::AccessRole::kButton, label, box, platform::kAccessDisabled, platform::kAccessPress);
    return (hovered && takeClick()) || (focused && takeAction(kNavPress));
}

// ---- card ----

namespace {

std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// Puts the drawing flag back however the card's passes end.
struct DrawingFlagGuard {
    bool saved = uiState().drawing;
    ~DrawingFlagGuard() { uiState().drawing = saved; }
};

}  // namespace

float card(float x, float y, float width, std::string_view title, const CardContent& content, Color outline,
           Color titleColour, bool largeTitle) {
    UiState& ui = uiState();
    const float pad = sc(kCardInset);
    // The card's widgets are named within its title (an untitled card adds no scope).
    const bool scoped = !title.empty();
    if (scoped) pushFocusScope(title);

    auto body = [&]() -> float {
        float top = sc(kCardTitleTop);
        if (!title.empty()) {
            const float lineHeight = sc(largeTitle ? 21 : 16.5f);
            if (accessBuilding())
                accessNode("title", platform::AccessRole::kHeading, title,
                           {x + pad, y + sc(kCardTitleTop), width - 2 * pad, lineHeight});
            if (ui.drawing) {
                const float centreY = y + sc(kCardTitleTop) + lineHeight / 2;
                if (largeTitle)
                    drawTextRun(kSemibold14, title, x + pad, centreY, titleColour, 0);
                else
                    drawTextRun(kSemibold11, asciiUpper(title), x + pad, centreY, titleColour,
                                        roundHalfAway(ui.scale));
            }
            top += sc(kBlockGap) + lineHeight;
        }
        const float used = content ? content(x + pad, y + top, width - 2 * pad) : 0;
        return used + top + pad;
    };

    const DrawingFlagGuard guard;
    ui.drawing = false;
    // The measuring pass adds the card's widgets to the focus order, so that one out of view
    // still takes its turn; a drawn card walks that list again as it draws them.
    const std::size_t focusBefore = focusMark();
    const std::size_t accessBefore = accessMark();
    const bool collecting = ui.focus.collecting;
    ui.focus.collecting = guard.saved;
    const float height = roundHalfAway(body());
    ui.focus.collecting = collecting;

    bool visible = guard.saved;
    if (visible && !ui.clips.empty()) {
        const Rect& clip = ui.clips.back();
        visible = y < clip.y + clip.height && clip.y < y + height;
    }
    if (visible) {
        const FocusReplay outer = beginFocusReplay(focusBefore);
        forgetAccessNodes(accessBefore);  // listed again below, with the values drawn
        ui.drawing = true;
        Rect box{x, y, width, height};
        drawRoundedBox(box, sc(kCardRadius), outline, kCardFill);
        body();  // its height must match the measuring pass; the measured one is what counts
        endFocusReplay(outer);
    }
    if (scoped) popFocusScope();
    return height;
}

// ---- scrollbar ----

void scrollbar(std::string_view id, Rect viewport, float contentHeight, float& offset) {
    UiState& ui = uiState();
    const float range = std::max(0.0f, contentHeight - viewport.height);
    if (!(offset > 0)) offset = 0;  // also catches a NaN offset
    offset = std::min(offset, range);
    if (range == 0) {
        // A bar that went away cannot stay grabbed, or it would jump back with a stale start.
        if (ui.active == id) ui.active.clear();
        return;
    }

    const float thumbHeight = std::max(viewport.height * viewport.height / contentHeight, sc(kScrollbarMinThumb));
    const float track = viewport.height - thumbHeight;
    const Rect thumb = snap({viewport.x + viewport.width - sc(kScrollbarWidth), viewport.y + offset * track / range,
                             sc(kScrollbarWidth), thumbHeight});
    const bool hovered = isHovered(thumb);

    if (ui.active == id) {
        // A viewport no taller than the minimum thumb leaves no track to drag along.
        const float moved = track > 0 ? (ui.input.mouseY - ui.dragStartMouseY) * range / track : 0;
        offset = std::clamp(ui.dragStartOffset + moved, 0.0f, range);
        if (!ui.input.mouseDown) ui.active.clear();
    } else if (hovered && takeClick()) {
        ui.active = std::string(id);
        ui.dragStartOffset = offset;
        ui.dragStartMouseY = ui.input.mouseY;
    }

    // Drawn where the offset stood when the frame began; a drag shows on the next frame.
    const Color colour = (ui.active == id || hovered) ? kThumbLit : kThumb;
    const float inset = sc(2);  // the thumb inside its grip area
    Rect bar{thumb.x + inset, thumb.y + inset, thumb.width - 2 * inset, thumb.height - 2 * inset};
    drawRoundedBox(bar, sc(3), kTransparent, colour);  // the thumb's corners
}

}  // namespace vlr
