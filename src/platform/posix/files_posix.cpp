/*******************************************************************************************
*  files_posix.cpp — small files of our own in a folder others can write to, and flushing
*  folders to the disk, on POSIX
*
*  The portable folder is the user's (a Downloads folder, say), so what stands there under
*  our file names may be a link, a pipe or a device that someone else put there. Reading
*  opens only a regular file, without blocking and never through a link; replacing writes a
*  freshly created file with an unguessable name, then renames it over the old one.
*******************************************************************************************/
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace vlr::platform {

namespace {

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// Sixteen hexadecimal digits from the kernel's random source; empty when it gives none.
std::string randomSuffix() {
    unsigned char bytes[8];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            return {};
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool readSmallFile(const std::string& path, std::size_t limit, std::string& out) {
    out.clear();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer that never comes.
    Descriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // One byte past the limit tells a file that is too large, whatever its size claimed.
    std::string text(limit + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(file.fd, text.data() + got, text.size() - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0)
            break;
        else if (errno != EINTR)
            return false;
    }
    if (got > limit) return false;
    text.resize(got);
    out = std::move(text);
    return true;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temp;
    int fd = -1;
    // O_EXCL refuses whatever already has the name, a planted link included.
    for (int attempt = 0; fd < 0 && attempt < 4; ++attempt) {
        const std::string suffix = randomSuffix();
        if (suffix.empty()) return false;
        temp = path + ".tmp-" + suffix;
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            ok = false;
    }
    // Flushed before the rename: otherwise a power cut could leave the new name on empty blocks.
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself lives in the folder: flushed too, so the new name survives a power cut.
    Descriptor folder(open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd >= 0) fsync(folder.fd);
    return true;
}

namespace {

// fsync of one entry opened without following a link. What cannot be opened (a file the
// archive left without read permission) is skipped; a file system that cannot flush (EINVAL,
// EROFS) has nothing to lose in a power cut that we could prevent.
bool flushEntry(const char* path, int flags) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | flags);
    if (fd < 0) return true;
    int result;
    do {
        result = fsync(fd);
    } while (result != 0 && errno == EINTR);
    const bool ok = result == 0 || errno == EINVAL || errno == EROFS;
    close(fd);
    return ok;
}

}  // namespace

bool flushTree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    bool ok = true;
    // The iterator does not enter linked folders; links themselves hold no data to flush.
    for (fs::recursive_directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        const fs::file_status status = it->symlink_status(error);
        if (error) break;
        if (fs::is_regular_file(status))
            ok = flushEntry(it->path().c_str(), 0) && ok;
        else if (fs::is_directory(status))
            ok = flushEntry(it->path().c_str(), O_DIRECTORY) && ok;
    }
    // A folder we could not walk whole is not known to be on the disk.
    return !error && flushFolder(path) && ok;
}

bool flushFolder(const std::string& path) { return flushEntry(path.c_str(), O_DIRECTORY); }

}  // namespace vlr::platform
