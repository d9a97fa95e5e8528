/*******************************************************************************************
*  commands.cpp — the command queue to the launcher
*
*  Pages queue commands on the frame thread and get the answer later as a UI task. One
*  background thread posts the queue strictly in order; the file dialogs can stay open for
*  minutes, so they run on threads of their own instead of holding up the queue.
*******************************************************************************************/
#include "link/commands.h"

#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include "link/handover.h"
#include "link/http.h"
#include "link/state.h"

namespace vlr {

namespace {

// The test suite cannot wait two minutes for a launcher that never answers: it shortens the
// wait with VLR_COMMAND_TIMEOUT_MS.
std::uint32_t commandTimeoutMs() {
    static const std::uint32_t timeout = [] {
        const std::optional<std::string> given = platform::getEnv("VLR_COMMAND_TIMEOUT_MS");
        const unsigned long value = given ? std::strtoul(given->c_str(), nullptr, 10) : 0;
        return value > 0 && value <= kCommandTimeoutMs ? static_cast<std::uint32_t>(value) : kCommandTimeoutMs;
    }();
    return timeout;
}

// Hands an answer to the frame thread, where the completion runs.
void complete(Link& link, Completion completion, Json answer) {
    postUiTask(link, [completion = std::move(completion), answer = std::move(answer)] {
        if (completion)
            completion(answer);
    });
}

void sendBesideQueue(Link& link, std::string action, std::string body, Completion completion) {
    try {
        // The completion is copied, not moved: it is still needed if the thread cannot start.
        std::thread([&link, action = std::move(action), body = std::move(body), completion]() mutable {
            Json answer = post(link, action, body, 0);  // a dialog may stay open for any time
            complete(link, std::move(completion), std::move(answer));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: answer at once, so the page shows the failure instead of waiting.
        complete(link, std::move(completion), jsonError(kNoAnswer));
    }
}

}  // namespace

void send(std::string action, std::string body, Completion completion, QueueRule rule) {
    Link& link = theLink();
    if (rule == QueueRule::BesideQueue) {
        sendBesideQueue(link, std::move(action), std::move(body), std::move(completion));
        return;
    }
    std::lock_guard<std::mutex> hold(link.lock);
    if (rule == QueueRule::OneWaiting && !link.commands.empty() && link.commands.back().action == action)
        return;
    link.commands.push_back({std::move(action), std::move(body), std::move(completion)});
    link.commandSignal.notify_one();
}

void api(std::string action, std::string body, Completion completion, QueueRule rule) {
    send(std::move(action), std::move(body), [completion = std::move(completion)](const Json& answer) {
        const std::string& error = asText(get(answer, "error"));
        if (!error.empty()) {
            showNotice(error);
            return;
        }
        if (completion)
            completion(answer);
    }, rule);
}

void act(std::string action, std::string body, Completion completion, QueueRule rule) {
    api(std::move(action), std::move(body), [completion = std::move(completion)](const Json& answer) {
        if (get(answer, "steps").isObject())
            applyState(answer);
        if (completion)
            completion(answer);
    }, rule);
}

void runCommands(Link& link) {
    for (;;) {
        Command command;
        {
            std::unique_lock<std::mutex> hold(link.lock);
            link.commandSignal.wait(hold, [&link] { return !link.commands.empty(); });
            command = std::move(link.commands.front());
            link.commands.pop_front();
        }
        Json answer = post(link, command.action, command.body, commandTimeoutMs());
        complete(link, std::move(command.completion), std::move(answer));
    }
}

void showNotice(std::string text) {
    if (windowCalls().notice)
        windowCalls().notice(std::move(text));
}

}  // namespace vlr
