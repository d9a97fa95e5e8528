/*******************************************************************************************
*  key_names.cpp — the vocabulary of key bindings
*
*  The game reads its bindings as key names separated by spaces; the window writes them.
*  Names travel as texts from the settings file to the screen and back: the window turns an
*  input code into a name, never a name back into a code, and shows any name it is given.
*******************************************************************************************/
#include <string>

#include "settings/settings.h"

namespace vlr {

namespace {

struct KeyNameRow {
    int code;
    const char* name;
};

// Digits, letters and F1-F12 are named by rule in keyName; everything else lives here.
constexpr KeyNameRow kKeyNames[] = {
    {32, "SPACE"},          {39, "APOSTROPHE"},      {44, "COMMA"},          {45, "MINUS"},
    {46, "PERIOD"},         {47, "SLASH"},           {59, "SEMICOLON"},      {61, "EQUAL"},
    {91, "LEFT_BRACKET"},   {92, "BACKSLASH"},       {93, "RIGHT_BRACKET"},  {96, "GRAVE"},
    {256, "ESCAPE"},        {257, "ENTER"},          {258, "TAB"},           {259, "BACKSPACE"},
    {260, "INSERT"},        {261, "DELETE"},         {262, "RIGHT"},         {263, "LEFT"},
    {264, "DOWN"},          {265, "UP"},             {266, "PAGE_UP"},       {267, "PAGE_DOWN"},
    {268, "HOME"},          {269, "END"},            {280, "CAPS_LOCK"},     {281, "SCROLL_LOCK"},
    {282, "NUM_LOCK"},      {283, "PRINT_SCREEN"},   {284, "PAUSE"},         {320, "KP_0"},
    {321, "KP_1"},          {322, "KP_2"},           {323, "KP_3"},          {324, "KP_4"},
    {325, "KP_5"},          {326, "KP_6"},           {327, "KP_7"},          {328, "KP_8"},
    {329, "KP_9"},          {330, "KP_DECIMAL"},     {331, "KP_DIVIDE"},     {332, "KP_MULTIPLY"},
    {333, "KP_SUBTRACT"},   {334, "KP_ADD"},         {335, "KP_ENTER"},      {336, "KP_EQUAL"},
    {340, "LEFT_SHIFT"},    {341, "LEFT_CONTROL"},   {342, "LEFT_ALT"},      {343, "LEFT_SUPER"},
    {344, "RIGHT_SHIFT"},   {345, "RIGHT_CONTROL"},  {346, "RIGHT_ALT"},     {347, "RIGHT_SUPER"},
    {348, "MENU"},          {1000, "MOUSE_LEFT"},    {1001, "MOUSE_RIGHT"},  {1002, "MOUSE_MIDDLE"},
    {1003, "MOUSE_SIDE"},   {1004, "MOUSE_EXTRA"},   {1005, "MOUSE_FORWARD"},{1006, "MOUSE_BACK"},
    {1010, "MOUSE_WHEEL_UP"}, {1011, "MOUSE_WHEEL_DOWN"},
};

constexpr int kKeyF1 = 290;
constexpr int kKeyF12 = 301;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::size_t keyNameTableSize() { return std::size(kKeyNames); }

std::string keyName(int code) {
    if (code == 0)
        return "NONE";
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return std::string(1, static_cast<char>(code));
    // Appended rather than "F" + text: GCC 12 warns falsely about the latter (-Wrestrict).
    std::string name;
    if (code >= kKeyF1 && code <= kKeyF12)
        return name.append("F").append(std::to_string(code - kKeyF1 + 1));
    for (const KeyNameRow& row : kKeyNames) {
        if (row.code == code)
            return row.name;
    }
    return name.append("KEY_").append(std::to_string(code));
}

std::vector<std::string> splitBinding(std::string_view value) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t stop = value.find(' ', start);
        if (stop == std::string_view::npos)
            stop = value.size();
        const std::string_view piece = value.substr(start, stop - start);
        if (!piece.empty() && piece != "NONE")
            names.emplace_back(piece);
        start = stop + 1;
    }
    return names;
}

std::string joinBinding(const std::vector<std::string>& names) {
    std::string value;
    for (const std::string& name : names) {
        if (!value.empty())
            value += ' ';
        value += name;
    }
    return value.empty() ? "NONE" : value;
}

std::string displayName(std::string_view name) {
    std::string spelled;
    if (startsWith(name, "KP_"))
        spelled = "KEYPAD_" + std::string(name.substr(3));
    else if (startsWith(name, "MOUSE_WHEEL_"))
        spelled = "WHEEL_" + std::string(name.substr(12));
    else
        spelled = std::string(name);

    std::string label;
    std::size_t start = 0;
    while (start <= spelled.size()) {
        std::size_t stop = spelled.find('_', start);
        if (stop == std::string::npos)
            stop = spelled.size();
        std::string word = spelled.substr(start, stop - start);
        // Short words are key names of their own ("F1", "L3"); "UP" reads better as a word.
        if (word.size() > 2 || word == "UP") {
            for (std::size_t i = 1; i < word.size(); ++i) {
                if (word[i] >= 'A' && word[i] <= 'Z')
                    word[i] = static_cast<char>(word[i] - 'A' + 'a');
            }
        }
        if (start > 0)
            label += ' ';
        label += word;
        start = stop + 1;
    }
    return label;
}

}  // namespace vlr
