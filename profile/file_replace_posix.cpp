#include "profile/file_replace.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

int open_retrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// write() may take less than it is given (a signal, a nearly full disk).
bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t wrote = write(fd, data, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

// The temporary file of this write. Writers of one profile take turns under
// the lock, so the process id alone keeps the name apart from any other
// writer's. A file already there under this name was left by a writer that
// died with the same id, and is taken over.
int create_temporary(const std::string& temp_path) {
    int fd = open_retrying(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST && unlink(temp_path.c_str()) == 0) {
        fd = open_retrying(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    }
    return fd;
}

} // namespace

WriterLock::WriterLock(const char* profile_path) {
    std::string lock_path = std::string(profile_path) + ".lock";
    int fd = open_retrying(lock_path.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0) {
        fd = open_retrying(lock_path.c_str(), O_RDONLY); // made read-only by someone
    }
    handle_ = fd;
    if (fd < 0) {
        return;
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    held_ = locked == 0;
}

WriterLock::~WriterLock() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_)); // closing lets the lock go
    }
}

bool replace_file(const char* path, const std::string& contents) {
    // The rename would replace a profile that its owner made read-only, even
    // for a user who may not write it: a read-only profile is refused, as
    // root is refused too. The new file keeps the old one's permissions.
    struct stat old_file;
    bool had_file = stat(path, &old_file) == 0;
    if (had_file && (old_file.st_mode & 0222) == 0) {
        return false;
    }
    std::string temp_path = std::string(path) + "." + std::to_string(getpid()) + ".tmp";
    int fd = create_temporary(temp_path);
    if (fd < 0) {
        return false;
    }
    // Every byte and then the data on the disk, before the rename: a short
    // write must never replace the profile with the part that was written.
    bool ok = write_all(fd, contents.data(), contents.size()) &&
              (!had_file || fchmod(fd, old_file.st_mode & 07777) == 0) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp_path.c_str(), path) == 0;
    if (!ok) {
        unlink(temp_path.c_str());
    }
    return ok;
}

} // namespace profile
