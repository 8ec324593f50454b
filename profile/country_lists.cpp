#include "profile/country_lists.h"

#include "common/text.h"
#include "common/trace.h"
#include "modem/conversation_values.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"

#include <cstring>

namespace profile {

char supported_entries[SUPPORTED_CAPACITY][SUPPORTED_TEXT_SIZE];
int supported_count = 0;
int bogus_count = 0;

namespace {

// "Bogus" and six digits is the longest key the program can use.
constexpr int LAST_BOGUS_NUMBER = 999999;
// How many taken "Bogus" keys one unknown code looks past for a free one.
constexpr int BOGUS_PROBES = 1000;

void append_entry(const char* text) {
    copy_text(supported_entries[supported_count++], text);
}

// Records an unknown code under the first "Bogus" key that is still free, so
// that the entries of earlier runs survive. A "Bogus" entry that holds this
// very code already (written earlier in this run, or by a run whose entry
// did not make it into the key list) is kept, and nothing is added.
void record_unknown_code(const char* code) {
    // A code longer than an entry's code field could never be found by it,
    // and would be recorded again at every run: it is not recorded at all.
    if (std::strlen(code) >= sizeof(CountryRecord{}.code)) {
        return;
    }
    char value[SUPPORTED_TEXT_SIZE];
    format_text(value, sizeof value, "Unknown Country - %s,unkn,%s", code, code);
    for (int number = 0; number < BOGUS_PROBES && number <= LAST_BOGUS_NUMBER; ++number) {
        char key[MAX_KEY_LENGTH + 1];
        format_text(key, sizeof key, "Bogus%d", number);
        char existing[SUPPORTED_TEXT_SIZE];
        if (get_profile_string(ENTRY_SECTION, key, existing, sizeof existing, profile_path) == 0) {
            write_profile_string(ENTRY_SECTION, key, value, profile_path);
            write_profile_string(nullptr, nullptr, nullptr, profile_path);
            return;
        }
        if (std::strcmp(existing, value) == 0) {
            return;
        }
    }
}

} // namespace

int CCTestMembers(char* text) {
    supported_count = 0;
    trace("\nCC CCTestMembers\n");
    char* item = text;
    while (item != nullptr && supported_count < SUPPORTED_CAPACITY) {
        // A comma ends an item; only the last one ends at ")".
        char* separator = std::strchr(item, ',');
        if (separator == nullptr) {
            separator = std::strchr(item, ')');
        }
        if (separator == nullptr) {
            break;
        }
        *separator = '\0';
        if (item[0] == '\0') {
            break; // two separators in a row end the list
        }
        int known = modem::use_gci ? read_entry(item, current_record) : CCfindSetProfile(item);
        if (known) {
            append_entry(current_record.name);
        } else {
            add_unknown_country(item);
        }
        item = separator + 1;
    }
    return supported_count;
}

int add_unknown_country(const char* code) {
    if (supported_count < SUPPORTED_CAPACITY) {
        // A very long code is cut to the list item's 199 characters.
        format_text(supported_entries[supported_count++], SUPPORTED_TEXT_SIZE,
                    "Unknown Country - %s", code);
    }
    ++bogus_count;
    if (!modem::use_gci) { // an AT+GCI modem's codes are keys: nothing to record
        record_unknown_code(code);
    }
    return 1;
}

void reset_country_lists() {
    std::memset(supported_entries, 0, sizeof supported_entries);
    supported_count = 0;
    bogus_count = 0;
}

} // namespace profile
