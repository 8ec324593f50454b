#include "cli/port_users.h"

#include "cli/output.h"

#include "cli/failure.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace cli {
namespace {

// /dev/ptmx: every pseudo-terminal master is opened through it.
const dev_t PTY_MULTIPLEXER = makedev(5, 2);
// /dev/pts/N is (136, N): the kernel gives its pty slaves one major number.
constexpr unsigned PTY_SLAVE_MAJOR = 136;

struct User {
    long pid = 0;
    std::string name;
};

// What the walk found: the first other user, and how many processes could
// not be looked at.
struct Users {
    User first;
    int unreadable = 0;
    bool no_proc = false;
    bool hidden = false; // /proc shows only our own processes (hidepid)
};

// The pty index of a descriptor opened on /dev/ptmx, from its fdinfo
// ("tty-index:\t3" for the master of /dev/pts/3); -1 when none is given.
long master_index(const std::string& pid, const char* fd) {
    FILE* in = std::fopen(("/proc/" + pid + "/fdinfo/" + fd).c_str(), "r");
    if (in == nullptr) {
        return -1;
    }
    long index = -1;
    char line[128];
    while (std::fgets(line, sizeof line, in) != nullptr) {
        if (std::sscanf(line, "tty-index: %ld", &index) == 1) {
            break;
        }
    }
    std::fclose(in);
    return index;
}

std::string process_name(const std::string& pid) {
    char name[64] = "";
    FILE* in = std::fopen(("/proc/" + pid + "/comm").c_str(), "r");
    if (in != nullptr) {
        if (std::fgets(name, sizeof name, in) == nullptr) {
            name[0] = '\0';
        }
        std::fclose(in);
    }
    name[std::strcspn(name, "\n")] = '\0';
    // Any process may name itself as it likes; its name must not drive the
    // terminal that shows the message.
    for (char* c = name; *c != '\0'; ++c) {
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) {
            *c = '?';
        }
    }
    return name[0] != '\0' ? name : "unknown";
}

enum class Holds { nothing, device, other_end, unreadable };

// Whether process `pid` has `device` open. On a pty the process that holds
// the master is the line's other end, as a simulated modem or a terminal
// emulator is: it is the far side of the port, not a second user of it,
// even when it keeps the slave open too.
Holds holds(const std::string& pid, dev_t device, long pty_index) {
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (fds == nullptr) {
        // A process that ended meanwhile holds nothing.
        return errno == ENOENT || errno == ESRCH ? Holds::nothing : Holds::unreadable;
    }
    bool slave = false;
    bool master = false;
    while (const dirent* entry = readdir(fds)) {
        struct stat info {};
        if (entry->d_name[0] == '.' || stat((folder + "/" + entry->d_name).c_str(), &info) != 0 ||
            !S_ISCHR(info.st_mode)) {
            continue;
        }
        if (info.st_rdev == device) {
            slave = true;
        } else if (pty_index >= 0 && info.st_rdev == PTY_MULTIPLEXER &&
                   master_index(pid, entry->d_name) == pty_index) {
            master = true;
        }
    }
    closedir(fds);
    return master ? Holds::other_end : slave ? Holds::device : Holds::nothing;
}

Users find_users(dev_t device) {
    Users users;
    const long pty_index = major(device) == PTY_SLAVE_MAJOR ? static_cast<long>(minor(device)) : -1;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        users.no_proc = true;
        return users;
    }
    const std::string self = std::to_string(getpid());
    bool saw_init = self == "1";
    while (const dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        saw_init = saw_init || pid == "1";
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
            continue;
        }
        switch (holds(pid, device, pty_index)) {
        case Holds::device:
            users.first = {std::atol(pid.c_str()), process_name(pid)};
            closedir(proc);
            return users;
        case Holds::unreadable:
            ++users.unreadable;
            break;
        default:
            break;
        }
    }
    closedir(proc);
    users.hidden = !saw_init;
    return users;
}

// Said once a run: the check is as good on every port, and a scan tries many.
void note_incomplete(const Users& users) {
    static bool said = false;
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

void refuse_port_in_use(const std::string& port) {
    struct stat info {};
    if (stat(port.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return; // the open says what is wrong with it
    }
    const Users users = find_users(info.st_rdev);
    if (users.first.pid != 0) {
        Failure in_use(EXIT_PORT, port + ": in use by process " + std::to_string(users.first.pid) +
                                      " (" + users.first.name + ")");
        in_use.holder.pid = users.first.pid;
        in_use.holder.name = users.first.name;
        throw in_use;
    }
    note_incomplete(users);
}

} // namespace cli
