#include "tools/modem-sim/pty_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace modem_sim {
namespace {

std::string system_error(const char* what) {
    return std::string(what) + ": " + strerror(errno);
}

// Raw 8-bit line both ways: the line discipline must neither echo what the
// modem writes back to it nor turn CR into LF.
void make_raw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

// The new line is linked before the old one is closed, so a client that sees
// the old line hang up and reopens the link at once always finds the new one.
bool PtyLine::open_line(std::string& error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = system_error("posix_openpt");
        return false;
    }
    char name[PATH_MAX];
    int slave = -1;
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0 ||
        (slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
        error = system_error("pty setup");
        close(master);
        return false;
    }
    make_raw(slave);
    make_raw(master);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string old_path = slave_path_;
    slave_path_ = name;
    if (!relink(error)) {
        slave_path_ = old_path;
        close(slave);
        close(master);
        return false;
    }
    close_line();
    master_ = master;
    slave_ = slave;
    return true;
}

// Swaps the link in with a rename, so a client never finds it missing.
bool PtyLine::relink(std::string& error) {
    struct stat info {};
    if (lstat(link_path_.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
        rmdir(link_path_.c_str()) != 0) {
        error = system_error(("cannot replace folder " + link_path_).c_str());
        return false;
    }
    if (lstat(link_path_.c_str(), &info) == 0 && !S_ISLNK(info.st_mode) && !S_ISDIR(info.st_mode)) {
        error = link_path_ + " exists and is not a link; not replacing it";
        return false;
    }
    std::string temp = link_path_ + ".sim" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(slave_path_.c_str(), temp.c_str()) != 0) {
        error = system_error(("symlink " + temp).c_str());
        return false;
    }
    if (rename(temp.c_str(), link_path_.c_str()) != 0) {
        error = system_error(("rename to " + link_path_).c_str());
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void PtyLine::close_line() {
    if (master_ >= 0)
        close(master_);
    if (slave_ >= 0)
        close(slave_);
    master_ = slave_ = -1;
}

int PtyLine::unread_bytes() const {
    int count = 0;
    if (slave_ < 0 || ioctl(slave_, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PtyLine::remove_link() {
    char target[PATH_MAX];
    ssize_t length = readlink(link_path_.c_str(), target, sizeof target - 1);
    if (length < 0)
        return;
    target[length] = '\0';
    if (slave_path_ == target) // another simulator may have taken the path over
        unlink(link_path_.c_str());
}

bool write_all(int fd, const std::string& bytes, int timeout_ms) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd room{fd, POLLOUT, 0};
        int ready = poll(&room, 1, timeout_ms);
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return false;
    }
    return true;
}

} // namespace modem_sim
