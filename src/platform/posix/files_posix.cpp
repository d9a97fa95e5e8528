/*******************************************************************************************
*  files_posix.cpp — whole-file replacement and flushing folders to the disk on POSIX
*******************************************************************************************/
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace vlr::platform {

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
    if (!ok) unlink(temp.c_str());
    return ok;
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
