/*******************************************************************************************
*  access_win32.cpp — screen readers: not yet bridged on this system
*
*  The window answers no reader here: the bridge reports no client, so the frame builds no
*  tree and the calls below cost nothing.
*******************************************************************************************/
#include "platform/access.h"

namespace vlr::platform {

bool startAccess(const AccessHost&) { return false; }
bool accessListening() { return false; }
void publishAccessTree(AccessTree) {}
std::vector<AccessRequest> takeAccessRequests() { return {}; }
void stopAccess() {}

}  // namespace vlr::platform
