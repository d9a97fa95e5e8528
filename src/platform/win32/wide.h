/*******************************************************************************************
*  wide.h — UTF-8 to the UTF-16 that Windows calls take and back, shared by the Win32 files
*******************************************************************************************/
#pragma once

#include <string>

namespace vlr::platform {

// Empty for an empty or unconvertible text.
std::wstring widen(const std::string& text);

// Back to UTF-8; empty for an empty or unconvertible text.
std::string narrow(const wchar_t* text, std::size_t length);
inline std::string narrow(const std::wstring& text) { return narrow(text.data(), text.size()); }

}  // namespace vlr::platform
