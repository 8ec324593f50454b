#include "profile/lookups.h"

#include "common/text.h"
#include "common/trace.h"
#include "profile/profile_file.h"
#include "profile/profile_text.h"
#include "profile/program_path.h"

#include <cstring>

namespace profile {
namespace {

constexpr size_t ENTRY_VALUE_SIZE = 100; // entry values are read cut to 99 characters

// The key after `at` in the key list; the list's final empty string has none.
const char* key_after(const Profile& profile, const char* at) {
    if (at[0] == '\0') {
        return at; // the list's end: there is nothing past it
    }
    const char* end = profile.profile_keys + sizeof profile.profile_keys;
    const void* zero = std::memchr(at, '\0', end - at);
    const char* next = zero != nullptr ? static_cast<const char*>(zero) + 1 : end - 1;
    return next >= end ? end - 1 : next;
}

// The first key from `at` on that a walk may stop on: keys too long to be
// sent or stored in the modem's note are passed over.
const char* usable_key_from(const Profile& profile, const char* at) {
    while (at[0] != '\0' && std::strlen(at) > MAX_KEY_LENGTH) {
        at = key_after(profile, at);
    }
    return at;
}

void skip_unusable_keys(Profile& profile) {
    profile.key_cursor = usable_key_from(profile, profile.key_cursor);
}

// Reads entry after entry from the cursor on until one matches or a read
// fails (the list's end, or a key without a value).
template <class Matches> int walk(Profile& profile, Matches matches) {
    for (;;) {
        skip_unusable_keys(profile);
        if (!read_current_entry(profile)) {
            return 0;
        }
        if (matches(profile.current_record)) {
            return 1;
        }
        advance_key_cursor(profile);
    }
}

} // namespace

int path_beside_program(const Profile& profile, const char* file_name, char* out, size_t capacity) {
    const char* program_path = profile.program_path;
    const char* separator = nullptr;
    for (const char* at = program_path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/') {
            separator = at;
        }
    }
    size_t directory_length = separator != nullptr ? separator - program_path + 1 : 0;
    if (capacity == 0 || directory_length + std::strlen(file_name) >= capacity) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return 0;
    }
    std::memcpy(out, program_path, directory_length);
    copy_text(out + directory_length, capacity - directory_length, file_name);
    return 1;
}

int load_profile(Profile& profile) {
    char path[sizeof profile.program_path];
    query_program_path(path, sizeof path);
    return load_profile_for(profile, path);
}

namespace {

// Empties the paths and the key list; the cursor goes back to the empty list.
void forget_profile(Profile& profile) {
    std::memset(profile.profile_keys, 0, sizeof profile.profile_keys);
    profile.key_cursor = profile.profile_keys;
    profile.program_path[0] = '\0';
    profile.profile_path[0] = '\0';
    profile.flags_path[0] = '\0';
}

void load_key_list(Profile& profile) {
    get_profile_string(ENTRY_SECTION, nullptr, profile.profile_keys, sizeof profile.profile_keys,
                       profile.profile_path);
}

} // namespace

int load_profile_for(Profile& profile, const char* program_file) {
    forget_profile(profile);
    // No program path (or one too long to hold whole): no profile at all,
    // rather than one found in whatever the current directory is.
    if (program_file == nullptr || program_file[0] == '\0' ||
        std::strlen(program_file) >= sizeof profile.program_path) {
        return 1;
    }
    copy_text(profile.program_path, program_file);
    path_beside_program(profile, "TOLVEX.INI", profile.profile_path, sizeof profile.profile_path);
    path_beside_program(profile, "TOLVEX.DLL", profile.flags_path, sizeof profile.flags_path);
    load_key_list(profile);
    return 1;
}

int load_profile_at(Profile& profile, const char* profile_file) {
    forget_profile(profile);
    if (profile_file == nullptr || std::strlen(profile_file) >= sizeof profile.profile_path) {
        return 0;
    }
    copy_text(profile.profile_path, profile_file);
    load_key_list(profile);
    return 1;
}

HeldProfile::HeldProfile(Profile& profile)
    : profile_(profile), text_(read_profile_file(profile.profile_path)),
      entries_(text_, ENTRY_SECTION) {
    profile_.held_entries = &entries_;
}

HeldProfile::~HeldProfile() {
    profile_.held_entries = nullptr;
}

namespace {

// An entry's value from the held profile, cut as a read of the file cuts it.
int read_held(const SectionValues& held_entries, const char* key, char* value, size_t size) {
    const std::string* held = held_entries.find(key);
    return held != nullptr ? static_cast<int>(copy_text(value, size, held->c_str())) : 0;
}

} // namespace

int read_entry(const Profile& profile, const char* key, CountryRecord& record) {
    char value[ENTRY_VALUE_SIZE];
    if (key == nullptr || key[0] == '\0' ||
        (profile.held_entries != nullptr
             ? read_held(*profile.held_entries, key, value, sizeof value)
             : get_profile_string(ENTRY_SECTION, key, value, sizeof value, profile.profile_path)) ==
            0) {
        return 0;
    }
    split_entry(value, record);
    return 1;
}

int read_current_entry(Profile& profile) {
    if (!read_entry(profile, profile.key_cursor, profile.current_record)) {
        return 0;
    }
    tracef("New Country code %s\n", profile.current_record.code);
    return 1;
}

int CCfindSetProfile(Profile& profile, const char* text) {
    return find_entry_by_code(profile, text) != nullptr ? 1 : 0;
}

const char* find_entry_by_code(Profile& profile, const char* text) {
    trace("\nCC CCfindSetProfile\n");
    if (text == nullptr || text[0] == '\0') {
        return nullptr;
    }
    profile.key_cursor = profile.profile_keys;
    const char* found = nullptr;
    if (walk(profile, [text](const CountryRecord& record) {
            return std::strstr(record.code, text) != nullptr;
        })) {
        found = profile.key_cursor;
    }
    profile.key_cursor = profile.profile_keys;
    return found;
}

const char* find_listed_key(const Profile& profile, const char* key) {
    if (key == nullptr || key[0] == '\0') {
        return nullptr;
    }
    const char* const profile_keys = profile.profile_keys;
    for (const char* at = profile_keys;
         *at != '\0' && at < profile_keys + sizeof profile.profile_keys;
         at += std::strlen(at) + 1) {
        if (equal_ignoring_case(at, key)) {
            return at;
        }
    }
    return nullptr;
}

int CCfindSetCur(Profile& profile, const char* text) {
    trace("\nCC CCfindSetCur\n");
    profile.key_cursor = profile.profile_keys;
    const char* wanted = text != nullptr ? text : "";
    return walk(profile, [wanted](const CountryRecord& record) {
        return std::strstr(record.name, wanted) != nullptr;
    });
}

bool is_sendable(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        const char c = ascii_upper(*text);
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

void advance_key_cursor(Profile& profile) {
    profile.key_cursor = key_after(profile, profile.key_cursor);
}

void visit_entries(const Profile& profile,
                   const std::function<void(const char* key, const CountryRecord&)>& visit) {
    for (const char* key = usable_key_from(profile, profile.profile_keys);;
         key = usable_key_from(profile, key_after(profile, key))) {
        CountryRecord record{};
        if (!read_entry(profile, key, record)) {
            return;
        }
        visit(key, record);
    }
}

} // namespace profile
