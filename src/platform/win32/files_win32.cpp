/*******************************************************************************************
*  files_win32.cpp — whole-file replacement on Windows
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <string>
#include <windows.h>

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

}  // namespace vlr::platform
