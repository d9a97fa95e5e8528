/*******************************************************************************************
*  bindings.cpp — the card "Keyboard and mouse": which inputs drive each PS2 button
*
*  One line per button: label and help on the left, on the right one chip per bound input
*  and, with fewer than three, the add chip. A click on an input chip removes it; a click on
*  "+" starts a key capture, which the frame resolves before any page runs and hands to
*  addBinding. Every change saves at once and takes the launcher's list back.
*
*  After a click removed a chip, the line keeps its chips where they stood (the removed one's
*  place left empty) until the pointer leaves them, so a second click never lands on a chip
*  that moved there; a double click on "+" starts one capture (the chip it turns into does not
*  take the second click as a cancel). An input bound to more than one button is marked on
*  each of them.
*******************************************************************************************/
#include <algorithm>
#include <cmath>

#include "link/state.h"
#include "settings/settings.h"
#include "settings/settings_model.h"
#include "ui/focus.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/rows.h"
#include "ui/widgets.h"

namespace vlr {

namespace {


constexpr float kChipHeight = 28;
constexpr float kChipGap = 6;
constexpr float kChipInset = 10;     // a chip's label from its sides
constexpr float kCrossGap = 7;       // a chip's label to its "×"
constexpr float kLinePad = 9;        // above and below a line's content
constexpr float kGridGap = 36;       // between the two lines of a row in a wide window
constexpr std::size_t kMaxNames = 3;
constexpr double kDoubleClickSeconds = 0.5;  // a second click this soon after the first, and
constexpr float kDoubleClickNear = 4;        // this near it, is a double click's

const char* const kIntro =
    "Up to three keys, mouse buttons or wheel moves for each PS2 button. Press + and then the key to add; click a "
    "key to remove it.";
const char* const kSharedNote = " An input marked in red drives more than one PS2 button.";
const char* const kCaptureLabel = "Press a key or a mouse button";

struct Chip {
    std::string label;
    int index;      // of the input in the button's list; -1 for the add chip; -2 a removed one's place
    float width;
    bool conflict = false;   // its input drives another button too
};

void fill(Rect r, Color colour) { drawCalls().rectangle(toRaylib(snap(r)), colour); }

// Dashes 3 long every 6 along the edges, inside the chip, clear of its rounded corners.
void dashedBorder(Rect chip, Color colour) {
    const float t = std::max(1.0f, roundHalfAway(uiState().scale));
    const float right = chip.x + chip.width;
    const float bottom = chip.y + chip.height;
    const float corner = sc(kChipRadius), step = sc(6), dash = sc(3);
    for (float dx = chip.x + corner; dx < right - corner; dx += step) {
        fill({dx, chip.y, dash, t}, colour);
        fill({dx, bottom - t, dash, t}, colour);
    }
    for (float dy = chip.y + corner; dy < bottom - corner; dy += step) {
        fill({chip.x, dy, t, dash}, colour);
        fill({right - t, dy, t, dash}, colour);
    }
}

// The inputs bound to more than one of the table's buttons (each button counted once).
std::vector<std::string> sharedInputs() {
    std::vector<std::string> seen, shared;
    for (const Json& button : get(get(windowState().state, "table"), "buttons").items) {
        const std::string* value = settingValue("key_" + asText(at(button, 0)));
        if (value == nullptr) continue;
        std::vector<std::string> names = splitBinding(*value);
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        for (std::string& name : names) {
            if (std::find(seen.begin(), seen.end(), name) == seen.end())
                seen.push_back(std::move(name));
            else if (std::find(shared.begin(), shared.end(), name) == shared.end())
                shared.push_back(std::move(name));
        }
    }
    return shared;
}

// `names` are the places the chips stand in: the inputs now, or a held line's inputs when its
// hold began, `gone` marking those removed since (their chips keep an empty place).
std::vector<Chip> chipsOf(const std::vector<std::string>& names, const std::vector<bool>& gone, bool capturing,
                          const std::vector<std::string>& shared) {
    std::vector<Chip> chips;
    const float cross = textWidth(kRegular13, "×");
    int index = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string label = displayName(names[i]);
        const float width = roundHalfAway(textWidth(kRegular13, label) + sc(kCrossGap) + cross + sc(2 * kChipInset));
        const bool removed = i < gone.size() && gone[i];
        const bool conflict = std::find(shared.begin(), shared.end(), names[i]) != shared.end();
        chips.push_back({std::move(label), removed ? -2 : index++, width, conflict && !removed});
    }
    if (names.size() < kMaxNames) {
        std::string label = capturing ? kCaptureLabel : "+";
        const float width = roundHalfAway(textWidth(kRegular13, label) + sc(2 * kChipInset));
        chips.push_back({std::move(label), -1, width});
    }
    return chips;
}

// Rows of chip indices, left to right, each no wider than the chip area (but for a lone chip).
std::vector<std::vector<std::size_t>> flowChips(const std::vector<Chip>& chips, float area,
                                                std::vector<float>& widths) {
    std::vector<std::vector<std::size_t>> rows;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        if (rows.empty() || sc(kChipGap) + widths.back() + chips[i].width > area) {
            rows.emplace_back();
            widths.push_back(0);
        }
        if (!rows.back().empty())
            widths.back() += sc(kChipGap);
        widths.back() += chips[i].width;
        rows.back().push_back(i);
    }
    return rows;
}

// The line's chips kept in their places: the hold the line had, or one that begins now with
// the inputs as they stand.
void holdChips(const std::string& key, const std::vector<std::string>& names, int removed, Rect area) {
    HeldChips& held = settingsRecords().held;
    if (held.key != key) {
        held.key = key;
        held.names = names;
        held.gone.assign(names.size(), false);
        held.area = area;
    }
    // The removed input's place: the index-th of those not yet gone.
    for (std::size_t i = 0, live = 0; i < held.names.size(); ++i) {
        if (held.gone[i]) continue;
        if (static_cast<int>(live++) == removed) {
            held.gone[i] = true;
            return;
        }
    }
}

// Draws one chip and handles its click. True when the click changed the binding.
bool chip(const Chip& c, Rect r, const std::string& name, const std::string& key, std::vector<std::string>& names,
          bool capturing, Rect block) {
    UiState& ui = uiState();
    const bool add = c.index == -1;
    const bool hovered = isHovered(r);
    if (ui.drawing) {
        Color outline = hovered ? kAccentSoft : c.conflict ? kWarningOutline : kLine;
        Color fillColour = c.conflict ? kAccentGlow : kPanelFill;
        Color text = kTextPrimary;
        if (add && capturing) {
            outline = kAccent;
            fillColour = kAccentGlow;
        } else if (add && !hovered) {
            outline = kTransparent;
            text = kTextSecondary;
        }
        Rect box = r;
        drawRoundedBox(box, sc(kChipRadius), outline, fillColour);
        if (add && !capturing)
            dashedBorder(r, hovered ? kAccentSoft : kLine);
        const float end = drawTextRun(kRegular13, c.label, r.x + sc(kChipInset), r.y + r.height / 2, text, 0);
        if (!add)
            drawTextRun(kRegular13, "×", end + sc(kCrossGap), r.y + r.height / 2, kTextSecondary, 0);
        if (add && capturing)
            ui.capture.rect = r;
    }
    // A reader hears the button's label with the input (a press removes it), or what the add chip does.
    std::string spoken;
    if (accessBuilding()) {
        const std::string_view button = ui.access.label;
        spoken = add ? "Add an input to " + std::string(button) : std::string(button) + ": " + c.label;
    }
    const bool pressed = focusItem(key + ":" + std::to_string(c.index), r, FocusKind::kChip, sc(kChipRadius),
                                   AccessAbout().named(spoken)) &&
                         takeAction(kNavPress);
    if (hovered)
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    if (!(hovered && takeClick()) && !pressed)
        return false;
    if (add) {
        CaptureClick& started = settingsRecords().captureClick;
        const InputSnapshot& in = ui.input;
        if (!capturing) {
            ui.capture.name = name;
            // Until the capture chip is drawn, a click where "+" was is no left button to bind.
            ui.capture.rect = r;
            started = {pressed ? -1.0 : uiClock(), in.mouseX, in.mouseY};
        } else if (pressed || !(started.time >= 0 && uiClock() - started.time < kDoubleClickSeconds &&
                                std::abs(in.mouseX - started.x) <= sc(kDoubleClickNear) &&
                                std::abs(in.mouseY - started.y) <= sc(kDoubleClickNear))) {
            ui.capture.name.clear();
        }
        return false;
    }
    // By the mouse, the chips stay where they are while it is over them; by the keys, the line
    // closes up at once (the focus stays on the place, which the next chip takes).
    if (pressed) {
        if (settingsRecords().held.key == key) settingsRecords().held = {};
    } else {
        holdChips(key, names, c.index, block);
    }
    names.erase(names.begin() + c.index);
    saveSetting(key, joinBinding(names), true);
    return true;
}

// The places the chips stand in: the held line's while the pointer stays over its chips and
// its inputs are still those it kept, else the inputs as they are (the hold ends).
const std::vector<std::string>& chipPlaces(const std::string& key, const std::vector<std::string>& names,
                                           bool capturing, std::vector<bool>& gone) {
    HeldChips& held = settingsRecords().held;
    gone.clear();
    if (held.key != key)
        return names;
    const InputSnapshot& in = uiState().input;
    const Rect& a = held.area;
    const bool inside = in.mouseX >= a.x && in.mouseX < a.x + a.width && in.mouseY >= a.y && in.mouseY < a.y + a.height;
    std::vector<std::string> left;
    for (std::size_t i = 0; i < held.names.size(); ++i)
        if (!held.gone[i]) left.push_back(held.names[i]);
    if (!inside || capturing || left != names) {
        held = {};
        return names;
    }
    gone = held.gone;
    return held.names;
}

float lineWith(const Json& button, float x, float y, float w, float lh, const std::vector<std::string>& shared) {
    const UiState& ui = uiState();
    const std::string name = asText(at(button, 0));
    const std::string key = "key_" + name;
    const std::string* value = settingValue(key);
    std::vector<std::string> names = splitBinding(value ? *value : std::string());
    const bool capturing = ui.capture.name == name;
    std::vector<bool> gone;
    const std::vector<std::string> places = chipPlaces(key, names, capturing, gone);
    const std::vector<Chip> chips = chipsOf(places, gone, capturing, shared);

    const std::string& label = asText(at(button, 1));
    const std::string& help = asText(at(button, 2));
    const float tw = std::max(textWidth(kRegular14, label), textWidth(kRegular12_5, help));
    const float area = std::max(w - sc(kColumnGap) - std::min(0.4f * w, tw), sc(60));  // the chips keep 60 however long the label
    std::vector<float> rowWidths;
    const std::vector<std::vector<std::size_t>> rows = flowChips(chips, area, rowWidths);
    const float n = static_cast<float>(rows.size());
    const float cb = sc(kChipHeight) * n + sc(kChipGap) * (n - 1);
    const float tb = help.empty() ? sc(kLine14) : sc(kLine14 + kLine13);
    const float hc = std::max({cb, tb, lh - sc(2 * kLinePad)});

    if (ui.drawing) {
        fill({x, y, w, std::max(1.0f, roundHalfAway(ui.scale))}, kLine);
        const float textTop = y + sc(kLinePad) + (hc - tb) / 2;
        drawTextRun(kRegular14, label, x, textTop + sc(kLine14 / 2), kTextPrimary, 0);
        if (!help.empty())
            drawTextRun(kRegular12_5, help, x, textTop + sc(31), kTextSecondary, 0);  // the help line's middle
    }
    // The chips' rows stand at the line's right end, their block in the middle of the line.
    const float blockTop = y + sc(kLinePad) + (hc - cb) / 2;
    const float blockWidth = rowWidths.empty() ? 0 : *std::max_element(rowWidths.begin(), rowWidths.end());
    const Rect block{x + w - blockWidth, blockTop, blockWidth, cb};
    Column chipRows = column(x, blockTop, w);
    const AccessLabel named(label);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        Row line = nextRow(chipRows, sc(kChipHeight), sc(kChipGap), sc(kChipGap));
        flushRight(line, rowWidths[r]);
        const Faded off(!uiState().controlsOff.empty());
        for (std::size_t i : rows[r]) {
            const Rect at = snap(cell(line, chips[i].width));
            if (chips[i].index == -2)
                continue;  // a removed input's empty place
            if (chip(chips[i], at, name, key, names, capturing, block))
                return hc + sc(2 * kLinePad);  // the chips below stand for the old list
        }
    }
    return hc + sc(2 * kLinePad);
}

}  // namespace

float bindingLine(const Json& button, float x, float y, float w, float lh) {
    return lineWith(button, x, y, w, lh, sharedInputs());
}

float keyBindingsCard(const std::vector<const Json*>& buttons, float x, float y, float w) {
    UiState& ui = uiState();
    const std::vector<std::string> shared = sharedInputs();
    const std::string intro = shared.empty() ? std::string(kIntro) : std::string(kIntro) + kSharedNote;
    Column content = column(x, y, w);
    skip(content, drawTextBlock(kRegular12_5, intro, x, y, w, sc(kLine12_5), kTextSecondary, false));
    skip(content, sc(kHelpGap));
    const std::size_t per = sc(kOneColumnMaxWidth) >= static_cast<float>(inputCalls().screenWidth()) ? 1 : 2;
    const float m = per == 1 ? w : (w - sc(kGridGap)) / 2;
    for (std::size_t first = 0; first < buttons.size(); first += per) {
        const std::size_t end = std::min(buttons.size(), first + per);
        const bool drawing = ui.drawing;
        const bool collecting = ui.focus.collecting;
        ui.drawing = false;
        ui.focus.collecting = false;
        float h = 0;
        for (std::size_t i = first; i < end; ++i)
            h = std::max(h, lineWith(*buttons[i], x, 0, m, 0, shared));
        ui.drawing = drawing && !offClip(content.y, h);
        // Out of view, its chips still take their turn in the focus order.
        ui.focus.collecting = collecting || (drawing && !ui.drawing);
        Row line = nextRow(content, h, 0, sc(kGridGap));
        for (std::size_t i = first; i < end; ++i) {
            const Rect at = cell(line, m);
            lineWith(*buttons[i], at.x, at.y, at.width, at.height, shared);
        }
        ui.drawing = drawing;
        ui.focus.collecting = collecting;
    }
    return used(content) - sc(kLinePad);
}

void addBinding(const std::string& setting, int code) {
    const std::string* value = settingValue(setting);
    std::vector<std::string> names = splitBinding(value ? *value : std::string());
    const std::string added = keyName(code);
    if (std::find(names.begin(), names.end(), added) == names.end())
        names.push_back(added);
    saveSetting(setting, joinBinding(names), true);
}

}  // namespace vlr
