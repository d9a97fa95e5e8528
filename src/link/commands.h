/*******************************************************************************************
*  commands.h — commands to the launcher
*
*  Pages never block on the launcher: they queue a command and get the answer later, on the
*  frame thread. send queues (browse actions run beside the queue, state requests coalesce),
*  api turns an "error" answer into a 5-second notice, act applies an answer that carries a
*  state document. runCommands posts the queue one command at a time, in order.
*******************************************************************************************/
#pragma once

#include <string>

#include "link/link.h"

namespace vlr {

void send(std::string action, std::string body, Completion completion);
void api(std::string action, std::string body, Completion completion = {});
void act(std::string action, std::string body, Completion completion = {});

// Thread body: posts queued commands one after another. Never returns.
[[noreturn]] void runCommands(Link& link);

// Shows a text in the notice box for five seconds (through WindowCalls).
void showNotice(std::string text);

}  // namespace vlr
