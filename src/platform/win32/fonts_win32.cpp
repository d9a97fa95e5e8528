/*******************************************************************************************
*  fonts_win32.cpp — font files by role, and fallback fonts, on Windows
*
*  The window's faces are the system's own: Segoe UI, Segoe UI Semibold, Consolas and
*  Segoe UI Symbol from the Windows fonts folder. Whether a file is there and usable is for
*  the font loader to find out.
*
*  For characters the faces lack we follow Windows' own font linking: the faces listed behind
*  "Segoe UI" in the SystemLink key, in their order, then Segoe UI Symbol. What each face
*  covers is asked of GDI once per process; a face GDI does not know by that name (it would
*  silently hand us another) or whose file is not there is left out.
*
*  Sections: fonts folder · the link list · coverage · lookups
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

namespace {

// ---- fonts folder ----

std::string fontsFolder() {
    std::optional<std::string> windows = getEnv("WINDIR");
    const std::string folder = windows && !windows->empty() ? *windows : std::string("C:\\Windows");
    return folder + "\\Fonts\\";
}

// ---- the link list ----

struct LinkEntry {
    std::wstring path;
    std::wstring face;
};

std::wstring trimmed(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    const std::size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

// "MSYH.TTC,Microsoft YaHei UI,128,96": file, face, then scaling numbers we have no use for.
// An entry without a face cannot be asked of GDI by name, so it is skipped.
bool parseLinkEntry(const std::wstring& entry, const std::wstring& folder, LinkEntry& out) {
    const std::size_t comma = entry.find(L',');
    if (comma == std::wstring::npos) return false;
    std::wstring file = trimmed(entry.substr(0, comma));
    const std::size_t faceEnd = entry.find(L',', comma + 1);
    std::wstring face = trimmed(entry.substr(comma + 1, faceEnd == std::wstring::npos ? std::wstring::npos : faceEnd - comma - 1));
    // GDI takes face names of fewer than LF_FACESIZE characters.
    if (file.empty() || face.empty() || face.size() >= LF_FACESIZE) return false;
    const bool hasFolder = file.find_first_of(L"\\/:") != std::wstring::npos;
    out.path = hasFolder ? file : folder + file;
    out.face = std::move(face);
    return true;
}

// The REG_MULTI_SZ value, one string per entry; empty when the key or value is missing.
std::vector<std::wstring> systemLinkOf(const wchar_t* face) {
    static const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
    std::wstring buffer;
    bool read = false;
    for (int attempt = 0; attempt < 4 && !read; ++attempt) {
        DWORD bytes = 0;
        LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, kKey, face, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes);
        if (status != ERROR_SUCCESS || bytes == 0) return {};
        buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegGetValueW(HKEY_LOCAL_MACHINE, kKey, face, RRF_RT_REG_MULTI_SZ, nullptr, buffer.data(), &got);
        if (status == ERROR_MORE_DATA) continue;  // grew between the two calls
        if (status != ERROR_SUCCESS) return {};
        buffer.resize(std::min<std::size_t>(buffer.size(), got / sizeof(wchar_t)));
        read = true;
    }
    if (!read) return {};
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    while (start < buffer.size()) {
        std::size_t end = buffer.find(L'\0', start);
        if (end == std::wstring::npos) end = buffer.size();
        if (end > start) entries.push_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

bool sameFace(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::vector<LinkEntry> linkList() {
    const std::wstring folder = widen(fontsFolder());
    std::vector<LinkEntry> list;
    auto add = [&](const std::wstring& text) {
        LinkEntry entry;
        if (!parseLinkEntry(text, folder, entry)) return;
        // A face may be linked twice (with and without scaling numbers); the first one counts.
        for (const LinkEntry& known : list) {
            if (sameFace(known.face, entry.face)) return;
        }
        list.push_back(std::move(entry));
    };
    for (const std::wstring& text : systemLinkOf(L"Segoe UI")) add(text);
    add(L"seguisym.ttf,Segoe UI Symbol");
    return list;
}

// ---- coverage ----

using Range = std::pair<std::uint32_t, std::uint32_t>;  // first and last code point

struct Linked {
    FontFace face;
    std::vector<Range> ranges;  // sorted and merged
};

using DeviceContext = Owned<HDC, DeleteDC>;
using GdiFont = Owned<HFONT, DeleteObject>;

// What GDI says the face covers; empty when GDI does not know the face by this name.
std::vector<Range> coverageOf(HDC dc, const std::wstring& face) {
    GdiFont font(CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    if (font.value == nullptr) return {};
    HGDIOBJ previous = SelectObject(dc, font.value);
    if (previous == nullptr || previous == HGDI_ERROR) return {};
    std::vector<Range> ranges;
    wchar_t chosen[LF_FACESIZE] = {};
    const int length = GetTextFaceW(dc, LF_FACESIZE, chosen);
    const DWORD bytes = length > 0 && sameFace(std::wstring(chosen), face) ? GetFontUnicodeRanges(dc, nullptr) : 0;
    if (bytes >= sizeof(GLYPHSET)) {
        // GLYPHSET ends in a one-element array of ranges; the size GDI asks for holds them all.
        std::vector<std::uint64_t> storage((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
        auto* set = reinterpret_cast<GLYPHSET*>(storage.data());
        if (GetFontUnicodeRanges(dc, set) == bytes) {
            const std::size_t room = (bytes - offsetof(GLYPHSET, ranges)) / sizeof(WCRANGE);
            const std::size_t count = std::min<std::size_t>(set->cRanges, room);
            for (std::size_t i = 0; i < count; ++i) {
                const WCRANGE& range = set->ranges[i];
                if (range.cGlyphs == 0) continue;
                const std::uint32_t first = range.wcLow;
                ranges.emplace_back(first, first + range.cGlyphs - 1u);
            }
            // GDI's order and separation are not promised; merged, one look-up is one search.
            std::sort(ranges.begin(), ranges.end());
            std::vector<Range> merged;
            for (const Range& range : ranges) {
                if (!merged.empty() && range.first <= merged.back().second + 1) {
                    merged.back().second = std::max(merged.back().second, range.second);
                } else {
                    merged.push_back(range);
                }
            }
            ranges = std::move(merged);
        }
    }
    SelectObject(dc, previous);
    return ranges;
}

std::vector<Linked> linkedFaces() {
    std::vector<Linked> faces;
    DeviceContext dc(CreateCompatibleDC(nullptr));
    if (dc.value == nullptr) return faces;
    for (LinkEntry& entry : linkList()) {
        Linked linked;
        linked.face.path = narrow(entry.path);
        linked.face.name = narrow(entry.face);
        if (linked.face.path.empty() || linked.face.name.empty()) continue;
        // GDI may know a face from another file than the link names; we can only load that one.
        if (fileExists(linked.face.path) != Exists::Yes) continue;
        linked.ranges = coverageOf(dc.value, entry.face);
        if (!linked.ranges.empty()) faces.push_back(std::move(linked));
    }
    return faces;
}

bool covers(const std::vector<Range>& ranges, std::uint32_t codepoint) {
    auto after = std::upper_bound(ranges.begin(), ranges.end(), codepoint,
                                  [](std::uint32_t value, const Range& range) { return value < range.first; });
    return after != ranges.begin() && codepoint <= std::prev(after)->second;
}

}  // namespace

// ---- lookups ----

std::string fontFilePath(int role) {
    static const char* const kFiles[] = {"segoeui.ttf", "seguisb.ttf", "consola.ttf", "seguisym.ttf"};
    if (role < 0 || role > 3) return {};
    return fontsFolder() + kFiles[role];
}

FontFace fallbackFontFor(int codepoint) {
    static const std::vector<Linked> faces = linkedFaces();
    // GDI reports coverage of the Basic Multilingual Plane only.
    if (codepoint <= 0 || codepoint > 0xFFFF) return {};
    for (const Linked& linked : faces) {
        if (covers(linked.ranges, static_cast<std::uint32_t>(codepoint))) return linked.face;
    }
    return {};
}

}  // namespace vlr::platform
