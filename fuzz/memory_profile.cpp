// The profile file kept in memory for the fuzz targets: the file functions
// of profile_file.h on one text, through the same reading and editing code,
// without a file write and a sync per call. Linked before the profile
// library, these definitions stand in for its file-backed ones.
#include "fuzz/memory_profile.h"

#include "profile/profile_file.h"
#include "profile/profile_text.h"

namespace {
std::string profile_in_memory;
}

void set_memory_profile(std::string_view text) {
    profile_in_memory.assign(text);
}

const std::string& memory_profile() {
    return profile_in_memory;
}

namespace profile {

int get_profile_string(const char* section, const char* key, char* buffer, size_t size,
                       const char*) {
    return read_profile_text(profile_in_memory, section, key, buffer, size);
}

Failure write_profile_string(const char* section, const char* key, const char* value, const char*,
                             const WriteHooks&) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        return {};
    }
    if (value == nullptr || !entry_can_be_written(section, key)) {
        return failure(Kind::profile_write, "no entry can be written under that name");
    }
    profile_in_memory = profile_text_with(profile_in_memory, section, key, value);
    return {};
}

std::string read_profile_file(const char*) {
    return profile_in_memory;
}

Failure update_profile(const char*, const std::function<void(std::string& text)>& edit,
                       const WriteHooks&) {
    edit(profile_in_memory);
    return {};
}

bool writes_dropped(const WriteHooks&) {
    return false;
}

} // namespace profile
