/*******************************************************************************************
*  access_posix.cpp — screen readers on Linux: AT-SPI through ATK and its D-Bus bridge
*
*  The bridge opens only when the desktop says assistive technology is on (org.a11y.Status
*  on the session bus, as desktop toolkits ask) and NO_AT_BRIDGE is not 1; otherwise nothing
*  of it is loaded into the loop and the frame builds no tree, and a thread blocked on the
*  session bus waits for a reader to be turned on, to open the bridge then.
*
*  The bridge talks D-Bus through GLib's default main context. That context is served on the
*  frame thread, which owns it: after each turn it asks the context which descriptors to
*  watch and for how long; a small watcher thread only poll()s those (and a pipe that says
*  the set changed) and, when one is ready or the time is up, asks the window to run the next
*  turn on the frame thread, which wakes it. The watcher then waits for the next set, so a
*  descriptor that stays readable cannot spin it. No ATK call and no window state is touched
*  off the frame thread.
*
*  Sections: is anyone listening · the main context · turned on later · requests · the seam
*******************************************************************************************/
#include "platform/access.h"
#include "platform/posix/access_atk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <atk-bridge.h>
#include <dbus/dbus.h>
#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vlr::platform {

namespace {

// ---- is anyone listening ----

// One boolean property of org.a11y.Status. The bus launcher is not started for the question:
// a desktop where no one turned assistive technology on may not run it at all.
bool statusFlag(DBusConnection* bus, const char* property) {
    DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                     "org.freedesktop.DBus.Properties", "Get");
    if (call == nullptr) return false;
    const char* iface = "org.a11y.Status";
    dbus_message_append_args(call, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID);
    dbus_message_set_auto_start(call, FALSE);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, 1000, &error);
    dbus_message_unref(call);
    dbus_error_free(&error);
    if (reply == nullptr) return false;
    bool on = false;
    DBusMessageIter top, variant;
    if (dbus_message_iter_init(reply, &top) && dbus_message_iter_get_arg_type(&top) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&top, &variant);
        if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BOOLEAN) {
            dbus_bool_t value = FALSE;
            dbus_message_iter_get_basic(&variant, &value);
            on = value != FALSE;
        }
    }
    dbus_message_unref(reply);
    return on;
}

bool statusOn(DBusConnection* bus) {
    return statusFlag(bus, "IsEnabled") || statusFlag(bus, "ScreenReaderEnabled");
}

bool bridgeRefused() {
    const char* off = std::getenv("NO_AT_BRIDGE");
    return off != nullptr && std::strcmp(off, "1") == 0;
}

// A private connection to the session bus, or null. Without an address in the environment
// only the usual per-user socket is tried: libdbus would otherwise start a bus of its own.
DBusConnection* openSessionBus() {
    std::string address;
    if (const char* given = std::getenv("DBUS_SESSION_BUS_ADDRESS"); given != nullptr && *given != '\0') {
        address = given;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        std::string socket = std::string(runtime) + "/bus";
        struct stat info {};
        if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return nullptr;
        address = "unix:path=" + socket;
    } else {
        return nullptr;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_connection_open_private(address.c_str(), &error);
    if (bus != nullptr) {
        dbus_connection_set_exit_on_disconnect(bus, FALSE);
        if (!dbus_bus_register(bus, &error)) {
            dbus_connection_close(bus);
            dbus_connection_unref(bus);
            bus = nullptr;
        }
    }
    dbus_error_free(&error);
    return bus;
}

void closeBus(DBusConnection* bus) {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
}

// ---- the main context ----

struct Loop {
    AccessHost host;
    GMainContext* context = nullptr;
    std::vector<GPollFD> fds;       // the frame thread's, from the last query
    gint priority = 0;
    bool prepared = false;          // a prepare and query wait for their check

    std::thread watcher;
    int wake[2] = {-1, -1};         // tells the watcher the set changed (or to stop)
    std::mutex lock;                // guards the fields below
    std::vector<pollfd> watch;      // what the watcher polls
    int timeout = -1;               // ms, -1: none
    unsigned long long generation = 0;
    bool stopping = false;

    // A window that ends without stopAccess (an exit on a fatal path) must not end in
    // std::terminate for a watcher still joinable.
    ~Loop() {
        if (!watcher.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock);
            stopping = true;
        }
        char byte = 1;
        if (write(wake[1], &byte, 1) >= 0) watcher.join(); else watcher.detach();
    }
};

Loop* theLoop = nullptr;
std::atomic<bool> listening{false};

void serve(Loop& loop);

void pokeWatcher(Loop& loop) {
    char byte = 1;
    while (write(loop.wake[1], &byte, 1) < 0 && errno == EINTR) {}
}

void watch(Loop& loop) {
    unsigned long long served = ~0ull;   // the set last handed to the frame thread
    std::vector<pollfd> set;
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard<std::mutex> hold(loop.lock);
            if (loop.stopping) return;
            set.assign(1, pollfd{loop.wake[0], POLLIN, 0});
            if (loop.generation != served) {
                set.insert(set.end(), loop.watch.begin(), loop.watch.end());
                timeout = loop.timeout;
            }
        }
        int ready = poll(set.data(), set.size(), timeout);
        if (ready < 0 && errno != EINTR) return;
        if (ready < 0) continue;
        if ((set[0].revents & POLLIN) != 0) {
            char drain[64];
            while (read(loop.wake[0], drain, sizeof drain) > 0) {}
            continue;
        }
        if (set.size() == 1) continue;   // waiting for a new set: only the pipe was polled
        {
            std::lock_guard<std::mutex> hold(loop.lock);
            if (loop.stopping) return;
            served = loop.generation;
        }
        // A task queued before stopAccess may run after it: it finds no loop then.
        const auto& post = loop.host.serveOnFrameThread ? loop.host.serveOnFrameThread : loop.host.onFrameThread;
        post([] {
            if (theLoop != nullptr) serve(*theLoop);
        });
    }
}

// Check and dispatch what the last query waits for, run what that made ready, then prepare
// the next turn and hand its descriptors to the watcher.
void serve(Loop& loop) {
    GMainContext* context = loop.context;
    if (loop.prepared) {
        g_poll(loop.fds.data(), static_cast<guint>(loop.fds.size()), 0);
        if (g_main_context_check(context, loop.priority, loop.fds.data(), static_cast<gint>(loop.fds.size())))
            g_main_context_dispatch(context);
        loop.prepared = false;
    }
    for (int turn = 0; turn < 16 && g_main_context_iteration(context, FALSE); ++turn) {}

    g_main_context_prepare(context, &loop.priority);
    gint timeout = -1;
    loop.fds.resize(std::max<std::size_t>(loop.fds.size(), 8));
    gint count;
    while ((count = g_main_context_query(context, loop.priority, &timeout, loop.fds.data(),
                                         static_cast<gint>(loop.fds.size()))) > static_cast<gint>(loop.fds.size()))
        loop.fds.resize(static_cast<std::size_t>(count));
    loop.fds.resize(static_cast<std::size_t>(count));
    loop.prepared = true;
    {
        std::lock_guard<std::mutex> hold(loop.lock);
        loop.watch.clear();
        for (const GPollFD& fd : loop.fds) loop.watch.push_back(pollfd{fd.fd, static_cast<short>(fd.events), 0});
        loop.timeout = timeout;
        ++loop.generation;
    }
    pokeWatcher(loop);
}

// ---- turned on later ----

// While assistive technology is off, a thread waits on the session bus for it to be turned
// on (the status changing, or the accessibility bus starting), then asks the frame thread
// to open the bridge. Blocked in poll() it costs nothing; it touches neither ATK nor the UI.
struct StatusWatch {
    AccessHost host;
    std::thread thread;
    int wake[2] = {-1, -1};      // stops it

    ~StatusWatch() {
        char byte = 1;
        if (thread.joinable() && write(wake[1], &byte, 1) >= 0) thread.join();
        else if (thread.joinable()) thread.detach();
    }
};

StatusWatch statusWatch;

void openAccessLater();

void waitForStatus(DBusConnection* bus, int stop) {
    int fd = -1;
    dbus_connection_get_unix_fd(bus, &fd);
    for (;;) {
        bool changed = false;
        while (DBusMessage* message = dbus_connection_pop_message(bus)) {
            changed = changed || dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_SIGNAL;
            dbus_message_unref(message);
        }
        if (!dbus_connection_get_is_connected(bus)) break;
        if (changed && statusOn(bus)) {
            statusWatch.host.onFrameThread(openAccessLater);
            break;
        }
        pollfd set[2] = {{stop, POLLIN, 0}, {fd, POLLIN, 0}};
        if (poll(set, 2, -1) < 0 && errno != EINTR) break;
        if ((set[0].revents & POLLIN) != 0) break;
        if (set[1].revents != 0) dbus_connection_read_write(bus, 0);
    }
    closeBus(bus);
}

void watchStatus(const AccessHost& host, DBusConnection* bus) {
    dbus_bus_add_match(bus, "type='signal',interface='org.freedesktop.DBus.Properties',"
                            "member='PropertiesChanged',path='/org/a11y/bus'", nullptr);
    dbus_bus_add_match(bus, "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                            "arg0='org.a11y.Bus'", nullptr);
    int fd = -1;
    if (statusWatch.thread.joinable() || !dbus_connection_get_unix_fd(bus, &fd) ||
        pipe2(statusWatch.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        closeBus(bus);
        return;
    }
    statusWatch.host = host;
    statusWatch.thread = std::thread(waitForStatus, bus, statusWatch.wake[0]);
}

void stopWatchingStatus() {
    if (!statusWatch.thread.joinable()) return;
    char byte = 1;
    while (write(statusWatch.wake[1], &byte, 1) < 0 && errno == EINTR) {}
    statusWatch.thread.join();
    close(statusWatch.wake[0]);
    close(statusWatch.wake[1]);
    statusWatch.wake[0] = statusWatch.wake[1] = -1;
}

// ---- requests ----

std::mutex requestLock;
std::vector<AccessRequest> requests;

void queueRequest(AccessRequest request) {
    {
        std::lock_guard<std::mutex> hold(requestLock);
        requests.push_back(std::move(request));
    }
    if (theLoop != nullptr && theLoop->host.onFrameThread) theLoop->host.onFrameThread([] {});
}

}  // namespace

// ---- the seam ----

namespace {

bool openBridge(const AccessHost& host) {
    static Loop loop;
    loop.host = host;
    loop.context = g_main_context_default();
    if (!g_main_context_acquire(loop.context)) return false;
    // GetWindowHandle hands the X11 window's id by address.
    unsigned long window = host.window != nullptr ? *static_cast<const unsigned long*>(host.window) : 0;
    atk::installToolkit(window, queueRequest);
    if (atk_bridge_adaptor_init(nullptr, nullptr) != 0) {
        atk::dropObjects();
        g_main_context_release(loop.context);
        return false;
    }
    if (pipe2(loop.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        atk_bridge_adaptor_cleanup();
        atk::dropObjects();
        g_main_context_release(loop.context);
        return false;
    }
    loop.stopping = false;
    loop.generation = 0;
    theLoop = &loop;
    serve(loop);
    loop.watcher = std::thread(watch, std::ref(loop));
    listening = true;
    return true;
}

// The status watch's task on the frame thread (nothing once the window closed the bridge).
void openAccessLater() {
    if (theLoop == nullptr && statusWatch.thread.joinable()) openBridge(statusWatch.host);
}

}  // namespace

bool startAccess(const AccessHost& host) {
    if (theLoop != nullptr || !host.onFrameThread || bridgeRefused()) return false;
    DBusConnection* bus = openSessionBus();
    if (bus == nullptr) return false;
    if (statusOn(bus)) {
        closeBus(bus);
        return openBridge(host);
    }
    watchStatus(host, bus);
    return false;
}

bool accessListening() {
    return listening.load(std::memory_order_relaxed);
}

void publishAccessTree(AccessTree tree) {
    if (theLoop == nullptr) return;
    atk::publishTree(std::move(tree));
    // The events just raised are queued on the bridge's connection: send them now.
    serve(*theLoop);
}

std::vector<AccessRequest> takeAccessRequests() {
    std::lock_guard<std::mutex> hold(requestLock);
    return std::exchange(requests, {});
}

void stopAccess() {
    stopWatchingStatus();
    if (theLoop == nullptr) return;
    Loop& loop = *theLoop;
    listening = false;
    {
        std::lock_guard<std::mutex> hold(loop.lock);
        loop.stopping = true;
    }
    pokeWatcher(loop);
    loop.watcher.join();
    theLoop = nullptr;
    atk_bridge_adaptor_cleanup();
    atk::dropObjects();
    g_main_context_release(loop.context);
    close(loop.wake[0]);
    close(loop.wake[1]);
    loop.wake[0] = loop.wake[1] = -1;
    loop.fds.clear();
    loop.prepared = false;
    std::lock_guard<std::mutex> hold(requestLock);
    requests.clear();
}

}  // namespace vlr::platform
