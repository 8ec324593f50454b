#include "serial/tty_family.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The subsystem sysfs files a character device under ("tty", "mem",
// "misc", ...); "" when sysfs has no entry for it, as for a pty slave.
std::string subsystem_of(dev_t device) {
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/char/%u:%u/subsystem", major(device), minor(device));
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0) {
        return "";
    }
    target[length] = '\0';
    const char* slash = std::strrchr(target, '/');
    return slash != nullptr ? slash + 1 : target;
}

// Pty slaves have no sysfs entry; their majors are the ones /proc/devices
// names "pts" (136 and up, more than one when there are many ptys).
bool is_pts_major(unsigned wanted) {
    std::FILE* devices = std::fopen("/proc/devices", "re");
    if (devices == nullptr) {
        return false;
    }
    bool found = false;
    bool characters = false;
    char line[128];
    while (!found && std::fgets(line, sizeof line, devices) != nullptr) {
        if (std::strncmp(line, "Character devices:", 18) == 0) {
            characters = true;
        } else if (std::strncmp(line, "Block devices:", 14) == 0) {
            characters = false;
        }
        unsigned number = 0;
        char name[64];
        found = characters && std::sscanf(line, "%u %63s", &number, name) == 2 &&
                number == wanted && std::strcmp(name, "pts") == 0;
    }
    std::fclose(devices);
    return found;
}

const char* kind_of(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return "neither a file nor a device";
}

} // namespace

bool is_tty_family(const char* path, dev_t& device, std::string& what) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        what = std::strerror(errno);
        return false;
    }
    device = info.st_rdev;
    if (!S_ISCHR(info.st_mode)) {
        what = kind_of(info.st_mode);
        errno = ENOTTY;
        return false;
    }
    const std::string subsystem = subsystem_of(info.st_rdev);
    if (subsystem == "tty" || (subsystem.empty() && is_pts_major(major(info.st_rdev)))) {
        what.clear();
        return true;
    }
    what = subsystem.empty() ? "a character device that is no terminal"
                             : "a character device of the " + subsystem + " subsystem";
    errno = ENOTTY;
    return false;
}

bool is_same_tty(int fd, dev_t device) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device &&
           isatty(fd) == 1;
}
