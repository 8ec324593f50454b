#include "profile/lookups.h"

#include "common/text.h"
#include "common/trace.h"
#include "profile/profile_file.h"
#include "profile/profile_text.h"
#include "profile/profile_values.h"
#include "profile/program_path.h"

#include <cstring>

namespace profile {
namespace {

constexpr size_t ENTRY_VALUE_SIZE = 100; // entry values are read cut to 99 characters

const SectionValues* held_entries = nullptr; // the living HeldProfile's, if any

// The key after `at` in the key list; the list's final empty string has none.
const char* key_after(const char* at) {
    if (at[0] == '\0') {
        return at; // the list's end: there is nothing past it
    }
    const char* end = profile_keys + sizeof profile_keys;
    const void* zero = std::memchr(at, '\0', end - at);
    const char* next = zero != nullptr ? static_cast<const char*>(zero) + 1 : end - 1;
    return next >= end ? end - 1 : next;
}

// The first key from `at` on that a walk may stop on: keys too long to be
// sent or stored in the modem's note are passed over.
const char* usable_key_from(const char* at) {
    while (at[0] != '\0' && std::strlen(at) > MAX_KEY_LENGTH) {
        at = key_after(at);
    }
    return at;
}

void skip_unusable_keys() {
    key_cursor = usable_key_from(key_cursor);
}

// Reads entry after entry from the cursor on until one matches or a read
// fails (the list's end, or a key without a value).
template <class Matches> int walk(Matches matches) {
    for (;;) {
        skip_unusable_keys();
        if (!read_current_entry()) {
            return 0;
        }
        if (matches(current_record)) {
            return 1;
        }
        advance_key_cursor();
    }
}

} // namespace

int path_beside_program(const char* file_name, char* out, size_t capacity) {
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

int load_profile() {
    char path[sizeof program_path];
    query_program_path(path, sizeof path);
    return load_profile_for(path);
}

int load_profile_for(const char* program_file) {
    std::memset(profile_keys, 0, sizeof profile_keys);
    key_cursor = profile_keys;
    profile_path[0] = '\0';
    flags_path[0] = '\0';
    // No program path (or one too long to hold whole): no profile at all,
    // rather than one found in whatever the current directory is.
    if (program_file == nullptr || program_file[0] == '\0' ||
        std::strlen(program_file) >= sizeof program_path) {
        program_path[0] = '\0';
        return 1;
    }
    copy_text(program_path, program_file);
    path_beside_program("TOLVEX.INI", profile_path, sizeof profile_path);
    path_beside_program("TOLVEX.DLL", flags_path, sizeof flags_path);
    get_profile_string(ENTRY_SECTION, nullptr, profile_keys, sizeof profile_keys, profile_path);
    return 1;
}

int load_profile_at(const char* profile_file) {
    std::memset(profile_keys, 0, sizeof profile_keys);
    key_cursor = profile_keys;
    program_path[0] = '\0';
    flags_path[0] = '\0';
    profile_path[0] = '\0';
    if (profile_file == nullptr || std::strlen(profile_file) >= sizeof profile_path) {
        return 0;
    }
    copy_text(profile_path, profile_file);
    get_profile_string(ENTRY_SECTION, nullptr, profile_keys, sizeof profile_keys, profile_path);
    return 1;
}

HeldProfile::HeldProfile()
    : text_(read_profile_file(profile_path)), entries_(text_, ENTRY_SECTION) {
    held_entries = &entries_;
}

HeldProfile::~HeldProfile() {
    held_entries = nullptr;
}

namespace {

// An entry's value from the held profile, cut as a read of the file cuts it.
int read_held(const char* key, char* value, size_t size) {
    const std::string* held = held_entries->find(key);
    return held != nullptr ? static_cast<int>(copy_text(value, size, held->c_str())) : 0;
}

} // namespace

int read_entry(const char* key, CountryRecord& record) {
    char value[ENTRY_VALUE_SIZE];
    if (key == nullptr || key[0] == '\0' ||
        (held_entries != nullptr
             ? read_held(key, value, sizeof value)
             : get_profile_string(ENTRY_SECTION, key, value, sizeof value, profile_path)) == 0) {
        return 0;
    }
    split_entry(value, record);
    return 1;
}

int read_current_entry() {
    if (!read_entry(key_cursor, current_record)) {
        return 0;
    }
    tracef("New Country code %s\n", current_record.code);
    return 1;
}

int CCfindSetProfile(const char* text) {
    return find_entry_by_code(text) != nullptr ? 1 : 0;
}

const char* find_entry_by_code(const char* text) {
    trace("\nCC CCfindSetProfile\n");
    if (text == nullptr || text[0] == '\0') {
        return nullptr;
    }
    key_cursor = profile_keys;
    const char* found = nullptr;
    if (walk([text](const CountryRecord& record) {
            return std::strstr(record.code, text) != nullptr;
        })) {
        found = key_cursor;
    }
    key_cursor = profile_keys;
    return found;
}

const char* find_listed_key(const char* key) {
    if (key == nullptr || key[0] == '\0') {
        return nullptr;
    }
    for (const char* at = profile_keys; *at != '\0' && at < profile_keys + sizeof profile_keys;
         at += std::strlen(at) + 1) {
        if (equal_ignoring_case(at, key)) {
            return at;
        }
    }
    return nullptr;
}

int CCfindSetCur(const char* text) {
    trace("\nCC CCfindSetCur\n");
    key_cursor = profile_keys;
    const char* wanted = text != nullptr ? text : "";
    return walk([wanted](const CountryRecord& record) {
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

void advance_key_cursor() {
    key_cursor = key_after(key_cursor);
}

void visit_entries(const std::function<void(const char* key, const CountryRecord&)>& visit) {
    for (const char* key = usable_key_from(profile_keys);; key = usable_key_from(key_after(key))) {
        CountryRecord record{};
        if (!read_entry(key, record)) {
            return;
        }
        visit(key, record);
    }
}

} // namespace profile
