/*******************************************************************************************
*  access_atk_values.cpp — what a slider's value and a text's characters are to a reader
*
*  AtkValue for sliders (the number with its bounds and step, and the number as drawn) and
*  AtkText for what reads as text (a field's or select box's value, a heading's or a
*  notice's words); a field's AtkEditableText hands a reader's text to the frame whole, to be
*  committed as the user's Enter would. Offsets count characters of valid UTF-8.
*
*  Sections: value · text
*******************************************************************************************/
#include "platform/posix/access_atk_nodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vlr::platform::atk {

// ---- value ----

static double numberOf(AtkValue* value, double AccessNode::*field) {
    const AccessNode* node = nodeAt(ATK_OBJECT(value));
    return node != nullptr ? node->*field : 0;
}

static void setDouble(GValue* value, double number) {
    if (G_IS_VALUE(value)) g_value_unset(value);
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, number);
}

static void valueCurrent(AtkValue* value, GValue* out) { setDouble(out, numberOf(value, &AccessNode::number)); }
static void valueMinimum(AtkValue* value, GValue* out) { setDouble(out, numberOf(value, &AccessNode::minimum)); }
static void valueMaximum(AtkValue* value, GValue* out) { setDouble(out, numberOf(value, &AccessNode::maximum)); }
static void valueStep(AtkValue* value, GValue* out) { setDouble(out, numberOf(value, &AccessNode::step)); }

static void valueAndText(AtkValue* value, gdouble* number, gchar** text) {
    const AccessNode* node = nodeAt(ATK_OBJECT(value));
    if (number != nullptr) *number = node != nullptr ? node->number : 0;
    if (text != nullptr) *text = g_strdup(node != nullptr ? validText(node->value).c_str() : "");
}

static AtkRange* valueRange(AtkValue* value) {
    return atk_range_new(numberOf(value, &AccessNode::minimum), numberOf(value, &AccessNode::maximum), nullptr);
}

static gdouble valueIncrement(AtkValue* value) {
    return numberOf(value, &AccessNode::step);
}

static void valueSet(AtkValue* value, gdouble number) {
    if (std::isfinite(number)) request(ATK_OBJECT(value), kAccessSetValue, {}, number);
}

static gboolean valueSetCurrent(AtkValue* value, const GValue* in) {
    GValue number = G_VALUE_INIT;
    g_value_init(&number, G_TYPE_DOUBLE);
    bool done = G_IS_VALUE(in) && g_value_transform(in, &number);
    if (done) valueSet(value, g_value_get_double(&number));
    g_value_unset(&number);
    return done ? TRUE : FALSE;
}

void valueInterfaceInit(gpointer iface, gpointer) {
    auto* value = static_cast<AtkValueIface*>(iface);
    value->get_current_value = valueCurrent;
    value->get_minimum_value = valueMinimum;
    value->get_maximum_value = valueMaximum;
    value->get_minimum_increment = valueStep;
    value->set_current_value = valueSetCurrent;
    value->get_value_and_text = valueAndText;
    value->get_range = valueRange;
    value->get_increment = valueIncrement;
    value->set_value = valueSet;
}

// ---- text ----

static std::string textAt(AtkText* text) {
    const AccessNode* node = nodeAt(ATK_OBJECT(text));
    return node != nullptr ? validText(textOf(*node)) : std::string();
}

static glong characterCount(const std::string& text) {
    return g_utf8_strlen(text.c_str(), static_cast<gssize>(text.size()));
}

// Characters [start, end) of valid UTF-8; end -1 (or past the end) means to the end.
static gchar* slice(const std::string& text, gint start, gint end) {
    glong count = characterCount(text);
    glong from = std::clamp<glong>(start, 0, count);
    glong to = end < 0 ? count : std::clamp<glong>(end, from, count);
    const gchar* a = g_utf8_offset_to_pointer(text.c_str(), from);
    const gchar* b = g_utf8_offset_to_pointer(text.c_str(), to);
    return g_strndup(a, static_cast<gsize>(b - a));
}

static gchar* textGet(AtkText* text, gint start, gint end) {
    return slice(textAt(text), start, end);
}

static gint textCount(AtkText* text) {
    return static_cast<gint>(characterCount(textAt(text)));
}

static gunichar textCharacter(AtkText* text, gint offset) {
    std::string s = textAt(text);
    if (offset < 0 || offset >= characterCount(s)) return 0;
    return g_utf8_get_char(g_utf8_offset_to_pointer(s.c_str(), offset));
}

// The caret is not drawn into the tree: readers get the end of the text, where typing lands.
static gint textCaret(AtkText* text) {
    return textCount(text);
}

// One character, or the whole line (every text here is one line).
static gchar* textPiece(AtkText* text, gint offset, bool character, gint* start, gint* end) {
    std::string s = textAt(text);
    gint count = static_cast<gint>(characterCount(s));
    gint from = character ? std::clamp(offset, 0, count) : 0;
    gint to = character ? std::min(from + 1, count) : count;
    *start = from;
    *end = to;
    return slice(s, from, to);
}

static gchar* textString(AtkText* text, gint offset, AtkTextGranularity granularity, gint* start, gint* end) {
    return textPiece(text, offset, granularity == ATK_TEXT_GRANULARITY_CHAR, start, end);
}

static gchar* textAtOffset(AtkText* text, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
    return textPiece(text, offset, boundary == ATK_TEXT_BOUNDARY_CHAR, start, end);
}

static gint textSelections(AtkText*) {
    return 0;
}

void textInterfaceInit(gpointer iface, gpointer) {
    auto* text = static_cast<AtkTextIface*>(iface);
    text->get_text = textGet;
    text->get_character_count = textCount;
    text->get_character_at_offset = textCharacter;
    text->get_caret_offset = textCaret;
    text->get_string_at_offset = textString;
    text->get_text_at_offset = textAtOffset;
    text->get_n_selections = textSelections;
}

// A field takes a reader's text as a whole, committed as the user's Enter would.
static void editSetText(AtkEditableText* text, const gchar* contents) {
    request(ATK_OBJECT(text), kAccessSetValue, contents != nullptr ? contents : "");
}

static void editInsert(AtkEditableText* text, const gchar* piece, gint length, gint* position) {
    if (piece == nullptr || position == nullptr) return;
    std::string s = textAt(ATK_TEXT(text));
    std::string add = validText(length < 0 ? std::string(piece) : std::string(piece, strnlen(piece, length)));
    gchar* head = slice(s, 0, *position);
    gchar* tail = slice(s, *position, -1);
    request(ATK_OBJECT(text), kAccessSetValue, std::string(head) + add + tail);
    *position = static_cast<gint>(characterCount(head) + characterCount(add));
    g_free(head);
    g_free(tail);
}

static void editDelete(AtkEditableText* text, gint start, gint end) {
    std::string s = textAt(ATK_TEXT(text));
    gchar* head = slice(s, 0, start);
    gchar* tail = slice(s, std::max(start, end), -1);
    request(ATK_OBJECT(text), kAccessSetValue, std::string(head) + tail);
    g_free(head);
    g_free(tail);
}

void editableTextInterfaceInit(gpointer iface, gpointer) {
    auto* edit = static_cast<AtkEditableTextIface*>(iface);
    edit->set_text_contents = editSetText;
    edit->insert_text = editInsert;
    edit->delete_text = editDelete;
}

}  // namespace vlr::platform::atk
