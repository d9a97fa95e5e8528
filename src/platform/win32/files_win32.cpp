/*******************************************************************************************
*  files_win32.cpp — whole-file replacement and flushing folders to the disk on Windows
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <string>
#include <windows.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::wstring target = widen(path);
    const std::wstring temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    // Flushed before the rename: otherwise a power cut could leave the new name on empty blocks.
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
