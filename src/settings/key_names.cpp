/*******************************************************************************************
*  key_names.cpp — the vocabulary of key bindings
*
*  The game reads its bindings as key names separated by spaces; the window writes them.
*  Names travel as texts from the settings file to the screen and back: the window turns an
*  input code into a name, never a name back into a code, and shows any name it is given.
*******************************************************************************************/
#include <string>

#include "raylib.h"
#include "settings/settings.h"

namespace vlr {

namespace {

struct KeyNameRow {
    int code;
    const char* name;
};

// Digits, letters and F1-F12 are named by rule in keyName; everything else lives here. The
// stored names are raylib's without "KEY_" (its KEY_KB_MENU is "MENU").
constexpr KeyNameRow kKeyNames[] = {
    {KEY_SPACE, "SPACE"},
    {KEY_APOSTROPHE, "APOSTROPHE"},
    {KEY_COMMA, "COMMA"},
    {KEY_MINUS, "MINUS"},
    {KEY_PERIOD, "PERIOD"},
    {KEY_SLASH, "SLASH"},
    {KEY_SEMICOLON, "SEMICOLON"},
    {KEY_EQUAL, "EQUAL"},
    {KEY_LEFT_BRACKET, "LEFT_BRACKET"},
    {KEY_BACKSLASH, "BACKSLASH"},
    {KEY_RIGHT_BRACKET, "RIGHT_BRACKET"},
    {KEY_GRAVE, "GRAVE"},
    {KEY_ESCAPE, "ESCAPE"},
    {KEY_ENTER, "ENTER"},
    {KEY_TAB, "TAB"},
    {KEY_BACKSPACE, "BACKSPACE"},
    {KEY_INSERT, "INSERT"},
    {KEY_DELETE, "DELETE"},
    {KEY_RIGHT, "RIGHT"},
    {KEY_LEFT, "LEFT"},
    {KEY_DOWN, "DOWN"},
    {KEY_UP, "UP"},
    {KEY_PAGE_UP, "PAGE_UP"},
    {KEY_PAGE_DOWN, "PAGE_DOWN"},
    {KEY_HOME, "HOME"},
    {KEY_END, "END"},
    {KEY_CAPS_LOCK, "CAPS_LOCK"},
    {KEY_SCROLL_LOCK, "SCROLL_LOCK"},
    {KEY_NUM_LOCK, "NUM_LOCK"},
    {KEY_PRINT_SCREEN, "PRINT_SCREEN"},
    {KEY_PAUSE, "PAUSE"},
    {KEY_KP_0, "KP_0"},
    {KEY_KP_1, "KP_1"},
    {KEY_KP_2, "KP_2"},
    {KEY_KP_3, "KP_3"},
    {KEY_KP_4, "KP_4"},
    {KEY_KP_5, "KP_5"},
    {KEY_KP_6, "KP_6"},
    {KEY_KP_7, "KP_7"},
    {KEY_KP_8, "KP_8"},
    {KEY_KP_9, "KP_9"},
    {KEY_KP_DECIMAL, "KP_DECIMAL"},
    {KEY_KP_DIVIDE, "KP_DIVIDE"},
    {KEY_KP_MULTIPLY, "KP_MULTIPLY"},
    {KEY_KP_SUBTRACT, "KP_SUBTRACT"},
    {KEY_KP_ADD, "KP_ADD"},
    {KEY_KP_ENTER, "KP_ENTER"},
    {KEY_KP_EQUAL, "KP_EQUAL"},
    {KEY_LEFT_SHIFT, "LEFT_SHIFT"},
    {KEY_LEFT_CONTROL, "LEFT_CONTROL"},
    {KEY_LEFT_ALT, "LEFT_ALT"},
    {KEY_LEFT_SUPER, "LEFT_SUPER"},
    {KEY_RIGHT_SHIFT, "RIGHT_SHIFT"},
    {KEY_RIGHT_CONTROL, "RIGHT_CONTROL"},
    {KEY_RIGHT_ALT, "RIGHT_ALT"},
    {KEY_RIGHT_SUPER, "RIGHT_SUPER"},
    {KEY_KB_MENU, "MENU"},
    {kMouseButtonCode + MOUSE_BUTTON_LEFT, "MOUSE_LEFT"},
    {kMouseButtonCode + MOUSE_BUTTON_RIGHT, "MOUSE_RIGHT"},
    {kMouseButtonCode + MOUSE_BUTTON_MIDDLE, "MOUSE_MIDDLE"},
    {kMouseButtonCode + MOUSE_BUTTON_SIDE, "MOUSE_SIDE"},
    {kMouseButtonCode + MOUSE_BUTTON_EXTRA, "MOUSE_EXTRA"},
    {kMouseButtonCode + MOUSE_BUTTON_FORWARD, "MOUSE_FORWARD"},
    {kMouseButtonCode + MOUSE_BUTTON_BACK, "MOUSE_BACK"},
    {kWheelUpCode, "MOUSE_WHEEL_UP"},
    {kWheelDownCode, "MOUSE_WHEEL_DOWN"},
};

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::size_t keyNameTableSize() { return std::size(kKeyNames); }

std::string keyName(int code) {
    if (code == KEY_NULL)
        return "NONE";
    if ((code >= KEY_ZERO && code <= KEY_NINE) || (code >= KEY_A && code <= KEY_Z))
        return std::string(1, static_cast<char>(code));
    // Appended rather than "F" + text: GCC 12 warns falsely about the latter (-Wrestrict).
    std::string name;
    if (code >= KEY_F1 && code <= KEY_F12)
        return name.append("F").append(std::to_string(code - KEY_F1 + 1));
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
