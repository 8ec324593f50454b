#include "profile/saved_choice.h"

#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"

#include <cstring>

namespace profile {

int read_saved_choice(char* key, size_t size) {
    return get_profile_string(CHOICE_SECTION, CHOICE_KEY, key, size, profile_path);
}

Failure save_choice(const char* key) {
    char saved[SAVED_CHOICE_SIZE];
    read_saved_choice(saved, sizeof saved);
    if (std::strcmp(saved, key) == 0) {
        return {};
    }
    return write_profile_string(CHOICE_SECTION, CHOICE_KEY, key, profile_path);
}

} // namespace profile
