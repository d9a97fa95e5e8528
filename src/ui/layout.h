/*******************************************************************************************
*  layout.h — the palette and the layout lengths of the launcher window
*
*  One place for the colours and the lengths that recur: the code draws with them and the
*  window tests (tests/gui/vlr_gui.py) read this file to know where to look and what to
*  expect. Keep every value on one line in one of the forms
*      inline constexpr Color kName{r, g, b, a};
*      inline constexpr Color kName = kOther;
*      inline constexpr Color kName = fromRgb(kRgbName, a);   (kRgbName from platform/palette.h)
*      inline constexpr float kName = 12;        (or int)
*  so that the tests' reader understands it; it fails on any other.
*******************************************************************************************/
#pragma once

#include "platform/palette.h"
#include "raylib.h"

namespace vlr {

// ---- palette ----
// The colours the progress and error windows show too come from platform/palette.h.
constexpr Color fromRgb(Rgb c, unsigned char alpha) { return Color{c.r, c.g, c.b, alpha}; }

inline constexpr Color kWindowBg = fromRgb(kRgbWindowBg, 255);   // window background, field fill, code chip
inline constexpr Color kCardFill{17, 17, 19, 255};
inline constexpr Color kPanelFill{24, 24, 27, 255};
inline constexpr Color kLine{35, 35, 39, 255};          // lines and outlines
inline constexpr Color kTextPrimary = fromRgb(kRgbTextPrimary, 255);
inline constexpr Color kTextSecondary = fromRgb(kRgbTextSecondary, 255);
inline constexpr Color kAccent = fromRgb(kRgbAccent, 255);
inline constexpr Color kAccentHover{240, 48, 61, 255};
inline constexpr Color kButtonHover{32, 32, 36, 255};
inline constexpr Color kButtonHoverLine{48, 48, 54, 255};
inline constexpr Color kRowHover{42, 42, 48, 255};
inline constexpr Color kDoneMarker{58, 58, 65, 255};
inline constexpr Color kLogBg{7, 7, 8, 255};
inline constexpr Color kLogText{201, 201, 207, 255};
inline constexpr Color kPlaceholder{85, 85, 93, 255};
inline constexpr Color kPlayDisabled{93, 93, 102, 255};
inline constexpr Color kWhite{255, 255, 255, 255};
inline constexpr Color kTransparent{0, 0, 0, 0};        // "no outline" / "no fill"
inline constexpr Color kAccentGlow = fromRgb(kRgbAccent, 35);    // focus halo, key capture fill
inline constexpr Color kAccentSoft = fromRgb(kRgbAccent, 153);   // a chip waiting for a key
inline constexpr Color kStepPending = fromRgb(kRgbAccent, 178);  // ring of an installation step still to do
inline constexpr Color kWarningOutline = fromRgb(kRgbAccent, 114);
inline constexpr Color kSelection = fromRgb(kRgbAccent, 80);     // selected text in a field, selected log lines
inline constexpr Color kFindMatch = fromRgb(kRgbAccent, 70);     // a found text in the log
inline constexpr Color kFindCurrent = fromRgb(kRgbAccent, 150);  // the found text Enter went to
inline constexpr Color kFocusLight = kTextPrimary;      // the focus ring's inner line: 3:1 or more against every fill, the accent's too
inline constexpr Color kThumb = kRowHover;              // scrollbar thumb
inline constexpr Color kThumbLit = kDoneMarker;         // scrollbar thumb hovered or dragged

// ---- window ----
inline constexpr int kBaseWidth = 1280;   // the window's size at scale 1
inline constexpr int kBaseHeight = 720;

// ---- layout lengths (at scale 1; sc() turns them into pixels) ----
inline constexpr float kControlHeight = 39;       // buttons, text fields and select boxes
inline constexpr float kControlGap = 8;           // between controls side by side in a row
inline constexpr float kCardGap = 14;             // between cards, and after a page's last one
inline constexpr float kLine14 = 21;              // line height of text blocks in 14 (one and a half times)
inline constexpr float kLine13 = 19.5f;           // ... in 13
inline constexpr float kLine12_5 = 18.75f;        // ... in 12.5
inline constexpr float kWindowInset = 28;         // header and footer content from the window's sides
inline constexpr float kTabTop = 64;              // the tab row
inline constexpr float kTabHeight = 41;
inline constexpr float kHeaderHeight = 107;       // window top to the page viewport, separator included
inline constexpr float kHeaderLine = 2;           // the separator, the header's last rows
inline constexpr float kFooterHeight = 33;        // its top line included
inline constexpr float kPageMaxWidth = 1180;      // the page column; narrower windows keep kWindowInset
inline constexpr float kPageTopPad = 22;          // viewport top to a page's first card
inline constexpr float kPageBottomPad = 26;       // a page's last card to the viewport bottom
inline constexpr float kOneColumnMaxWidth = 940;  // windows up to this width show pages in one column
inline constexpr float kFilterWidth = 260;        // the Settings page's filter field, at its top row's right end

// ---- style: the toolkit's recurring lengths (at scale 1) ----
inline constexpr float kControlRadius = 8;        // corners of buttons, fields, select boxes and the drop-down list
inline constexpr float kCardRadius = 12;          // corners of cards and of the console's log
inline constexpr float kChipRadius = 7;           // corners of key chips and of a choice's segments
inline constexpr float kFieldInset = 11;          // text from the left edge of a field or a select box
inline constexpr float kButtonInset = 15;         // a button's label from either side
inline constexpr float kCardInset = 19;           // card content from the card's sides
inline constexpr float kCardTitleTop = 17;        // card top to its title line
inline constexpr float kColumnGap = 18;           // between two columns of a page or a card
inline constexpr float kTextGap = 10;             // a control to the text below it
inline constexpr float kBlockGap = 12;            // a block of text to the row after it
inline constexpr float kControlRow = 49;          // a row of controls and the gap below it
inline constexpr float kButtonTextGap = 14;       // a button to a status text beside it
inline constexpr float kHelpGap = 6;              // a text to a help or hint line beside or below it
inline constexpr float kListRowHeight = 30;       // a row of the drop-down list
inline constexpr float kListPad = 4;              // the drop-down list's edge to its rows, and its gap to its box
inline constexpr float kListTextInset = 14;       // an item's text from the list's left edge
inline constexpr float kListRowRadius = 6;
inline constexpr float kSmallRadius = 6;         // corners of small boxes: the footer's compact button, a control's tip
inline constexpr float kCompactPad = 10;          // the text of a compact button or a tip from its sides
inline constexpr float kListMarkRoom = 30;        // an item's text to the list's right edge: the current value's check mark
inline constexpr float kScrollbarWidth = 10;
inline constexpr float kScrollbarMinThumb = 30;
inline constexpr float kScrollStep = 60;          // a wheel notch, a right-stick step
inline constexpr float kTabInset = 14;            // a tab's label and underline from its sides
inline constexpr float kTabLabelY = 18.5f;        // a tab's top to its label's middle
inline constexpr float kFocusRing = 2;            // each of the focus ring's two lines

}  // namespace vlr
