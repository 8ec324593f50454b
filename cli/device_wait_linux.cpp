#include "cli/device_wait.h"

#include "cli/conversation_loop.h"
#include "cli/main_wait.h"
#include "common/setting_for_tests.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fnmatch.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

// A device node is made (IN_CREATE), a by-id link is renamed into place by
// udev (IN_MOVED_TO), and its owner and mode are set a moment later
// (IN_ATTRIB), which is when a user's program may open it.
constexpr uint32_t FOLDER_EVENTS = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_folder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

DeviceWatch::DeviceWatch(const std::vector<std::string>& ports) : paths_(ports) {
    if (paths_.empty()) {
        const char* root = test_setting("TARVELLE_DEV_ROOT"); // as the search reads it
        const std::string prefix = root != nullptr ? root : "";
        paths_ = {prefix + "/dev/serial/by-id/*", prefix + "/dev/ttyACM*", prefix + "/dev/ttyUSB*"};
    }
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    watch_folders();
}

DeviceWatch::~DeviceWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

// Each awaited path's nearest existing folder is watched for the next name
// on the way down to the device: "serial" in /dev while /dev/serial/by-id
// is missing, the device's own name (or the search's pattern) once its
// folder exists.
bool DeviceWatch::watch_folders() {
    names_.clear();
    bool more = false;
    for (const std::string& path : paths_) {
        std::string folder = folder_of(path);
        std::string name = name_of(path);
        while (!is_folder(folder) && folder != "/" && folder != ".") {
            name = name_of(folder);
            folder = folder_of(folder);
        }
        names_[folder].push_back(name);
        const int id = inotify_add_watch(fd_, folder.c_str(), FOLDER_EVENTS);
        if (id >= 0 && folders_.count(id) == 0) {
            folders_[id] = folder;
            more = true;
        }
    }
    return more;
}

bool DeviceWatch::wait(ConversationLoop& loop, int milliseconds) {
    if (fd_ < 0) {
        loop.pause(milliseconds);
        return false;
    }
    // A folder on the way that appeared since the last look may already
    // hold the device: try again before waiting.
    if (watch_folders()) {
        return true;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        int signal_number = 0;
        const Woken woken = left <= 0
                                ? Woken::timeout
                                : wait_main_thread_or(fd_, static_cast<int>(left), &signal_number);
        if (woken == Woken::timeout) {
            return false;
        }
        unless_interrupted(woken, signal_number);
        // A wake-up for an event (a late post of the last conversation) is
        // left for the next conversation, as in the loop's pause.
        if (woken == Woken::file && awaited_change()) {
            return true;
        }
    }
}

bool DeviceWatch::awaited_change() {
    bool awaited = false;
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(fd_, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) { // events were lost: look again
                awaited = true;
                continue;
            }
            const auto folder = folders_.find(event->wd);
            if (folder == folders_.end()) {
                continue;
            }
            if ((event->mask & IN_IGNORED) != 0) { // the folder itself went away
                folders_.erase(folder);
                awaited = true;
                continue;
            }
            for (const std::string& name : names_[folder->second]) {
                awaited = awaited || (event->len > 0 && fnmatch(name.c_str(), event->name, 0) == 0);
            }
        }
    }
    return awaited;
}

} // namespace cli
