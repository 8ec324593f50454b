// Ports on Linux. Fax, terminal and modem programs mark a port they use with
// a UUCP lock file (/var/lock/LCK..ttyACM0 holding the owner's process id);
// the port session itself takes flock() and TIOCEXCL on the open device.
#include "cli/port_claim.h"

#include "cli/conversation_loop.h"
#include "cli/failure.h"
#include "cli/port_borrow_linux.h"
#include "cli/port_steps_linux.h"
#include "cli/port_users.h"
#include "common/new_file_posix.h"
#include "common/setting_for_tests.h"
#include "common/test_stop.h"
#include "common/text.h"
#include "modem/conversation.h"
#include "serial/port_session.h"
#include "serial/tty_family.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cli {
namespace {

std::string lock_folder() {
    const char* folder = test_setting("TARVELLE_LOCK_DIR");
    return folder != nullptr ? folder : "/var/lock";
}

// LCK..ttyACM0 for /dev/ttyACM0; a device below /dev keeps its folders,
// with "_" for "/" (LCK..pts_3), so two devices never share a lock.
std::string lock_name(const std::string& device_path) {
    std::string device = device_path;
    if (device.compare(0, 5, "/dev/") == 0) {
        device.erase(0, 5);
    }
    for (char& c : device) {
        if (c == '/') {
            c = '_';
        }
    }
    return lock_folder() + "/LCK.." + device;
}

// An empty or unreadable lock younger than this may be another program's
// between its create and its write of the process id.
constexpr time_t FILLING_SECONDS = 10;

// The process id of a lock's text: "%10d\n" as programs write it today, or
// the four-byte binary number of older ones; 0 for anything else.
long pid_in(const std::string& text) {
    if (text.size() == sizeof(int32_t) &&
        text.find_first_of("0123456789 \n") == std::string::npos) {
        int32_t binary = 0;
        std::memcpy(&binary, text.data(), sizeof binary);
        return binary;
    }
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[first]))) {
        return 0;
    }
    return std::strtol(text.c_str() + first, nullptr, 10);
}

LockFileSeen look_at_lock(const std::string& file) {
    LockFileSeen seen;
    const int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        seen.present = errno != ENOENT;
        seen.fresh = seen.present; // there, but not to be read: never taken over
        return seen;
    }
    struct stat info {};
    char text[64];
    ssize_t got = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        got = read(fd, text, sizeof text);
    }
    close(fd);
    seen.present = true;
    seen.device = info.st_dev;
    seen.inode = info.st_ino;
    seen.text.assign(text, got > 0 ? static_cast<size_t>(got) : 0);
    seen.pid = pid_in(seen.text);
    seen.fresh = got < 0 || std::time(nullptr) - info.st_mtime < FILLING_SECONDS;
    return seen;
}

bool same_lock(const LockFileSeen& a, const LockFileSeen& b) {
    return a.present && b.present && a.device == b.device && a.inode == b.inode && a.text == b.text;
}

bool process_lives(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

[[noreturn]] void busy(const std::string& port, const std::string& file, const LockFileSeen& seen) {
    throw Failure(EXIT_PORT, port + ": busy, locked by " +
                                 (seen.pid > 0 ? "process " + std::to_string(seen.pid)
                                               : std::string("another program")) +
                                 " (" + file + ")");
}

[[noreturn]] void cannot_lock(const std::string& port, const std::string& file, int error) {
    throw Failure(EXIT_PORT,
                  port + ": cannot take its lock " + file + " (" + std::strerror(error) + ")");
}

// Our lock, whole, under a name no one could have guessed, in the lock
// folder; gives its name.
std::string write_new_lock(const std::string& port, const std::string& file, LockFileSeen& ours) {
    std::string made;
    const int fd = create_new_file(lock_folder() + "/LTMP.", 0644, made);
    if (fd < 0) {
        cannot_lock(port, file, errno);
    }
    struct stat info {};
    const bool written =
        write_whole(fd, ours.text.data(), ours.text.size()) && fstat(fd, &info) == 0;
    const int error = errno;
    close(fd);
    if (!written) {
        unlink(made.c_str());
        cannot_lock(port, file, error);
    }
    ours.present = true;
    ours.device = info.st_dev;
    ours.inode = info.st_ino;
    return made;
}

} // namespace

// Our lock is linked to the lock's name, which fails if another program was
// quicker. A lock whose program is gone is replaced by ours with one
// rename, and only while it is still the very file that was judged stale,
// so two programs that both judged it cannot both end up believing they
// hold the port.
std::string take_uucp_lock(const PortNode& node, LockFileSeen& ours) {
    const std::string& port = node.port;
    const std::string file = lock_name(node.device_path);
    char text[16];
    std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
    ours.text = text;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string made = write_new_lock(port, file, ours);
        if (link(made.c_str(), file.c_str()) == 0) {
            unlink(made.c_str());
            return file;
        }
        const int error = errno;
        if (error != EEXIST) {
            unlink(made.c_str());
            cannot_lock(port, file, error);
        }
        const LockFileSeen seen = look_at_lock(file);
        if (seen.present && seen.pid == getpid()) {
            unlink(made.c_str());
            return ""; // our own: another claim of this run holds it
        }
        if (seen.present && (process_lives(seen.pid) || (seen.pid <= 0 && seen.fresh))) {
            unlink(made.c_str());
            busy(port, file, seen);
        }
        test_stop("uucp_takeover");
        if (seen.present && same_lock(seen, look_at_lock(file)) &&
            std::rename(made.c_str(), file.c_str()) == 0) {
            return file; // the stale lock is ours now
        }
        unlink(made.c_str()); // it changed meanwhile: judge it again
    }
    busy(port, file, look_at_lock(file));
}

void release_uucp_lock(const std::string& file, const LockFileSeen& ours) {
    if (!file.empty() && same_lock(look_at_lock(file), ours)) {
        unlink(file.c_str());
    }
}

PortNode::PortNode(PortNode&& other) noexcept {
    *this = std::move(other);
}

PortNode& PortNode::operator=(PortNode&& other) noexcept {
    std::swap(port, other.port);
    std::swap(fd, other.fd);
    std::swap(device, other.device);
    std::swap(device_path, other.device_path);
    return *this;
}

PortNode::~PortNode() {
    if (fd >= 0) {
        close(fd);
    }
}

std::string PortNode::reopen_path() const {
    return "/proc/self/fd/" + std::to_string(fd);
}

PortNode look_at_port(const std::string& port) {
    PortNode node;
    node.port = port;
    // O_PATH opens no device: it only holds on to what the path names.
    node.fd = open(port.c_str(), O_PATH | O_CLOEXEC);
    if (node.fd < 0) {
        throw Failure(EXIT_PORT, port_words(port, errno));
    }
    std::string what;
    if (!is_tty_family(node.reopen_path().c_str(), node.device, what)) {
        throw Failure(EXIT_PORT, port + ": not a serial port (" + what + ")");
    }
    char named[PATH_MAX];
    const ssize_t length = readlink(node.reopen_path().c_str(), named, sizeof named);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof named) {
        throw Failure(EXIT_PORT, port + ": cannot tell which device it is");
    }
    node.device_path.assign(named, static_cast<size_t>(length));
    return node;
}

struct PortChecks::Looked {
    std::vector<PortNode> nodes;
    std::vector<std::string> failures; // why each port cannot be had; "" when it may
    PortUsers users;
};

PortChecks::PortChecks(const std::vector<std::string>& ports, PortSearch& search)
    : looked_(new Looked), search_(search) {
    Looked& looked = *looked_;
    looked.nodes.resize(ports.size());
    looked.failures.resize(ports.size());
    std::vector<dev_t> devices;
    for (size_t i = 0; i < ports.size(); ++i) {
        try {
            looked.nodes[i] = look_at_port(ports[i]);
            devices.push_back(looked.nodes[i].device);
        } catch (const Failure& failure) {
            looked.failures[i] = failure.what();
        }
    }
    looked.users = find_port_users(devices, search);
}

PortChecks::~PortChecks() = default;

namespace {

// Whether the device's UUCP lock is another program's and in force.
bool lock_in_force(const PortNode& node) {
    const LockFileSeen seen = look_at_lock(lock_name(node.device_path));
    return seen.present && seen.pid != getpid() &&
           (process_lives(seen.pid) || (seen.pid <= 0 && seen.fresh));
}

[[noreturn]] void in_use(const Failure& found, const std::string& why) {
    Failure failure(found.exit, found.what() + why);
    failure.holder = found.holder;
    throw failure;
}

// The process that holds the port when it may be borrowed from it (pid 0
// when the port is free); throws when the port is busy otherwise. A holder
// that keeps the port's lock itself is in a call or sending a fax.
Holder borrowable_holder(const PortNode& node, const PortUsers& users, const Borrowing& borrowing,
                         PortSearch& search) {
    try {
        refuse_port_in_use(node.port, node.device, users, search);
        return {};
    } catch (Failure& found) {
        if (found.holder.pid == 0) {
            throw;
        }
        found.holder.borrowable = !lock_in_force(node);
        if (!found.holder.borrowable) {
            in_use(found, ", which holds its UUCP lock " + lock_name(node.device_path) +
                              ": it is in a call or sending a fax");
        }
        if (!borrowing.allowed) {
            if (!borrowing.hinted) {
                throw;
            }
            in_use(found, "; --borrow takes the port from a getty that gives way to a UUCP "
                          "lock, such as mgetty or faxgetty");
        }
        return found.holder;
    }
}

} // namespace

PortClaim::PortClaim(PortChecks& checks, size_t index, modem::Conversation& talk,
                     const Borrowing& borrowing)
    : talk_(talk) {
    const PortChecks::Looked& looked = *checks.looked_;
    if (!looked.failures.at(index).empty()) {
        throw Failure(EXIT_PORT, looked.failures[index]);
    }
    const PortNode& node = looked.nodes[index];
    const Holder holder = borrowable_holder(node, looked.users, borrowing, checks.search_);
    lock_file_ = take_uucp_lock(node, lock_);
    if (holder.pid != 0) {
        try {
            borrow_ = std::make_unique<PortBorrow>(node, holder, borrowing.until);
            // and no one else came meanwhile
            refuse_port_in_use(node.port, node.device,
                               find_port_users({node.device}, checks.search_), checks.search_);
        } catch (...) {
            borrow_.reset();
            release_uucp_lock(lock_file_, lock_);
            throw;
        }
    }
    // The session opens the device through the descriptor, and checks that
    // what it opened is still that device and a tty.
    session_ = port_create_own(0, node.reopen_path().c_str(), logged_modem_data, &talk,
                               modem::Conversation::port_failed);
    ::Failure failed = session_ != nullptr ? port_open(session_) : failure(Kind::port_setup);
    if (failed) {
        port_release(session_);
        borrow_.reset();
        release_uucp_lock(lock_file_, lock_);
        failed.port = node.port; // as the user named it, not the descriptor's path
        fail(failed);
    }
    talk.port = session_;
    borrow_.reset(); // the port is ours now, and the line stayed up
}

PortClaim::~PortClaim() {
    port_release(session_);
    talk_.port = nullptr;
    borrow_.reset();
    release_uucp_lock(lock_file_, lock_);
}

} // namespace cli
