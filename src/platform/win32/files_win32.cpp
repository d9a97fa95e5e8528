/*******************************************************************************************
*  files_win32.cpp — small files of our own in a folder others can write to, and flushing
*  folders to the disk, on Windows
*
*  The portable folder is the user's (a Downloads folder, say), so what stands there under
*  our file names may be a link or a junction that someone else put there. Reading opens
*  only a plain file on a disk, never through a reparse point; replacing writes a newly
*  created file with an unguessable name, then moves it over the old one.
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <string>

#include <windows.h>
#include <bcrypt.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

namespace {

// Sixteen hexadecimal digits from the system's random source; empty when it gives none.
std::wstring randomSuffix() {
    unsigned char bytes[8];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

}  // namespace

bool readSmallFile(const std::string& path, std::size_t limit, std::string& out) {
    out.clear();
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which the attribute check then refuses.
    KernelHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (file.value == nullptr || GetFileType(file.value) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.value, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    // One byte past the limit tells a file that is too large, whatever its size claimed.
    std::string text(limit + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - got, 1u << 30));
        if (!ReadFile(file.value, text.data() + got, want, &n, nullptr)) return false;
        if (n == 0) break;
        got += n;
    }
    if (got > limit) return false;
    text.resize(got);
    out = std::move(text);
    return true;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::wstring target = widen(path);
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    // CREATE_NEW refuses whatever already has the name, a planted link included.
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 4; ++attempt) {
        const std::wstring suffix = randomSuffix();
        if (suffix.empty()) return false;
        temp = target + L".tmp-" + suffix;
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    // Flushed before the move: otherwise a power cut could leave the new name on empty blocks.
    // The move writes through, which is as far as Windows lets a program flush a folder.
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

namespace {

// FlushFileBuffers wants a handle with write access. A file that refuses it (read-only, or
// held by a virus scanner that shares no writing) is skipped: opening it is all we could do.
bool flushFiles(const std::wstring& folder) {
    bool ok = true;
    WIN32_FIND_DATAW entry{};
    FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    if (find.value == nullptr) return true;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // never followed
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = flushFiles(path) && ok;
            continue;
        }
        KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.value != nullptr) ok = FlushFileBuffers(file.value) && ok;
    } while (FindNextFileW(find.value, &entry));
    return ok;
}

}  // namespace

bool flushTree(const std::string& path) { return flushFiles(widen(path)); }

// Windows has no documented flush for a folder's entries; NTFS journals them, so a rename is
// either there after a power cut or not, never half.
bool flushFolder(const std::string&) { return true; }

}  // namespace vlr::platform
