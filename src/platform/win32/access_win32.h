/*******************************************************************************************
*  access_win32.h — the window's UI Automation root, as a reader's first question gets it
*
*  For the tests, which call the providers directly: Wine's own UI Automation client does not
*  reach every part of them.
*******************************************************************************************/
#pragma once

#include "platform/win32/uia_api.h"

namespace vlr::platform {

// The root of the window that startAccess opened the bridge on, after loading UI Automation
// as WM_GETOBJECT would; empty when no bridge is open or the system has no UI Automation.
uia::ComRef<IRawElementProviderFragmentRoot> accessRootForTests();

}  // namespace vlr::platform
