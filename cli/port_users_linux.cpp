#include "cli/port_users.h"

#include "cli/failure.h"
#include "cli/port_claim.h"
#include "cli/json_text.h"
#include "cli/main_wait.h"
#include "cli/output.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/kcmp.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace cli {
namespace {

// /dev/ptmx: every pseudo-terminal master is opened through it.
const dev_t PTY_MULTIPLEXER = makedev(5, 2);
// /dev/pts/N is (136, N): the kernel gives its pty slaves one major number.
constexpr unsigned PTY_SLAVE_MAJOR = 136;

// How often, in descriptors looked at, the look checks its time and signals.
constexpr unsigned CHECK_EVERY = 64;

using Clock = std::chrono::steady_clock;

// The processor time this thread has used, in the kernel too, in ms.
long thread_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// An open folder, closed however the look ends (a signal ends it with a throw).
struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};
using Folder = std::unique_ptr<DIR, CloseFolder>;

std::string process_name(const std::string& pid) {
    char name[64] = "";
    FILE* in = std::fopen(("/proc/" + pid + "/comm").c_str(), "re");
    if (in != nullptr) {
        if (std::fgets(name, sizeof name, in) == nullptr) {
            name[0] = '\0';
        }
        std::fclose(in);
    }
    name[std::strcspn(name, "\n")] = '\0';
    return name[0] != '\0' ? name : "unknown";
}

// What fdinfo says of a descriptor: its open flags, and for a pty master
// the index of its slave ("tty-index:\t3" for /dev/pts/3; -1 when none).
struct FdInfo {
    long flags = 0;
    long tty_index = -1;
};

FdInfo fd_info(const std::string& table, const char* fd) {
    FdInfo info;
    FILE* in = std::fopen((table + "/fdinfo/" + fd).c_str(), "re");
    if (in == nullptr) {
        return info;
    }
    char line[128];
    while (std::fgets(line, sizeof line, in) != nullptr) {
        if (std::sscanf(line, "flags: %lo", &info.flags) != 1) {
            std::sscanf(line, "tty-index: %ld", &info.tty_index);
        }
    }
    std::fclose(in);
    return info;
}

// What one process has open of the devices looked for.
struct Held {
    std::set<dev_t> devices;
    std::set<long> masters; // pty indexes of the masters it holds
};

enum class Table { read, gone, unreadable };

class Look {
  public:
    explicit Look(const std::vector<dev_t>& devices)
        : devices_(devices.begin(), devices.end()),
          budget_ms_(LOOK_MILLISECONDS_PER_PORT * static_cast<long>(devices.size())),
          working_until_(thread_ms() + budget_ms_),
          until_(Clock::now() + std::chrono::milliseconds(budget_ms_ * LOOK_WALL_FACTOR)) {
        for (dev_t device : devices) {
            ptys_ = ptys_ || major(device) == PTY_SLAVE_MAJOR;
        }
    }

    PortUsers run() {
        const Folder proc(opendir("/proc"));
        if (!proc) {
            users_.no_proc = true;
            return users_;
        }
        const std::string self = std::to_string(getpid());
        bool saw_init = self == "1";
        while (const dirent* entry = readdir(proc.get())) {
            const std::string pid = entry->d_name;
            saw_init = saw_init || pid == "1";
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
                continue;
            }
            look_at_process(pid);
            if (!users_.unfinished.empty() || holders_left() == 0) {
                break;
            }
        }
        users_.hidden = !saw_init;
        return users_;
    }

  private:
    size_t holders_left() const { return devices_.size() - users_.holders.size(); }

    // Time and signals, looked at now and then: a signal ends the look at
    // once; running out of time cuts it short, in process `pid`.
    bool in_bounds(const std::string& pid) {
        if (++since_check_ < CHECK_EVERY) {
            return true;
        }
        since_check_ = 0;
        int signal_number = 0;
        if (take_signal(&signal_number)) {
            throw Interrupted{signal_number};
        }
        const bool worked_out = thread_ms() >= working_until_;
        if (!worked_out && Clock::now() < until_) {
            return true;
        }
        users_.unfinished =
            "the look for other programs using it was cut off after " +
            std::to_string(worked_out ? budget_ms_ : budget_ms_ * LOOK_WALL_FACTOR) +
            " ms, in the open files of process " + pid + " (" + visible_text(process_name(pid)) +
            ")";
        return false;
    }

    // The descriptors of one table: /proc/PID/fd, or a thread's own
    // /proc/PID/task/TID/fd.
    Table read_table(const std::string& pid, const std::string& table, Held& held) {
        const Folder fds(opendir((table + "/fd").c_str()));
        if (!fds) {
            // A process that ended meanwhile holds nothing.
            return errno == ENOENT || errno == ESRCH ? Table::gone : Table::unreadable;
        }
        const int folder = dirfd(fds.get());
        while (const dirent* entry = readdir(fds.get())) {
            if (!in_bounds(pid)) {
                break;
            }
            struct stat info {};
            if (entry->d_name[0] == '.' || fstatat(folder, entry->d_name, &info, 0) != 0 ||
                !S_ISCHR(info.st_mode)) {
                continue;
            }
            if (devices_.count(info.st_rdev) != 0) {
                // An O_PATH descriptor can neither read nor write the port.
                if ((fd_info(table, entry->d_name).flags & O_PATH) == 0) {
                    held.devices.insert(info.st_rdev);
                }
            } else if (ptys_ && info.st_rdev == PTY_MULTIPLEXER) {
                held.masters.insert(fd_info(table, entry->d_name).tty_index);
            }
        }
        return Table::read;
    }

    // The process's own table, then those of its threads that have one of
    // their own (unshare(CLONE_FILES)), and those of the threads left after
    // the main thread ended, whose table is gone with it. Threads that
    // share a table already read are passed over: kcmp tells, and reading
    // each thread's view of one table again would cost the look its time.
    void look_at_process(const std::string& pid) {
        Held held;
        const Table main = read_table(pid, "/proc/" + pid, held);
        if (main == Table::unreadable) {
            ++users_.unreadable;
            return;
        }
        std::vector<long> read{std::atol(pid.c_str())};
        const Folder tasks(opendir(("/proc/" + pid + "/task").c_str()));
        while (tasks && users_.unfinished.empty()) {
            const dirent* entry = readdir(tasks.get());
            if (entry == nullptr) {
                break;
            }
            const long tid = std::atol(entry->d_name);
            if (tid <= 0 || tid == read.front() || shares_a_table(read, tid)) {
                continue;
            }
            const std::string table = "/proc/" + pid + "/task/" + entry->d_name;
            if (read_table(pid, table, held) == Table::read) {
                read.push_back(tid);
            }
        }
        note_holder(pid, held);
    }

    static bool shares_a_table(const std::vector<long>& read, long tid) {
        for (long other : read) {
            const long same = syscall(SYS_kcmp, static_cast<pid_t>(other), static_cast<pid_t>(tid),
                                      KCMP_FILES, 0UL, 0UL);
            // Where kcmp is missing or refused, the thread counts as sharing:
            // its table is the process's in all but rare programs.
            if (same == 0 || (same < 0 && errno != ESRCH)) {
                return true;
            }
        }
        return false;
    }

    // On a pty the process that holds the master is the line's other end,
    // as a simulated modem or a terminal emulator is: it is the far side of
    // the port, not a second user of it, even when it keeps the slave open
    // too.
    void note_holder(const std::string& pid, const Held& held) {
        for (dev_t device : held.devices) {
            const bool other_end = major(device) == PTY_SLAVE_MAJOR &&
                                   held.masters.count(static_cast<long>(minor(device))) != 0;
            if (!other_end && users_.holders.count(device) == 0) {
                users_.holders[device] = {std::atol(pid.c_str()), process_name(pid)};
            }
        }
    }

    std::set<dev_t> devices_;
    bool ptys_ = false;
    long budget_ms_;
    long working_until_; // in thread_ms()
    Clock::time_point until_;
    unsigned since_check_ = 0;
    PortUsers users_;
};

void note_incomplete(const PortUsers& users, bool& said) {
    if (said || (users.unreadable == 0 && !users.no_proc && !users.hidden)) {
        return;
    }
    said = true;
    const std::string why =
        users.no_proc  ? "/proc cannot be read"
        : users.hidden ? "/proc hides the processes of other users"
                       : "the open files of " + std::to_string(users.unreadable) +
                             " processes cannot be read" +
                             (geteuid() != 0 ? " (a user other than root sees only its own)" : "");
    write_err("tarvelle-cli: the check for other programs using a port was incomplete: " + why +
              "\n");
}

} // namespace

PortUsers find_port_users(const std::vector<dev_t>& devices, PortSearch& search) {
    if (devices.empty()) {
        return {};
    }
    ++search.looks_made;
    return Look(devices).run();
}

void refuse_port_in_use(const std::string& port, dev_t device, const PortUsers& users,
                        PortSearch& search) {
    const auto holder = users.holders.find(device);
    if (holder != users.holders.end()) {
        Failure in_use(EXIT_PORT, port + ": in use by process " +
                                      std::to_string(holder->second.pid) + " (" +
                                      visible_text(holder->second.name) + ")");
        in_use.holder.pid = holder->second.pid;
        in_use.holder.name = visible_text(holder->second.name);
        throw in_use;
    }
    // Any user can hold descriptors enough to cut the look short, and so
    // could hide a holder behind them: a look cut short refuses the port.
    // The same user can already hold a port off with a UUCP lock in the
    // lock folder, which anyone may write, so this gives them nothing new.
    if (!users.unfinished.empty()) {
        throw Failure(EXIT_PORT, port + ": busy, as far as can be told: " + users.unfinished);
    }
    note_incomplete(users, search.said);
}

} // namespace cli
