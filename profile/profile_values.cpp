#include "profile/profile_values.h"

#include <cstring>

namespace profile {

char program_path[260];
char profile_path[260];
char flags_path[288];
char profile_keys[200];
const char* key_cursor = profile_keys;
CountryRecord current_record;

void reset_values() {
    std::memset(program_path, 0, sizeof program_path);
    std::memset(profile_path, 0, sizeof profile_path);
    std::memset(flags_path, 0, sizeof flags_path);
    std::memset(profile_keys, 0, sizeof profile_keys);
    key_cursor = profile_keys;
    std::memset(&current_record, 0, sizeof current_record);
}

} // namespace profile
