#include "cli/port_search.h"

#include "cli/port_policy.h"
#include "common/setting_for_tests.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <glob.h>
#include <set>
#include <unistd.h>

namespace cli {
namespace {

std::vector<std::string> matching(const char* pattern) {
    std::vector<std::string> paths;
    glob_t found{};
    if (glob(pattern, 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            paths.push_back(found.gl_pathv[i]);
        }
    }
    globfree(&found);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string resolved(const std::string& path) {
    char real[PATH_MAX];
    return realpath(path.c_str(), real) != nullptr ? real : path;
}

// Tests put a folder of fake devices, or a fake sysfs, in these; root
// never reads them.
std::string test_root(const char* variable) {
    const char* value = test_setting(variable);
    return value != nullptr ? resolved(value) : "";
}

// The kernel's name for the device at `path`: the last part of the path once
// links are followed, as far as they stay within `dev` (so a test's
// folder/dev/ttyACM0 is ttyACM0 even when it links to a pty).
std::string kernel_name(const std::string& dev, std::string path) {
    char target[PATH_MAX];
    for (int hop = 0; hop < 8; ++hop) {
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0) {
            break;
        }
        std::string next(target, static_cast<size_t>(length));
        if (next[0] != '/') {
            next = path.substr(0, path.find_last_of('/') + 1) + next;
        }
        const size_t cut = next.find_last_of('/');
        next = resolved(next.substr(0, cut)) + next.substr(cut);
        if (next.compare(0, dev.size(), dev) != 0) {
            break;
        }
        path = next;
    }
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

std::vector<SearchedPort> search_ports(bool probe_all) {
    std::vector<SearchedPort> ports;
    std::set<std::string> devices;
    const std::string root = test_root("TARVELLE_DEV_ROOT");
    const std::string sys_root = test_root("TARVELLE_SYS_ROOT");
    for (const char* pattern : {"/dev/serial/by-id/*", "/dev/ttyACM*", "/dev/ttyUSB*"}) {
        for (const std::string& path : matching((root + pattern).c_str())) {
            if (devices.insert(resolved(path)).second) {
                ports.push_back(
                    {path, probe_all
                               ? ""
                               : search_skip_reason(sys_root, kernel_name(root + "/dev/", path))});
            }
        }
    }
    return ports;
}

} // namespace cli
