/*******************************************************************************************
*  commands.h — commands to the launcher
*
*  Pages never block on the launcher: they queue a command and get the answer later, on the
*  frame thread. send queues by the command's rule (a file dialog runs beside the queue, a
*  state request waits only once), api turns an "error" answer into a 5-second notice, act applies an answer that carries a
*  state document. runCommands posts the queue one command at a time, in order.
*******************************************************************************************/
#pragma once

#include <string>

#include "link/link.h"

namespace vlr {

// How a command takes its turn; each command of the list (command_list.h) carries one.
enum class QueueRule {
    InTurn,       // waits its turn in the queue
    OneWaiting,   // as InTurn, but dropped while the same action already waits last in the queue
    BesideQueue,  // posted at once on a thread of its own, with no time-out
    AtStartUp,    // posted directly by window mode before the queue runs; never queued
};

void send(std::string action, std::string body, Completion completion, QueueRule rule = QueueRule::InTurn);
void api(std::string action, std::string body, Completion completion = {}, QueueRule rule = QueueRule::InTurn);
void act(std::string action, std::string body, Completion completion = {}, QueueRule rule = QueueRule::InTurn);

// Thread body: posts queued commands one after another. Never returns.
[[noreturn]] void runCommands(Link& link);

// Shows a text in the notice box for five seconds (through WindowCalls).
void showNotice(std::string text);

}  // namespace vlr
