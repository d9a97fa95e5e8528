/*******************************************************************************************
*  fonts_win32.cpp — font files by role on Windows
*
*  The window's faces are the system's own: Segoe UI, Segoe UI Semibold, Consolas and
*  Segoe UI Symbol from the Windows fonts folder. Whether a file is there and usable is for
*  the font loader to find out.
*******************************************************************************************/
#include "platform/platform.h"

namespace vlr::platform {

std::string fontFilePath(int role) {
    static const char* const kFiles[] = {"segoeui.ttf", "seguisb.ttf", "consola.ttf", "seguisym.ttf"};
    if (role < 0 || role > 3) return {};
    std::optional<std::string> windows = getEnv("WINDIR");
    const std::string folder = windows && !windows->empty() ? *windows : std::string("C:\\Windows");
    return folder + "\\Fonts\\" + kFiles[role];
}

}  // namespace vlr::platform

namespace vlr::platform {

// Placeholder until the font-link list is read: no fallback, so such characters draw as '?'.
FontFace fallbackFontFor(int) { return {}; }

}  // namespace vlr::platform
