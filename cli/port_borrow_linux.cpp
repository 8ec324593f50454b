#include "cli/port_borrow_linux.h"

#include "cli/main_wait.h"
#include "common/new_file_posix.h"
#include "serial/tty_family.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

// How often the holder's descriptors are looked at while it steps aside: a
// getty takes some hundred milliseconds, and one process's folders cost
// next to nothing.
constexpr int POLL_MS = 20;

// A descriptor opened with O_PATH can neither read nor write: not a holder.
bool path_only(const std::string& fdinfo) {
    FILE* in = std::fopen(fdinfo.c_str(), "r");
    if (in == nullptr) {
        return false;
    }
    unsigned long flags = 0;
    char line[128];
    while (std::fgets(line, sizeof line, in) != nullptr) {
        if (std::sscanf(line, "flags: %lo", &flags) == 1) {
            break;
        }
    }
    std::fclose(in);
    return (flags & O_PATH) != 0;
}

enum class Seen { free, held, unreadable };

// One thread's descriptor table: /proc/PID/task/TID.
Seen task_holds(const std::string& task, dev_t device) {
    DIR* fds = opendir((task + "/fd").c_str());
    if (fds == nullptr) {
        return errno == ENOENT || errno == ESRCH ? Seen::free : Seen::unreadable;
    }
    Seen seen = Seen::free;
    while (const dirent* entry = readdir(fds)) {
        struct stat info {};
        if (entry->d_name[0] != '.' && stat((task + "/fd/" + entry->d_name).c_str(), &info) == 0 &&
            S_ISCHR(info.st_mode) && info.st_rdev == device &&
            !path_only(task + "/fdinfo/" + entry->d_name)) {
            seen = Seen::held;
            break;
        }
    }
    closedir(fds);
    return seen;
}

[[noreturn]] void cannot_borrow(const std::string& port, const Holder& holder,
                                const std::string& why) {
    Failure failure(EXIT_PORT, port + ": in use by process " + std::to_string(holder.pid) + " (" +
                                   holder.name + "), " + why);
    failure.holder = holder;
    throw failure;
}

} // namespace

// Every thread is looked at: a thread may have a table of its own, and one
// may outlive its process's main thread.
bool still_holds(long pid, dev_t device) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = opendir(tasks.c_str());
    if (folder == nullptr) {
        return errno != ENOENT && errno != ESRCH;
    }
    bool held = false;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.' &&
            task_holds(tasks + "/" + entry->d_name, device) != Seen::free) {
            held = true;
            break;
        }
    }
    closedir(folder);
    return held;
}

PortBorrow::PortBorrow(const PortNode& node, const Holder& holder,
                       std::chrono::steady_clock::time_point until) {
    try {
        wake_and_wait(node, holder, until);
    } catch (...) {
        if (fd_ >= 0) {
            close(fd_);
        }
        throw;
    }
}

void PortBorrow::wake_and_wait(const PortNode& node, const Holder& holder,
                               std::chrono::steady_clock::time_point until) {
    const std::string& port = node.port;
    const dev_t device = node.device;
    // No flock and no TIOCEXCL: the getty has the port open, and a getty
    // run as another user would find a TIOCEXCL still set when it returns.
    fd_ = open(node.reopen_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || !is_same_tty(fd_, device)) {
        const int error = fd_ < 0 ? errno : ENOTTY;
        cannot_borrow(port, holder,
                      std::string("and it cannot be opened beside it (") + std::strerror(error) +
                          ")");
    }
    if (!write_whole(fd_, BORROW_WAKE_UP, sizeof BORROW_WAKE_UP - 1)) {
        cannot_borrow(port, holder,
                      std::string("and the modem cannot be woken (") + std::strerror(errno) + ")");
    }
    while (still_holds(holder.pid, device)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            cannot_borrow(port, holder,
                          "which did not let go of it: it does not give way to a "
                          "UUCP lock, as mgetty and faxgetty do");
        }
        int signal_number = 0;
        if (wait_main_thread(static_cast<int>(std::min<long long>(left.count(), POLL_MS)),
                             &signal_number) == Woken::signal) {
            throw Interrupted{signal_number};
        }
    }
}

PortBorrow::~PortBorrow() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

} // namespace cli
