/*******************************************************************************************
*  window_records.cpp — a fresh window, the drawing recorder, saved advance tables
*******************************************************************************************/
#include "window_records.h"

#include "link/link.h"
#include "shell/records.h"
#include "ui/fonts.h"

namespace vlr::test {

std::vector<Drawn>& drawn() {
    static std::vector<Drawn> calls;
    return calls;
}

std::vector<Drawn> drawnOf(Drawn::Kind kind) {
    std::vector<Drawn> out;
    for (const Drawn& call : drawn())
        if (call.kind == kind) out.push_back(call);
    return out;
}

float& textAdvance() {
    static float advance = 0;
    return advance;
}

namespace {

Drawn& record(Drawn::Kind kind, Rectangle rect, Color colour) {
    Drawn& call = drawn().emplace_back();
    call.kind = kind;
    call.rect = rect;
    call.colour = colour;
    return call;
}

// The table is writable storage; only its accessor is const.
std::vector<float>& advancesOf(int slot) {
    forgetWrappedLines();
    return const_cast<FontSlot&>(fontSlot(slot)).advances;
}

}  // namespace

DrawCalls drawRecorder() {
    DrawCalls calls{};
    calls.roundedRect = [](Rectangle rect, float roundness, int, Color colour) {
        record(Drawn::kFill, rect, colour).roundness = roundness;
    };
    calls.roundedLines = [](Rectangle rect, float roundness, int, float thickness, Color colour) {
        Drawn& call = record(Drawn::kOutline, rect, colour);
        call.roundness = roundness;
        call.thickness = thickness;
    };
    calls.beginScissor = [](int x, int y, int width, int height) {
        record(Drawn::kScissor, Rectangle{float(x), float(y), float(width), float(height)}, Color{});
    };
    calls.endScissor = [] { record(Drawn::kEndScissor, Rectangle{}, Color{}); };
    calls.textRun = [](int slot, std::string_view text, float x, float centreY, Color colour, float extra) {
        Drawn& call = record(Drawn::kText, Rectangle{x, centreY, 0, 0}, colour);
        call.slot = slot;
        call.text = text;
        call.extraSpacing = extra;
        return x + textAdvance() * static_cast<float>(text.size());
    };
    calls.line = [](Vector2 from, Vector2 to, float thickness, Color colour) {
        Drawn& call = record(Drawn::kLine, Rectangle{}, colour);
        call.from = from;
        call.to = to;
        call.thickness = thickness;
    };
    calls.rectangle = [](Rectangle rect, Color colour) { record(Drawn::kRectangle, rect, colour); };
    calls.circle = [](Vector2 centre, float radius, Color colour) {
        record(Drawn::kCircle, Rectangle{centre.x, centre.y, 0, 0}, colour).radius = radius;
    };
    calls.ring = [](Vector2 centre, float inner, float outer, Color colour) {
        Drawn& call = record(Drawn::kRing, Rectangle{centre.x, centre.y, 0, 0}, colour);
        call.inner = inner;
        call.radius = outer;
    };
    calls.texture = [](Texture2D, Rectangle, Rectangle target, Color tint) { record(Drawn::kTexture, target, tint); };
    calls.clear = [](Color colour) { record(Drawn::kClear, Rectangle{}, colour); };
    return calls;
}

void fixAdvances(int slot, float advance) { advancesOf(slot).assign(kAdvanceCount, advance); }

void freshWindow() {
    drawn().clear();
    textAdvance() = 0;
    setTheLink(nullptr);
    resetWindowRecords();
}

SavedAdvances::SavedAdvances() {
    for (int slot = 0; slot < kFontSlotCount; ++slot) advances_.push_back(advancesOf(slot));
}

void SavedAdvances::restore() const {
    for (int slot = 0; slot < kFontSlotCount; ++slot) advancesOf(slot) = advances_[static_cast<std::size_t>(slot)];
}

}  // namespace vlr::test
