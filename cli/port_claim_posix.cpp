// Ports on Linux. Fax, terminal and modem programs mark a port they use with
// a UUCP lock file (/var/lock/LCK..ttyACM0 holding the owner's process id);
// the port session itself takes flock() and TIOCEXCL on the open device.
#include "cli/port_claim.h"

#include "cli/conversation_loop.h"
#include "cli/failure.h"
#include "common/text.h"
#include "serial/port_session.h"
#include "serial/posix_device.h"
#include "serial/tty_family.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

std::string lock_folder() {
    const char* folder = std::getenv("TARVELLE_LOCK_DIR");
    return folder != nullptr && folder[0] != '\0' ? folder : "/var/lock";
}

// LCK..ttyACM0 for /dev/ttyACM0; a device below /dev keeps its folders,
// with "_" for "/" (LCK..pts_3), so two devices never share a lock.
std::string lock_name(const std::string& port) {
    char resolved[PATH_MAX];
    std::string device = realpath(port.c_str(), resolved) != nullptr ? resolved : port;
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

// The process id a lock file names, or 0 when it names none.
long lock_holder(const std::string& file) {
    FILE* in = std::fopen(file.c_str(), "r");
    if (in == nullptr) {
        return 0;
    }
    long pid = 0;
    if (std::fscanf(in, "%ld", &pid) != 1) {
        pid = 0;
    }
    std::fclose(in);
    return pid;
}

bool process_lives(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Makes the lock file in one step: written under a name of our own, then
// linked to the lock's name, which fails if another program was quicker.
bool link_lock(const std::string& file) {
    const std::string temporary = lock_folder() + "/LTMP." + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
    const bool written = write(fd, text, length) == length;
    close(fd);
    const bool linked = written && link(temporary.c_str(), file.c_str()) == 0;
    unlink(temporary.c_str());
    return linked;
}

// Gives the lock file now held, "" when the folder does not let us make one
// (a lock is then simply not taken); throws when a live program holds it.
std::string take_uucp_lock(const std::string& port) {
    const std::string file = lock_name(port);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (link_lock(file)) {
            return file;
        }
        if (errno != EEXIST) {
            return "";
        }
        const long holder = lock_holder(file);
        if (holder == getpid()) {
            return ""; // our own: another claim of this run holds it
        }
        if (process_lives(holder)) {
            throw Failure(EXIT_PORT, port + ": busy, locked by process " + std::to_string(holder) +
                                         " (" + file + ")");
        }
        unlink(file.c_str()); // its holder is gone: the lock is stale
    }
    return "";
}

std::string open_failure(const std::string& port, int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return port + ": missing (no such device; is the modem plugged in?)";
    case EACCES:
    case EPERM:
        return port + ": not accessible (permission denied; is the user in the dialout group?)";
    case EWOULDBLOCK:
    case EBUSY:
        return port + ": busy (another program holds it, such as ModemManager or a fax or "
                      "terminal program)";
    case ENOTTY:
        return port + ": not a serial port";
    default:
        return port + ": cannot be opened (" + std::strerror(error) + ")";
    }
}

} // namespace

PortClaim::PortClaim(const std::string& port) {
    struct stat info {};
    if (stat(port.c_str(), &info) != 0) {
        throw Failure(EXIT_PORT, open_failure(port, errno));
    }
    dev_t device = 0;
    std::string what;
    if (!is_tty_family(port.c_str(), device, what)) { // before any lock or open
        throw Failure(EXIT_PORT, port + ": not a serial port (" + what + ")");
    }
    if (port.size() >= PORT_PATH_SIZE) {
        throw Failure(EXIT_PORT, port + ": the path is too long");
    }
    lock_file_ = take_uucp_lock(port);
    copy_text(port_path, port.c_str());
    if (port_create(0, logged_modem_data) != 1 || port_open() != 1) {
        const int error = last_open_error();
        port_release();
        if (!lock_file_.empty()) {
            unlink(lock_file_.c_str());
        }
        throw Failure(EXIT_PORT, open_failure(port, error != 0 ? error : EIO));
    }
}

PortClaim::~PortClaim() {
    port_close();
    port_release();
    port_path[0] = '\0';
    if (!lock_file_.empty()) {
        unlink(lock_file_.c_str());
    }
}

} // namespace cli
