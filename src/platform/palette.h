/*******************************************************************************************
*  palette.h — the colours the launcher window shares with the platform's own windows
*
*  The progress window, the error window and the title bar are drawn by platform code, which
*  sits below the toolkit and cannot include its palette; so the shared colours are plain
*  RGB here and the toolkit's palette (ui/layout.h) is built from them. The window tests read
*  this file too: keep each value on one line as  inline constexpr Rgb kName{r, g, b};
*******************************************************************************************/
#pragma once

namespace vlr {

struct Rgb {
    unsigned char r, g, b;
};

inline constexpr Rgb kRgbWindowBg{10, 10, 11};
inline constexpr Rgb kRgbTextPrimary{236, 236, 238};
inline constexpr Rgb kRgbTextSecondary{138, 138, 147};
inline constexpr Rgb kRgbAccent{229, 32, 46};

}  // namespace vlr
