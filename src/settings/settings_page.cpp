/*******************************************************************************************
*  settings_page.cpp — the Settings page: the table's sections and rows
*
*  Sections:
*    rows           editor sizes by kind, visibility, one setting row
*    filter         the words a row must hold
*    page           intro and filter, columns of section cards, key bindings, "Other"
*
*  The table is read from the state document on every drawing; only the key/value list is
*  kept. What the page shows never runs ahead of the file: table rows for keys the file
*  lacks are hidden, and keys the table does not mention are still editable under "Other".
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
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace vlr {

namespace {


constexpr float kLabelGap = 18;      // between the label column and the editor
constexpr float kLabelLine = 21;
constexpr float kHelpLine = 17.5f;
constexpr float kHelpTop = 2;        // the label's last line to its help
constexpr float kRowSpace = 11;      // above and below a row, but for the card's edges
constexpr float kFirstRowSpace = 2;

const char* const kEmptyText =
    "The game writes its settings file at its first launch; the settings appear here afterwards.";
const char* const kIntroText =
    "Changes are saved at once and apply the next time the game starts. F1 in the game changes the same settings.";
const char* const kNoMatchText = "No setting matches.";

}  // namespace

// ---- rows ----

EditorKind editorKind(const Json& row) {
    if (get(row, "choice").isArray()) return EditorKind::Choice;
    if (get(row, "range").isArray()) return EditorKind::Range;
    if (get(row, "select").isArray()) return EditorKind::Select;
    if (get(row, "number").isArray()) return EditorKind::Number;
    if (isTrue(get(row, "text"))) return EditorKind::Text;
    return EditorKind::Toggle;
}

float editorWidth(const Json& row) {
    switch (editorKind(row)) {
    case EditorKind::Choice:
        return choiceWidth(get(row, "choice"));
    case EditorKind::Range:
        return sc(kRangeWidth);
    case EditorKind::Select: {
        const std::string& unit = asText(get(row, "unit"));
        float widest = 0;
        for (const Json& option : get(row, "select").items)
            widest = std::max(widest, textWidth(kRegular14, asText(option) + unit));
        return roundHalfAway(widest + sc(44));  // 44: the text's inset and the arrow's room
    }
    case EditorKind::Number:
        if (get(row, "and").isString())
            return sc(kNumberWidth + kNumberGap) + textWidth(kRegular14, "×") + sc(kNumberWidth);
        return sc(kNumberWidth);
    case EditorKind::Text:
        return sc(kTextWidth);
    case EditorKind::Toggle:
        return sc(kToggleWidth);
    }
    return 0;
}

float editorHeight(const Json& row) {
    switch (editorKind(row)) {
    case EditorKind::Range:
        return sc(kRangeHeight);
    case EditorKind::Toggle:
        return sc(kToggleHeight);
    default:
        return sc(kEditorHeight);
    }
}

bool rowVisible(const Json& row) {
    const Json& key = get(row, "key");
    if (settingValue(asText(key)) == nullptr || !key.isString())
        return false;
    const Json& partner = get(row, "and");
    return !partner.isString() || settingValue(partner.text) != nullptr;
}

namespace {

// [y, y + height) lies wholly outside the current clip; false without one.
bool outsideClip(float y, float height) {
    const UiState& ui = uiState();
    if (ui.clips.empty())
        return false;
    const Rect& clip = ui.clips.back();
    return y >= clip.y + clip.height || y + height <= clip.y;
}

}  // namespace

bool offClip(float y, float height) { return uiState().drawing && outsideClip(y, height); }

namespace {

// The row the user is working on: one of its fields has the focus or its slider is dragged.
bool rowHoldsInput(const Json& row) {
    const std::string& key = asText(get(row, "key"));
    const SettingsRecords& records = settingsRecords();
    if (!records.activeSlider.empty() && records.activeSlider == key)
        return true;
    const EditBuffer* focused = uiState().focused;
    if (focused == nullptr)
        return false;
    const Json& partner = get(row, "and");
    for (const auto& [name, buffer] : records.buffers) {
        if (&buffer == focused)
            return name == key || (partner.isString() && name == partner.text);
    }
    return false;
}

// A row scrolled out of the view is not drawn, and its card may not be drawn at all; but the
// row the user is working on must keep taking its keys and its drag. It takes them in the
// measuring pass, which every card runs once per frame whether it is seen or not, with the
// drawing flag on: what it draws lies outside the clip and is cut away.
bool takesInputOffScreen(const Json& row, float y, float height) {
    return !uiState().drawing && outsideClip(y, height) && rowHoldsInput(row);
}

}  // namespace

float settingRow(const Json& row, float x, float y, float w, bool first, bool last) {
    UiState& ui = uiState();
    const float top = sc(first ? kFirstRowSpace : kRowSpace);
    const float bottom = last ? 0 : sc(kRowSpace);
    // The editor at the row's right end, the label and its help in what is left; the row's
    // height follows from the label's lines, so only its cells' sides are taken here.
    Row cells = rowAt(x, y + top, w, 0, sc(kLabelGap));
    const Rect editor = cellRight(cells, editorWidth(row));
    const Rect text = rest(cells);
    const float lw = text.width;
    const std::string& label = asText(get(row, "label"));
    const std::string& help = asText(get(row, "help"));
    const std::vector<TextLine> labelLines = wrapLines(kRegular14, label, lw);
    const std::vector<TextLine> helpLines = wrapLines(kRegular12_5, help, lw);
    float th = static_cast<float>(labelLines.size()) * sc(kLabelLine);
    if (!help.empty())
        th += static_cast<float>(helpLines.size()) * sc(kHelpLine) + sc(kHelpTop);
    const float eh = editorHeight(row);
    const float ch = std::max(eh, th);

    const bool drawing = ui.drawing;
    const bool collecting = ui.focus.collecting;
    ui.drawing = (drawing && !offClip(y, ch + top + bottom)) || takesInputOffScreen(row, y, ch + top + bottom);
    // Out of view, its editor still takes its turn in the focus order.
    ui.focus.collecting = collecting || (drawing && !ui.drawing);
    if (!first && ui.drawing)
        drawCalls().rectangle(toRaylib(snap({x, y, w, std::max(1.0f, roundHalfAway(ui.scale))})), kLine);
    if (ui.drawing) {
        float d = text.y + (ch - th) / 2;
        for (const TextLine& line : labelLines) {
            d += sc(kLabelLine);
            drawTextRun(kRegular14, std::string_view(label).substr(line.start, line.length), text.x,
                                d - sc(kLabelLine / 2), kTextPrimary, 0);
        }
        if (!help.empty()) {
            d += sc(kHelpTop);
            for (const TextLine& line : helpLines) {
                d += sc(kHelpLine);
                drawTextRun(kRegular12_5, std::string_view(help).substr(line.start, line.length), text.x,
                                    d - sc(kHelpLine / 2), kTextSecondary, 0);
            }
        }
    }
    {
        const Faded off(!uiState().controlsOff.empty());
        valueEditor(row, editor.x, editor.y + (ch - eh) / 2);
    }
    ui.drawing = drawing;
    ui.focus.collecting = collecting;
    return ch + top + bottom;
}

// ---- filter ----

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool containsFolded(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return false;
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < word.size() && lowerAscii(text[at + i]) == word[i]) ++i;
        if (i == word.size()) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> filterWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ') ++at;
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ') ++end;
        if (end > at) {
            std::string word(text.substr(at, end - at));
            for (char& c : word) c = lowerAscii(c);
            if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(std::move(word));
        }
        at = end;
    }
    return words;
}

bool filterMatches(const std::vector<std::string>& words, std::initializer_list<std::string_view> texts) {
    for (const std::string& word : words) {
        bool found = false;
        for (std::string_view text : texts) found = found || containsFolded(text, word);
        if (!found) return false;
    }
    return true;
}

// ---- page ----

namespace {

using Rows = std::vector<const Json*>;

float rowsContent(const Rows& rows, float x, float y, float w) {
    Column content = column(x, y, w);
    for (std::size_t i = 0; i < rows.size(); ++i)
        skip(content, settingRow(*rows[i], content.x, content.y, content.width, i == 0, i + 1 == rows.size()));
    return used(content);
}

bool shown(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// An untitled card of one text: the empty list's, the filter's that nothing matched.
float messageCard(float x, float y, float w, const char* text) {
    const float h = card(x, y, w, "", [text](float cx, float cy, float cw) {
        // 1: an untitled card's text a little nearer its top
        return drawTextBlock(kRegular14, text, cx, cy - sc(1), cw, sc(kLine14), kTextPrimary, false);
    });
    return h + sc(kCardGap);
}

// The intro on the left, the filter field at the right end of the same row. Ctrl+F brings the
// field the keys, with its text selected, and the page scrolls to it.
float introAndFilter(float x, float y, float w) {
    UiState& ui = uiState();
    EditBuffer& filter = settingsRecords().filter;
    if (ui.drawing && pressedWith(ui.input, KEY_F, kModControl)) {
        if (ui.focused != nullptr && ui.focused != &filter) ui.focused->lostFocus = true;  // as a click elsewhere: commits
        ui.focused = &filter;
        filter.anchor = 0;
        filter.caret = filter.text.size();
        ui.focus.moved = true;
    }
    Row row = rowAt(x, y, w, 0, sc(kColumnGap));
    const Rect field = cellRight(row, sc(kFilterWidth));
    const Rect text = rest(row);
    const float th = static_cast<float>(wrapLines(kRegular12_5, kIntroText, text.width).size()) * sc(kLine12_5);
    const float h = std::max(th, sc(kControlHeight));
    drawTextBlock(kRegular12_5, kIntroText, text.x, y + (h - th) / 2, text.width, sc(kLine12_5), kTextSecondary, false);
    const FocusScope scope("Filter");
    // Enter or a click elsewhere commits nothing: the filter applies as it is typed, and it
    // is the window's own, so it works while the launcher is away.
    const LocalControls local;
    textField(filter, {field.x, y + (h - sc(kControlHeight)) / 2, field.width, sc(kControlHeight)}, "Filter settings",
              sc(kFieldInset), kFilterMaxChars, false);
    return h;
}

}  // namespace

float settingsPage(const PageArea& area) {
    const float x = area.x;
    const float y = area.y;
    const float w = area.width;
    const WindowState& window = windowState();
    UiState& ui = uiState();
    EditBuffer& filterField = settingsRecords().filter;
    if (window.settings.empty()) {
        if (ui.focused == &filterField) ui.focused = nullptr;  // not drawn: it must not take the keys
        return messageCard(x, y, w, kEmptyText);
    }

    // The rows follow the filter as it was before this frame's typing: a field that Ctrl+F has
    // just left is still drawn, and commits, in this frame. What was typed shows in the next.
    const std::string typedBefore = filterField.text;
    const std::vector<std::string> words = filterWords(typedBefore);
    const Json& table = get(window.state, "table");
    Column page = column(x, y, w);
    skip(page, introAndFilter(x, y, w));
    if (filterField.text != typedBefore) ui.frameAgain = true;
    skip(page, sc(kCardGap));
    const float top = page.y;
    std::vector<std::string> shownKeys;
    bool matched = false;

    const bool single = sc(kOneColumnMaxWidth) >= static_cast<float>(inputCalls().screenWidth());
    const float cw = single ? w : (w - sc(kCardGap)) / 2;
    // Side by side, each column of cards is a cell of one row; in one column they follow each other.
    Row side = rowAt(x, top, w, 0, sc(kCardGap));
    Column cards = column(x, top, cw);
    const auto& columns = get(table, "columns").items;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!single)
            cards = column(cell(side, cw).x, top, cw);
        for (const Json& section : columns[i].items) {
            Rows rows;
            for (const Json& row : get(section, "rows").items) {
                if (!rowVisible(row))
                    continue;
                // A row the filter hides is still shown here, not under "Other".
                const std::string& key = asText(get(row, "key"));
                const std::string& partner = asText(get(row, "and"));
                shownKeys.push_back(key);
                shownKeys.push_back(partner);
                if (filterMatches(words, {asText(get(row, "label")), key, partner}))
                    rows.push_back(&row);
            }
            if (rows.empty())
                continue;
            matched = true;
            skip(cards, card(cards.x, cards.y, cards.width, asText(get(section, "title")),
                             [&rows](float rx, float ry, float rw) { return rowsContent(rows, rx, ry, rw); }) +
                            sc(kCardGap));
        }
        page.y = std::max(page.y, cards.y);
    }

    Rows buttons;
    for (const Json& button : get(table, "buttons").items) {
        std::string key = "key_" + asText(at(button, 0));
        if (settingValue(key) == nullptr)
            continue;
        if (filterMatches(words, {asText(at(button, 1)), key}))
            buttons.push_back(&button);
        shownKeys.push_back(std::move(key));
    }
    if (!buttons.empty()) {
        matched = true;
        skip(page, card(page.x, page.y, page.width, "Keyboard and mouse",
                        [&buttons](float bx, float by, float bw) { return keyBindingsCard(buttons, bx, by, bw); }) +
                       sc(kCardGap));
    }

    // Every setting nothing above shows, as a text row labelled with its own key.
    std::vector<Json> others;
    for (const SettingValue& setting : window.settings) {
        if (shown(shownKeys, setting.key) || !filterMatches(words, {setting.key}))
            continue;
        others.push_back(parseJson("{\"key\": " + quoteJson(setting.key) + ", \"label\": " + quoteJson(setting.key) +
                                   ", \"text\": true}"));
    }
    if (!others.empty()) {
        matched = true;
        Rows rows;
        for (const Json& row : others)
            rows.push_back(&row);
        skip(page, card(page.x, page.y, page.width, "Other",
                        [&rows](float rx, float ry, float rw) { return rowsContent(rows, rx, ry, rw); }) +
                       sc(kCardGap));
    }
    if (!matched && !words.empty())
        skip(page, messageCard(page.x, page.y, page.width, kNoMatchText));
    return used(page);
}

}  // namespace vlr
