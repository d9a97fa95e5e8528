/*******************************************************************************************
*  editors.cpp — the value editors of the setting rows
*
*  Sections: choice · range · select · number · text · toggle · dispatch
*
*  Each editor is an immediate-mode widget: it runs in its card's measuring pass and, when
*  visible, in the drawing pass, and reacts only while drawing. Every change is saved at once
*  with saveSetting; text and number fields save on commit (Enter or a click elsewhere), a
*  slider once, when its drag ends.
*******************************************************************************************/
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "link/state.h"
#include "settings/settings.h"
#include "settings/settings_model.h"
#include "ui/focus.h"
#include "ui/fonts.h"
#include "ui/rows.h"
#include "ui/select_box.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace vlr {

namespace {


constexpr float kSliderTrack = 170;

const std::string& rowValue(const std::string& key) {
    static const std::string empty;
    const std::string* value = settingValue(key);
    return value ? *value : empty;
}

std::int64_t bound(const Json& bounds, std::size_t index) {
    const Json& value = at(bounds, index);
    return value.isNumber() ? asInt(value) : 0;
}

// The option's text as shown: its first byte upper-cased.
std::string capitalised(const std::string& text) {
    std::string shown = text;
    if (!shown.empty() && shown[0] >= 'a' && shown[0] <= 'z')
        shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    return shown;
}

// A choice's segments sit kSegmentInset inside its outline, their labels kSegmentPad in.
constexpr float kSegmentInset = 3;
constexpr float kSegmentPad = 12;

float segmentWidth(const Json& option) { return roundHalfAway(textWidth(kRegular14, capitalised(asText(option))) + sc(2 * kSegmentPad)); }

std::string wholeText(double value) {
    // Bounds near the ends of the 64-bit range round past them in floating point; the text
    // stays the nearest value that exists rather than whatever an overflowing conversion gives.
    constexpr double kTop = 9223372036854775808.0;  // 2^63
    if (!(value < kTop)) return std::to_string(INT64_MAX);
    if (value <= -kTop) return std::to_string(INT64_MIN);
    return std::to_string(std::llround(value));
}

// hi - lo for any 64-bit bounds: the difference taken in unsigned arithmetic is exact for
// hi >= lo, where the signed one can overflow.
template <typename Real>
Real span(std::int64_t lo, std::int64_t hi) {
    const auto ulo = static_cast<std::uint64_t>(lo);
    const auto uhi = static_cast<std::uint64_t>(hi);
    return hi >= lo ? static_cast<Real>(uhi - ulo) : -static_cast<Real>(ulo - uhi);
}

}  // namespace

// ---- choice ----


float choiceWidth(const Json& options) {
    float width = sc(2 * kSegmentInset);
    for (const Json& option : options.items)
        width += segmentWidth(option);
    return width;
}

int choiceEditor(std::string_view id, float x, float y, const Json& options, std::string_view current) {
    UiState& ui = uiState();
    Rect outer{x, y, choiceWidth(options), sc(kEditorHeight)};
    drawRoundedBox(outer, sc(kChoiceRadius), kLine, kWindowBg);
    int result = -1;
    const bool focused = focusItem(id, snap(outer), FocusKind::kSegment, sc(kChoiceRadius), AccessAbout().showing(current));
    if (const platform::AccessRequest* set = takeAccessValue()) {
        // A reader names the choice as shown or as stored.
        for (std::size_t i = 0; i < options.items.size(); ++i)
            if (asText(options.items[i]) == set->text || capitalised(asText(options.items[i])) == set->text)
                result = static_cast<int>(i);
    }
    const AccessGroup radios;  // the segments are the row's choices
    if (focused) {
        const int count = static_cast<int>(options.items.size());
        int at = -1;
        for (int i = 0; i < count; ++i)
            if (asText(options.items[static_cast<std::size_t>(i)]) == current) at = i;
        // Enter steps on and round, so a row is usable with one button too.
        if (takeAction(kNavLeft) && count > 0) result = std::max(0, at - 1);
        else if (takeAction(kNavRight) && count > 0) result = std::min(count - 1, at + 1);
        else if (takeAction(kNavPress) && count > 0) result = (at + 1) % count;
    }
    float fx = x + sc(kSegmentInset);
    for (std::size_t i = 0; i < options.items.size(); ++i) {
        const std::string& text = asText(options.items[i]);
        const float right = fx + segmentWidth(options.items[i]);
        Rect segment = snap({fx, y + sc(kSegmentInset), right - fx, sc(kEditorHeight - 2 * kSegmentInset)});
        fx += segment.width;
        const bool selected = text == current;
        if (accessBuilding())
            accessNode(text, platform::AccessRole::kRadio, capitalised(text), segment,
                       selected ? platform::kAccessSelected : 0u, platform::kAccessPress);
        if (ui.drawing) {
            if (selected)
                drawRoundedBox(segment, sc(kChipRadius), kTransparent, kRowHover);
            drawTextRun(kRegular14, capitalised(text), segment.x + sc(kSegmentPad), segment.y + segment.height / 2,
                                selected ? kTextPrimary : kTextSecondary, 0);
        }
        if (isHovered(segment)) {
            ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
            if (takeClick())
                result = static_cast<int>(i);
        }
    }
    return result;
}

// ---- range ----

double sliderValueAt(float mouseX, float trackLeft, float trackWidth, std::int64_t lo, std::int64_t hi) {
    const float f = trackWidth > 0 ? std::clamp((mouseX - trackLeft) / trackWidth, 0.0f, 1.0f) : 0.0f;
    return std::round(span<float>(lo, hi) * f + static_cast<float>(lo));
}

bool slider(std::string_view id, float x, float y, std::int64_t lo, std::int64_t hi, double& p) {
    UiState& ui = uiState();
    SettingsRecords& records = settingsRecords();
    const float ty = y + sc(kRangeHeight / 2) - sc(kTrackHeight / 2);  // the track through the row's middle
    const float tx = roundHalfAway(x);
    const float tw = roundHalfAway(x + sc(kSliderTrack)) - tx;
    const float top = roundHalfAway(ty);
    const float height = roundHalfAway(ty + sc(kTrackHeight)) - top;
    const double pv = sliderValueAt(ui.input.mouseX, tx, tw, lo, hi);

    bool ended = false;
    if (records.activeSlider == id && ui.drawing) {
        p = pv;
        if (!ui.input.mouseDown) {
            records.activeSlider.clear();
            ended = true;
        }
    } else if (isHovered({tx - sc(kKnobRadius), y, tw + sc(2 * kKnobRadius), sc(kRangeHeight)})) {
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
        if (takeClick()) {
            records.activeSlider = std::string(id);
            p = pv;
        }
    }
    const bool focused = focusItem(id, {tx - sc(kKnobRadius), y, tw + sc(2 * kKnobRadius), sc(kRangeHeight)},
                                   FocusKind::kSlider, sc(kRangeHeight / 2),
                                   AccessAbout().ranging(p, static_cast<double>(lo), static_cast<double>(hi), 1));
    const platform::AccessRequest* set = takeAccessValue();
    if (set != nullptr && records.activeSlider != id && std::isfinite(set->number) && lo <= hi) {
        // A reader's number, as a key step would leave it: whole, within the bounds, saved.
        p = std::clamp(std::round(set->number), static_cast<double>(lo), static_cast<double>(hi));
        ended = true;
    } else if (focused && records.activeSlider != id) {
        // A key step is a whole change: saved at once, as the end of a drag is.
        const double tenth = std::max(1.0, std::round(span<double>(lo, hi) / 10));
        const double before = p;
        if (takeAction(kNavLeft)) p -= 1;
        else if (takeAction(kNavRight)) p += 1;
        else if (takeAction(kNavPageDown)) p -= tenth;
        else if (takeAction(kNavPageUp)) p += tenth;
        if (lo <= hi) p = std::clamp(std::round(p), static_cast<double>(lo), static_cast<double>(hi));
        if (p != before) ended = true;
    }

    if (ui.drawing) {
        const float q = lo < hi ? std::clamp(static_cast<float>((p - static_cast<double>(lo)) / span<double>(lo, hi)),
                                             0.0f, 1.0f)
                                : 0.0f;
        Rect track{tx, top, tw, height};
        drawRoundedBox(track, sc(kTrackRadius), kTransparent, kRowHover);
        if (q > 0) {
            Rect fill{tx, top, tw * q, height};
            drawRoundedBox(fill, sc(kTrackRadius), kTransparent, kAccent);
        }
        drawCalls().circle({tx + tw * q, top + height / 2}, sc(kKnobRadius), kAccent);
    }
    return ended;
}

namespace {

void rangeRow(const Json& row, const std::string& key, const std::string& value, float x, float y) {
    SettingsRecords& records = settingsRecords();
    const Json& bounds = get(row, "range");
    const std::int64_t lo = bound(bounds, 0);
    const std::int64_t hi = bound(bounds, 1);
    double p = 0;
    if (records.activeSlider == key) {
        p = records.dragValue;
    } else {
        char* end = nullptr;
        p = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || !std::isfinite(p))
            p = 0;
    }
    if (slider(key, x, y, lo, hi, p))
        saveSetting(key, wholeText(p), false);
    const bool dragging = records.activeSlider == key;
    if (dragging)
        records.dragValue = p;
    if (accessBuilding())
        setLastAccessValue((dragging ? wholeText(p) : value) + asText(get(row, "unit")));
    if (uiState().drawing) {
        // The value stands at the right end of the row the track begins.
        const std::string shown = (dragging ? wholeText(p) : value) + asText(get(row, "unit"));
        Row line = rowAt(x, y, sc(kRangeWidth), sc(kRangeHeight), 0);
        const Rect at = cellRight(line, textWidth(kRegular14, shown));
        drawTextRun(kRegular14, shown, at.x, at.y + at.height / 2, kTextSecondary, 0);
    }
}

// ---- select ----

void selectRow(const Json& row, const std::string& key, const std::string& value, float x, float y) {
    const std::string& unit = asText(get(row, "unit"));
    std::vector<std::string> options;
    const auto& listed = get(row, "select").items;
    // A value the table does not offer is listed first, so the user sees what is set.
    if (std::none_of(listed.begin(), listed.end(), [&value](const Json& o) { return asText(o) == value; }))
        options.push_back(value);
    for (const Json& option : listed)
        options.push_back(asText(option));
    std::vector<std::string> items;
    for (const std::string& option : options)
        items.push_back(option + unit);
    const int chosen = selectBox(key, {x, y, editorWidth(row), sc(kEditorHeight)}, items, value + unit);
    if (chosen >= 0)
        saveSetting(key, options[static_cast<std::size_t>(chosen)], false);
}

}  // namespace

// ---- number ----

std::string clampNumber(std::string_view text, std::int64_t lo, std::int64_t hi) {
    Json number;
    number.kind = JsonKind::Number;  // asInt reads a number's text the way the field wants it
    number.text = std::string(text);
    std::int64_t n = asInt(number);
    if (n > hi)
        n = hi;
    else if (n < lo)
        n = lo;
    return std::to_string(n);
}

void numberField(const std::string& key, float x, float y, const Json& bounds) {
    const FocusScope row(key);
    EditBuffer& b = editBuffer(key);
    const std::string* value = settingValue(key);
    if (uiState().focused != &b && !b.lostFocus && value != nullptr)
        b.text = *value;
    if (textField(b, {x, y, sc(kNumberWidth), sc(kEditorHeight)}, "", sc(9), 0, true)) {  // 9: the digits' inset
        b.text = clampNumber(b.text, bound(bounds, 0), bound(bounds, 1));
        b.caret = std::min<std::uint64_t>(b.caret, b.text.size());
        saveSetting(key, b.text, false);
    }
}

namespace {

// ---- text ----

std::string trimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void textRow(const std::string& key, const std::string& value, float x, float y) {
    const FocusScope row(key);
    EditBuffer& b = editBuffer(key);
    if (uiState().focused != &b && !b.lostFocus)
        b.text = value;
    if (textField(b, {x, y, sc(kTextWidth), sc(kEditorHeight)}, "", sc(10), 0, false))  // 10: the text's inset
        saveSetting(key, trimSpaces(b.text), false);
}

// ---- toggle ----

void toggle(const std::string& key, const std::string& value, float x, float y) {
    UiState& ui = uiState();
    const bool on = value == "true";
    Rect r = snap({x, y, sc(kToggleWidth), sc(kToggleHeight)});
    if (ui.drawing) {
        Rect track = r;
        drawRoundedBox(track, r.height / 2, kTransparent, on ? kAccent : kRowHover);
        drawCalls().circle({r.x + sc(on ? 27 : 11), r.y + r.height / 2}, sc(kKnobRadius), on ? kWhite : kTextSecondary);
    }
    const bool pressed =
        focusItem(key, r, FocusKind::kSwitch, r.height / 2, AccessAbout().marked(on ? platform::kAccessChecked : 0u)) &&
        takeAction(kNavPress);
    const bool hovered = isHovered(r);
    if (hovered)
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    if ((hovered && takeClick()) || pressed)
        saveSetting(key, on ? "false" : "true", false);
}

}  // namespace

// ---- dispatch ----

void valueEditor(const Json& row, float x, float y) {
    const std::string& key = asText(get(row, "key"));
    const std::string& value = rowValue(key);
    const AccessLabel named(asText(get(row, "label")));  // a reader names the editor by its row
    switch (editorKind(row)) {
    case EditorKind::Choice: {
        const Json& options = get(row, "choice");
        const int i = choiceEditor(key, x, y, options, value);
        if (i >= 0)
            saveSetting(key, asText(options.items[static_cast<std::size_t>(i)]), false);
        break;
    }
    case EditorKind::Range:
        rangeRow(row, key, value, x, y);
        break;
    case EditorKind::Select:
        selectRow(row, key, value, x, y);
        break;
    case EditorKind::Number: {
        // A pair is one row: the first field, the "×" in the middle of the gap, the second field.
        const Json& bounds = get(row, "number");
        Row pair = rowAt(x, y, 0, sc(kEditorHeight), sc(kNumberGap / 2));  // left to right only
        const Json& partner = get(row, "and");
        // A reader tells the two fields of a pair apart by their place in it.
        const bool paired = partner.isString() && uiState().access.building;
        const std::string& label = asText(get(row, "label"));
        const Rect first = cell(pair, sc(kNumberWidth));
        {
            const std::string place = paired ? label + " (1 of 2)" : std::string();  // outlives the label's view
            const AccessLabel name(paired ? std::string_view(place) : std::string_view(label));
            numberField(key, first.x, first.y, bounds);
        }
        if (partner.isString()) {
            const Rect times = cell(pair, textWidth(kRegular14, "×"));
            if (uiState().drawing)
                drawTextRun(kRegular14, "×", times.x, times.y + times.height / 2, kTextSecondary, 0);
            const Rect second = cell(pair, sc(kNumberWidth));
            const std::string place = paired ? label + " (2 of 2)" : std::string();
            const AccessLabel name(paired ? std::string_view(place) : std::string_view(label));
            numberField(partner.text, second.x, second.y, bounds);
        }
        break;
    }
    case EditorKind::Text:
        textRow(key, value, x, y);
        break;
    case EditorKind::Toggle:
        toggle(key, value, x, y);
        break;
    }
}

}  // namespace vlr
