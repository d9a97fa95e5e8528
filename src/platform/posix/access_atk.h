/*******************************************************************************************
*  access_atk.h — the ATK objects over the last published tree (Linux bridge, internal)
*
*  access_posix.cpp opens the bridge and serves its main context; the objects here answer
*  the bridge from the tree the frame last published and raise the events that the
*  difference between two trees calls for. Everything here runs on the frame thread.
*******************************************************************************************/
#pragma once

#include "platform/access.h"

namespace vlr::platform::atk {

// Where a reader's request goes (queued for the frame).
using RequestSink = void (*)(AccessRequest request);

// Installs the toolkit's hooks (root, name, version) before the bridge starts; `window` is
// the X11 window whose client area the nodes' rectangles are in.
void installToolkit(unsigned long window, RequestSink sink);
// Keeps the tree and raises the events for what changed since the previous one.
void publishTree(AccessTree tree);
// Forgets every object (they turn defunct for whoever still holds one).
void dropObjects();

}  // namespace vlr::platform::atk
