/*******************************************************************************************
*  system_posix.cpp — platform.h for Linux and other POSIX systems
*
*  Program path from /proc/self/exe, the C environment, stat for files, posix_spawn for
*  children (each in a session of its own so it outlives our terminal), flock on a lock file
*  for the one-instance rule, and standard error in place of a message box.
*
*  Sections: program and environment · files · processes · one instance per name · odds and ends
*******************************************************************************************/
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vlr::platform {

// ---- program and environment ----

std::string programPath() {
    // readlink does not say how long the target is: grow the buffer until the answer fits.
    return readGrowing<char>(256, [](char* buffer, std::size_t size) -> long long {
        return readlink("/proc/self/exe", buffer, size);
    });
}

void setEnv(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void removeEnv(const std::string& name) {
    unsetenv(name.c_str());
}

std::optional<std::string> getEnv(const std::string& name) {
    const char* value = getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

static bool isDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string tempFolder() {
    std::string folder;
    const char* fromEnv = getenv("TMPDIR");
    if (fromEnv != nullptr && fromEnv[0] != '\0' && isDirectory(fromEnv)) {
        folder = fromEnv;
    } else if (isDirectory("/tmp")) {
        folder = "/tmp";
    } else {
        return {};
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

PrivateFolder sessionFolder() {
    // The session file tells where the launcher listens and which token it takes; a folder that
    // another user can write would let them point this window at a server of their own, or
    // hold the instance lock. The shared /tmp is such a folder, so we keep our own inside it.
    std::string folder;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        folder = runtime;
    } else {
        const std::string temp = tempFolder();
        if (temp.empty()) return {{}, "There is no temporary folder (/tmp or TMPDIR) for the launcher's session."};
        folder = temp + "velocrash-rebuilt-" + std::to_string(geteuid());
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return {{}, "The folder " + folder + " for the launcher's session cannot be made: " +
                            std::strerror(errno) + "."};
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string fix = " Remove it, or set XDG_RUNTIME_DIR to a folder that only you can use.";
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        return {{}, "The folder " + folder + " for the launcher's session cannot be read: " + std::strerror(errno) + "."};
    if (!S_ISDIR(info.st_mode))
        return {{}, "The folder " + folder + " for the launcher's session is not a folder of its own (a link or a file)." + fix};
    if (info.st_uid != geteuid())
        return {{}, "The folder " + folder + " for the launcher's session belongs to another user." + fix};
    if ((info.st_mode & 077) != 0)
        return {{}, "The folder " + folder + " for the launcher's session is open to other users." + fix};
    return {folder + '/', {}};
}

char pathSeparator() { return '/'; }

// ---- files ----

Exists fileExists(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return Exists::Yes;
    // Only "nothing there" is a firm no; permissions, loops and the like leave it open.
    return (errno == ENOENT || errno == ENOTDIR) ? Exists::No : Exists::Unknown;
}

FileTime lastWriteTime(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return kMinFileTime;
    return static_cast<FileTime>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

bool readFile(const std::string& path, std::string& out) {
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Read to the end rather than trusting the size: the file may still be growing.
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            out.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            close(fd);
            out.clear();
            return false;
        }
    }
    close(fd);
    return true;
}

bool removeFile(const std::string& path) {
    unlink(path.c_str());
    return fileExists(path) == Exists::No;
}

bool removeTree(const std::string& path) {
    if (path.empty()) return false;
    // libstdc++ looks at each entry without following it here: a symbolic link is unlinked,
    // what it points to stays (the platform tests hold it to that).
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(path), error);
    struct stat info {};
    return lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

bool moveFolder(const std::string& from, const std::string& to) {
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0 || errno != ENOENT) return false;
    return rename(from.c_str(), to.c_str()) == 0;
}

// ---- processes ----

void Process::reset() {
    // A pid cannot be closed. Reaping a child that has already ended keeps it from lingering
    // as a zombie; one still running is left alone, as promised.
    if (native_ > 0 && !reaped) {
        int status = 0;
        waitpid(static_cast<pid_t>(native_), &status, WNOHANG);
    }
    native_ = 0;
    reaped = false;
    reapedCode = 0;
    unwatchable = false;
}

namespace {

// Everything posix_spawnp needs, prepared up front so that the detached start can spawn from
// a forked intermediate without allocating there.
struct SpawnSetup {
    std::vector<char*> argv;
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool made = false;   // actions and attributes initialised, so they must be destroyed
    bool ready = false;  // every setting took

    SpawnSetup(const std::vector<std::string>& args, const std::string& workFolder) {
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn_file_actions_init(&actions) != 0) return;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        made = true;
        ready = true;

        // Our standard input belongs to us; the child reads nothing.
        ready = ready && posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Like a Windows child started without inherited handles: only the standard streams
        // pass. Our own descriptors are close-on-exec anyway; this also covers libraries'.
        ready = ready && posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
#endif
        if (!workFolder.empty()) {
            ready = ready && posix_spawn_file_actions_addchdir_np(&actions, workFolder.c_str()) == 0;
        }

        // A session of its own: the child must outlive the terminal we were started from.
        // Fresh signal mask, and default handling for signals a parent commonly ignores.
        sigset_t mask;
        sigemptyset(&mask);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        ready = ready && posix_spawnattr_setflags(&attributes, flags) == 0 &&
                posix_spawnattr_setsigmask(&attributes, &mask) == 0 &&
                posix_spawnattr_setsigdefault(&attributes, &defaults) == 0;
    }

    ~SpawnSetup() {
        if (!made) return;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }

    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    pid_t spawn() {
        pid_t pid = 0;
        if (!ready || posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) return 0;
        return pid;
    }
};

}  // namespace

Process startProcess(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) return Process();
    SpawnSetup setup(args, std::string());
    pid_t pid = setup.spawn();
    return pid > 0 ? Process(pid) : Process();
}

ExitStatus pollExit(Process& process) {
    if (process.reaped) return {true, process.reapedCode};
    if (!process.valid()) return {};
    int status = 0;
    pid_t result;
    do {
        result = waitpid(static_cast<pid_t>(process.native()), &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result <= 0) return {};  // still running, or not ours to tell
    process.reaped = true;
    if (WIFEXITED(status)) {
        process.reapedCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        process.reapedCode = 128 + WTERMSIG(status);  // as a shell reports it
    } else {
        process.reapedCode = -1;
    }
    return {true, process.reapedCode};
}

std::int64_t processId(const Process& process) { return process.valid() ? process.native() : 0; }

Exists processExists(std::int64_t id) {
    // 0 and negative ids name process groups to kill(): never ask about those.
    if (id <= 0 || id > INT_MAX) return Exists::Unknown;
    if (kill(static_cast<pid_t>(id), 0) == 0) return Exists::Yes;
    if (errno == ESRCH) return Exists::No;
    return errno == EPERM ? Exists::Yes : Exists::Unknown;  // someone else's process
}

void startDetached(const std::vector<std::string>& args, const std::string& workFolder) {
    if (args.empty() || args[0].empty()) return;
    SpawnSetup setup(args, workFolder);
    if (!setup.ready) return;
    // A short-lived intermediate spawns the real child and ends at once; we reap the
    // intermediate, and the orphaned child is adopted and reaped by init. No zombie is left
    // behind and no process-wide SIGCHLD handling is needed.
    pid_t intermediate = fork();
    if (intermediate == 0) {
        setup.spawn();
        _exit(0);
    }
    if (intermediate < 0) return;
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
}

std::string findProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder = ".";
        std::string candidate = folder + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

bool runtimeFromSystem() { return true; }

int unpackArchive(const std::string& archive, const std::string& folder, const std::string& workFolder) {
    // bsdtar refuses entries that climb out with ".." or start at the root unless told -P,
    // and it reads zip archives: the same tool Windows ships as tar.exe.
    const std::vector<std::string> args = {"bsdtar", "-xf", archive, "-C", folder};
    SpawnSetup setup(args, workFolder);  // keeps pointers into `args`
    pid_t pid = setup.spawn();
    if (pid <= 0) return -1;
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    if (result != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// ---- one instance per name ----

void InstanceLock::release() {
    // Closing the descriptor drops the lock. The file stays: removing a lock file races with
    // whoever opens it next.
    if (native != 0) close(static_cast<int>(native - 1));
    native = 0;
    first = false;
}

namespace {

// flock on "<session folder><name>.lock", tried at once or waited for.
InstanceLock lockFile(const std::string& name, bool wait) {
    InstanceLock lock;
    const PrivateFolder folder = sessionFolder();
    if (!folder.problem.empty()) {
        // Taking it at once reports only "not first": window mode has told the user already.
        if (wait) lock.problem = folder.problem;
        return lock;
    }
    const std::string path = folder.path + name + ".lock";
    // Close-on-exec matters: a launcher that inherited the descriptor would hold the lock
    // after our window has gone.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // Only a held lock means another instance; a file we cannot open means none at all.
        lock.problem = "Could not create the lock file that keeps two starts of one installation apart:\n" + path + "\n(" +
                       std::strerror(errno) + ")";
        return lock;
    }
    int result;
    do {
        result = flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno != EWOULDBLOCK)
            lock.problem = "Could not lock the file that keeps two starts of one installation apart:\n" + path + "\n(" +
                           std::strerror(errno) + ")";
        close(fd);  // someone else holds it; an unlocked descriptor is of no use to us
        return lock;
    }
    lock.native = static_cast<std::intptr_t>(fd) + 1;
    lock.first = true;
    return lock;
}

}  // namespace

InstanceLock takeInstanceLock(const std::string& name) { return lockFile(name, false); }

InstanceLock waitForLock(const std::string& name) { return lockFile(name, true); }

// ---- odds and ends ----

void allowForegroundHandOff() {}

void showErrorWindow(const std::string& caption, const std::string& text);  // progress_posix.cpp

void showError(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    // Someone who started us from a file manager never sees standard error.
    showErrorWindow(caption, text);
}

void useDarkTitleBar(void*) {}

// No taskbar protocol every Linux desktop shares.
void showBusyOnTaskbar(void*, bool) {}

bool flashUntilFront(void*) { return false; }

}  // namespace vlr::platform
