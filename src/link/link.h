/*******************************************************************************************
*  link.h — everything that talks to the launcher process
*
*  Sections:
*    Link           the one record shared by the frame thread and the background threads
*    HTTP           one loopback connection per request; every failure becomes an "error" answer
*    session        window-mode arguments, session name and file, token, port, launcher start
*    events         the event stream thread and its framing
*    hand-over      UI tasks and wake-ups for the frame thread
*
*  The launcher does the real work; this side only starts it, posts commands to it and reads
*  what it publishes. Background threads never touch UI state: they hand callables over.
*******************************************************************************************/
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/json.h"
#include "platform/platform.h"
#include "platform/socket.h"

namespace vlr {

// ---- Link ----

using Completion = std::function<void(const Json&)>;
using UiTask = std::function<void()>;
using SteadyTime = std::chrono::steady_clock::time_point;

struct Command {
    std::string action;      // "state", "play", ...
    std::string body;        // JSON text, sent unchanged
    Completion completion;   // runs on the frame thread with the answer; may be empty
};

struct Link {
    int port = 0;                               // launcher's loopback port; 0 = none
    std::string token;                          // access token sent with every request
    std::mutex lock;                            // guards every field below
    std::condition_variable commandSignal;      // a command was queued
    std::condition_variable wakeSignal;         // the wake deadline moved earlier
    std::condition_variable tasksTaken;         // the frame thread took the UI tasks
    std::deque<Command> commands;               // waiting for runCommands
    std::vector<UiTask> uiTasks;                // work handed to the frame thread
    std::size_t pendingEventBytes = 0;          // event text carried by uiTasks
    SteadyTime wakeDeadline = SteadyTime::max();// when the frame loop must wake; max = none
    bool windowOpen = false;                    // true only while the window exists
    void (*wakeFrame)() = nullptr;              // posts an empty window event (set by the shell)
};

// The process-wide link that pages and state tasks use. Never freed.
Link& theLink();

// Points theLink() at another record (tests drive their own queue); nullptr restores the
// process-wide one.
void setTheLink(Link* link);

// ---- HTTP ----

inline constexpr const char* kNoAnswer = "The launcher does not answer.";
inline constexpr std::uint32_t kProbeTimeoutMs = 5000;
inline constexpr std::uint32_t kCommandTimeoutMs = 120000;

// Answers are tens of kilobytes. A longer one is refused as no answer: reading and parsing it
// costs up to about 58 bytes per byte, and several can be under way at once (the command
// queue, the file dialogs, the event stream), which must stay well under 256 MiB together.
inline constexpr std::size_t kMaxAnswerBytes = 1u << 20;

platform::Socket openSocket(std::uint32_t timeoutMs);

// Called with each received chunk; returning false ends the connection.
using ChunkFn = std::function<bool(const char* data, std::size_t size)>;

// Connects, sends the whole request, feeds every received chunk to onChunk. True when the
// connection was made and the request sent, whatever came back.
bool exchange(int port, std::string_view request, std::uint32_t timeoutMs, const ChunkFn& onChunk);

std::string postRequest(int port, std::string_view token, std::string_view action, std::string_view body);

// The answer's JSON, or {"error": "The launcher does not answer."} for every transport failure.
Json post(const Link& link, std::string_view action, std::string_view body, std::uint32_t timeoutMs);

// True when an answer carries no error text.
bool succeeded(const Json& answer);

// ---- session ----

struct WindowArgs {
    std::string python;   // interpreter
    std::string script;   // tools/launcher.py
};

// Reads "--python" and "--script"; prints the usage line to standard error and gives nothing
// when either is missing.
std::optional<WindowArgs> parseWindowArgs(int argc, const char* const* argv);
std::string usageLine(int argc, const char* const* argv);

std::string sessionName(std::string_view scriptPath);       // "vlr-launcher-window-" + FNV-1a
std::string sessionFilePath(std::string_view sessionName);  // in platform::sessionFolder()

bool readSession(Link& link, const std::string& sessionFile);
int freePort();
std::string makeToken();
std::vector<std::string> launcherArgs(const WindowArgs& args, const Link& link, const std::string& sessionFile);
platform::Process startLauncher(const std::vector<std::string>& args);

// Second instance: asks the running window's launcher to come forward (up to 20 tries).
// True when the launcher answered.
bool handOverToRunningWindow(Link& link, const std::string& sessionFile);

enum class LauncherFound { Reused, Started, Failed };

// First instance: reuses the launcher named in the session file when it answers "state", else
// starts a new one on a free port with a new token. A started launcher's process goes to `process`.
LauncherFound findOrStartLauncher(Link& link, const WindowArgs& args, const std::string& sessionFile,
                                  platform::Process& process);

// ---- events ----

// One event carries a burst of console output, rarely more than a few hundred kilobytes, and
// is held whole up to this size. A longer one is read as it streams: its "lines" go to the
// console in pieces (each a {"lines": [piece]} message), so no output is lost to size and the
// memory it takes is what the console keeps.
inline constexpr std::size_t kMaxEventBytes = 1u << 20;

struct LargeEvent;  // events.cpp: the reader of an event past kMaxEventBytes

// Cuts the stream into events; one per connection. Feeds on-connect and message callbacks.
struct EventStreamParser {
    std::string buffer;
    bool headSeen = false;
    std::function<void()> onConnect;
    std::function<void(Json&&)> onMessage;
    std::size_t messageBytes = 0;  // size of the event text behind the message being delivered
    std::shared_ptr<LargeEvent> large;  // the event being read as it streams, if any

    bool feed(const char* data, std::size_t size);  // the chunk callback; false ends the connection
    void reset() { buffer.clear(); headSeen = false; large.reset(); }
};

std::string eventsRequest(int port, std::string_view token);

// Thread body: keeps the event stream open for the life of the process. Never returns.
[[noreturn]] void runEvents(Link& link);

// ---- hand-over to the frame thread ----

void postUiTask(Link& link, UiTask task);

// Event text the UI tasks may carry before the event thread waits for the frame thread: a
// launcher that writes faster than the window draws is slowed down to its pace instead of
// filling memory with parsed events.
inline constexpr std::size_t kMaxPendingEventBytes = 1u << 20;

// postUiTask for a task carrying an event of `bytes` bytes of text; waits while the tasks not
// yet taken carry kMaxPendingEventBytes or more.
void postEventTask(Link& link, std::size_t bytes, UiTask task);
void requestWake(Link& link, SteadyTime when);

// Moves the pending UI tasks out (frame thread, at the start of a pass).
std::vector<UiTask> takeUiTasks(Link& link);

}  // namespace vlr
