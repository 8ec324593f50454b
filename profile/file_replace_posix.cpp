#include "profile/file_replace.h"

#include "common/new_file_posix.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

Failure failed(std::string why) {
    return write_failed(std::move(why));
}

std::string system_words(int error) {
    return std::strerror(error);
}

// The permission bits the lock file gets: the profile's own, none for
// others, so that no one who may not read the profile can hold its lock.
mode_t lock_mode(const char* profile_path) {
    struct stat info {};
    if (lstat(profile_path, &info) == 0 && S_ISREG(info.st_mode)) {
        return info.st_mode & 0770;
    }
    return 0660;
}

// The lock file, opened without following a link. A missing one is made
// under a name of its own and linked into place, so that a link planted at
// its name is never followed; a link there makes the open fail.
int open_lock_file(const std::string& lock_path, mode_t mode) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        constexpr int flags = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        int fd = open(lock_path.c_str(), O_RDWR | flags);
        if (fd < 0 && errno == EACCES) {
            fd = open(lock_path.c_str(), O_RDONLY | flags); // flock() needs no write access
        }
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        std::string made;
        fd = create_new_file(lock_path + ".", mode, made);
        if (fd < 0) {
            return -1;
        }
        const bool linked = link(made.c_str(), lock_path.c_str()) == 0;
        const int error = errno;
        unlink(made.c_str());
        if (linked) {
            return fd;
        }
        close(fd);
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
        // Another writer made it first: open theirs.
    }
    return -1;
}

// A lock file left by an older version may let others open it: tightened,
// but only when it is ours alone and not a link to some other file.
void tighten(int fd, const struct stat& info, mode_t mode) {
    if ((info.st_mode & 0007) != 0 && info.st_nlink == 1 && info.st_uid == geteuid()) {
        [[maybe_unused]] const int ignored = fchmod(fd, mode);
    }
}

Failure take_lock(int fd, const std::string& lock_path, LockPause pause) {
    if (pause == nullptr) {
        int locked;
        do {
            locked = flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        return locked == 0 ? Failure{} : failed(lock_path + ": " + system_words(errno));
    }
    constexpr unsigned STEP_MS = 50;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(LOCK_WAIT_MS);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return {};
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return failed(lock_path + ": " + system_words(errno));
        }
        if (std::chrono::steady_clock::now() >= until) {
            return failed("locked by another writer for " + std::to_string(LOCK_WAIT_MS / 1000) +
                          " s (" + lock_path + ")");
        }
        if (const int stop = pause(STEP_MS)) {
            return failure(Kind::profile_stopped, "the write was given up", stop);
        }
    }
}

} // namespace

WriterLock::WriterLock(const char* profile_path, LockPause pause) {
    const std::string lock_path = std::string(profile_path) + ".lock";
    const mode_t mode = lock_mode(profile_path);
    int fd = open_lock_file(lock_path, mode);
    handle_ = fd;
    if (fd < 0) {
        failure_ = failed(lock_path + ": " +
                          (errno == ELOOP ? "a link, not the lock file" : system_words(errno)));
        return;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        failure_ = failed(lock_path + ": not a regular file");
        return;
    }
    tighten(fd, info, mode);
    failure_ = take_lock(fd, lock_path, pause);
    held_ = !failure_;
}

WriterLock::~WriterLock() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_)); // closing lets the lock go
    }
}

Failure replace_file(const char* path, const std::string& contents) {
    // The rename would replace a profile that its owner made read-only, even
    // for a user who may not write it: a read-only profile is refused, as
    // root is refused too. The new file keeps the old one's permissions,
    // taken from the profile itself: a link in its place is refused, since
    // its target's contents would be copied to a file anyone might read.
    struct stat old_file {};
    const bool had_file = lstat(path, &old_file) == 0;
    if (had_file && !S_ISREG(old_file.st_mode)) {
        return failed(std::string(path) + ": " +
                      (S_ISLNK(old_file.st_mode) ? "a symbolic link, not the profile itself"
                                                 : "not a regular file"));
    }
    if (had_file && (old_file.st_mode & 0222) == 0) {
        return failed(std::string(path) + ": read-only");
    }
    std::string temp_path;
    const int fd = create_new_file(std::string(path) + ".tmp-", 0666, temp_path);
    if (fd < 0) {
        return failed(std::string(path) + ": " + system_words(errno));
    }
    // Every byte and then the data on the disk, before the rename: a short
    // write must never replace the profile with the part that was written.
    bool ok = write_whole(fd, contents.data(), contents.size()) &&
              (!had_file || fchmod(fd, old_file.st_mode & 07777) == 0) && fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temp_path.c_str(), path) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp_path.c_str());
        return failed(std::string(path) + ": " + system_words(error));
    }
    return {};
}

} // namespace profile
