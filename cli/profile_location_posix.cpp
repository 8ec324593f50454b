#include "cli/profile_location.h"

#include "common/text.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "profile/program_path.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

std::string own_profile;     // where the user's profile is, or will be
std::string default_profile; // the installed default, read until then

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string chosen_path(const std::string& option) {
    if (!option.empty()) {
        return option;
    }
    const char* named = std::getenv("TARVELLE_PROFILE");
    if (named != nullptr && named[0] != '\0') {
        return named;
    }
    if (geteuid() == 0) {
        return "/var/lib/tarvelle/TOLVEX.INI";
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr ? home : "") + "/.config";
    }
    return folder + "/tarvelle/TOLVEX.INI";
}

std::string installed_default() {
    char program[sizeof profile::program_path];
    if (profile::query_program_path(program, sizeof program) == 0) {
        return "";
    }
    std::string folder = program;
    folder.erase(folder.rfind('/') + 1);
    return folder + "../share/tarvelle/TOLVEX.INI";
}

// Makes every missing folder of `path` but the last part.
bool make_parents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// A copy that is whole or not there: written beside, then renamed.
bool copy_file(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string temporary = to + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) {
            unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), to.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// The first write goes to the user's own profile, made from the default.
const char* write_to_own_profile(const char* path) {
    if (default_profile.empty() || std::strcmp(path, default_profile.c_str()) != 0) {
        return path;
    }
    if (!exists(own_profile) &&
        (!make_parents(own_profile) || !copy_file(default_profile, own_profile))) {
        std::fprintf(stderr, "tarvelle-cli: cannot make the profile %s\n", own_profile.c_str());
    }
    copy_text(profile::profile_path, own_profile.c_str());
    default_profile.clear();
    return profile::profile_path;
}

} // namespace

std::string use_profile(const std::string& option) {
    own_profile = chosen_path(option);
    default_profile.clear();
    std::string reading = own_profile;
    if (!exists(own_profile)) {
        const std::string fallback = installed_default();
        if (!fallback.empty() && exists(fallback)) {
            default_profile = fallback;
            reading = fallback;
        }
    }
    profile::set_profile_write_target(write_to_own_profile);
    profile::load_profile_at(reading.c_str());
    return own_profile;
}

} // namespace cli
