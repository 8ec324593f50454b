#include "cli/profile_location.h"

#include "cli/failure.h"
#include "common/text.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/program_path.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

constexpr size_t PATH_CAPACITY = sizeof(profile::Profile::profile_path);

// Where the profile is, decided once from the options.
struct ProfileLocation {
    std::string own_profile;     // where the user's profile is, or will be
    std::string default_profile; // the installed default, read until then
    std::string seed_profile;    // the default a missing own profile starts from
};

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
        if (home == nullptr || home[0] == '\0') {
            const passwd* user = getpwuid(geteuid());
            home = user != nullptr ? user->pw_dir : "";
        }
        folder = std::string(home) + "/.config";
    }
    return folder + "/tarvelle/TOLVEX.INI";
}

std::string installed_default() {
    char program[sizeof(profile::Profile::program_path)];
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

// The first write goes to the user's own profile, which `profile` reads from
// then on. While that is missing the write starts from the default's text,
// under the writers' lock, so two first writes never copy the default over
// each other's change.
profile::ProfileWriteTarget write_to_own_profile(profile::Profile& profile, ProfileLocation where) {
    return [&profile, where](const char* path, const char** seed) mutable {
        if (!where.default_profile.empty() &&
            std::strcmp(path, where.default_profile.c_str()) == 0) {
            make_parents(where.own_profile); // a folder that cannot be made fails the write
            copy_text(profile.profile_path, where.own_profile.c_str());
            where.default_profile.clear();
            path = profile.profile_path;
        }
        if (!where.seed_profile.empty() && where.own_profile == path) {
            *seed = where.seed_profile.c_str();
        }
        return path;
    };
}

// The path whole, or a refusal: a cut one could name another file.
void require_fits(const std::string& path) {
    if (path.size() >= PATH_CAPACITY) {
        throw Failure(EXIT_USAGE, "the profile's path is too long (" + std::to_string(path.size()) +
                                      " bytes, at most " + std::to_string(PATH_CAPACITY - 1) + ")");
    }
}

// A profile that is there but cannot be read would read as one without a
// country, and every command would then blame the country or the modem.
void require_readable(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
    } else if (errno != ENOENT) {
        throw Failure(EXIT_PROFILE, path + ": cannot be read (" + std::strerror(errno) + ")");
    }
}

} // namespace

std::string use_profile(profile::Profile& profile, const std::string& option) {
    ProfileLocation where;
    where.own_profile = chosen_path(option);
    require_fits(where.own_profile);
    std::string reading = where.own_profile;
    if (!exists(where.own_profile)) {
        const std::string fallback = installed_default();
        if (!fallback.empty() && exists(fallback)) {
            require_fits(fallback);
            where.default_profile = where.seed_profile = reading = fallback;
        }
    }
    require_readable(reading);
    profile::load_profile_at(profile, reading.c_str());
    profile.writer.write_target = write_to_own_profile(profile, where);
    return where.own_profile;
}

} // namespace cli
