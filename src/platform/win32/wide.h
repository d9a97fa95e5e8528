/*******************************************************************************************
*  wide.h — UTF-8 to the UTF-16 that Windows calls take, shared by the Win32 files
*******************************************************************************************/
#pragma once

#include <string>

namespace vlr::platform {

// Empty for an empty or unconvertible text.
std::wstring widen(const std::string& text);

}  // namespace vlr::platform
