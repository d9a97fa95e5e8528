/*******************************************************************************************
*  owned.h — one owner for the Windows handles the Win32 files open
*******************************************************************************************/
#pragma once

#include <windows.h>

namespace vlr::platform {

// Closes the handle with Close when it goes out of scope. Null and INVALID_HANDLE_VALUE both
// mean "none" (Windows calls answer failure with one or the other) and are kept as null.
template <typename H, auto Close>
struct Owned {
    H value = nullptr;
    explicit Owned(H handle) : value(handle == reinterpret_cast<H>(INVALID_HANDLE_VALUE) ? nullptr : handle) {}
    ~Owned() {
        if (value != nullptr) Close(value);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

using KernelHandle = Owned<HANDLE, CloseHandle>;
using FindHandle = Owned<HANDLE, FindClose>;

}  // namespace vlr::platform
