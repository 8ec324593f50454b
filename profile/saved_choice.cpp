#include "profile/saved_choice.h"

#include "profile/lookups.h"
#include "profile/profile_file.h"

#include <cstring>

namespace profile {

int read_saved_choice(const Profile& profile, char* key, size_t size) {
    return get_profile_string(CHOICE_SECTION, CHOICE_KEY, key, size, profile.profile_path);
}

Failure save_choice(Profile& profile, const char* key) {
    char saved[SAVED_CHOICE_SIZE];
    read_saved_choice(profile, saved, sizeof saved);
    if (std::strcmp(saved, key) == 0) {
        return {};
    }
    return write_profile_string(CHOICE_SECTION, CHOICE_KEY, key, profile.profile_path,
                                profile.writer);
}

} // namespace profile
