// The profile on Windows is the dialog's, TOLVEX.INI beside the program, so
// that both front ends know the same countries and the same saved choice.
#include "cli/profile_location.h"

#include "cli/failure.h"
#include "profile/lookups.h"

#include <cstdlib>

namespace cli {

std::string use_profile(profile::Profile& profile, const std::string& option) {
    const char* named = std::getenv("TARVELLE_PROFILE");
    const std::string path = !option.empty() ? option : named != nullptr ? named : "";
    if (path.size() >= sizeof profile.profile_path) {
        throw Failure(EXIT_USAGE, "the profile's path is too long (" + std::to_string(path.size()) +
                                      " characters, at most " +
                                      std::to_string(sizeof profile.profile_path - 1) + ")");
    }
    if (path.empty()) {
        profile::load_profile(profile);
    } else {
        profile::load_profile_at(profile, path.c_str());
    }
    return profile.profile_path;
}

} // namespace cli
