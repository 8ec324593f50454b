#include "cli/port_search.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <glob.h>
#include <set>

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

} // namespace

std::vector<std::string> search_ports() {
    std::vector<std::string> ports;
    std::set<std::string> devices;
    const char* roots = std::getenv("TARVELLE_DEV_ROOT"); // tests put a folder of links here
    const std::string root = roots != nullptr ? roots : "";
    for (const char* pattern : {"/dev/serial/by-id/*", "/dev/ttyACM*", "/dev/ttyUSB*"}) {
        for (const std::string& path : matching((root + pattern).c_str())) {
            if (devices.insert(resolved(path)).second) {
                ports.push_back(path);
            }
        }
    }
    return ports;
}

} // namespace cli
