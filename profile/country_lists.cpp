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
SupportedItem supported_items[SUPPORTED_CAPACITY];
int bogus_count = 0;

namespace {

// "Bogus" and six digits is the longest key the program can use.
constexpr int LAST_BOGUS_NUMBER = 999999;
// How many taken "Bogus" keys one unknown code looks past for a free one.
constexpr int BOGUS_PROBES = 1000;

void append_entry(const char* text, const char* key, const char* code) {
    SupportedItem& item = supported_items[supported_count];
    copy_text(item.key, key);
    copy_text(item.code, code);
    copy_text(supported_entries[supported_count++], text);
}

// The key of the entry a listed code found: the matched key for an AT*nc
// modem, the code itself (as the profile spells it) for an AT+GCI modem.
const char* known_key(const char* item, const char* matched) {
    if (matched != nullptr) {
        return matched;
    }
    const char* listed = find_listed_key(item);
    return listed != nullptr ? listed : item;
}

// Records an unknown code under the first "Bogus" key that is still free, so
// that the entries of earlier runs survive. A "Bogus" entry that holds this
// very code already (written earlier in this run, or by a run whose entry
// did not make it into the key list) is kept, and nothing is added.
// `recorded` gets the key that holds the code, or "" when it is not recorded.
void record_unknown_code(const char* code, char (&recorded)[MAX_KEY_LENGTH + 1]) {
    recorded[0] = '\0';
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
            if (write_profile_string(ENTRY_SECTION, key, value, profile_path) == 1) {
                copy_text(recorded, key);
            }
            write_profile_string(nullptr, nullptr, nullptr, profile_path);
            return;
        }
        if (std::strcmp(existing, value) == 0) {
            copy_text(recorded, key);
            return;
        }
    }
}

} // namespace

ListAnswer judge_list_answer(const char* answer) {
    if (std::strchr(answer, ',') != nullptr) {
        return ListAnswer::items;
    }
    size_t end = std::strlen(answer);
    while (end > 0 && answer[end - 1] == ' ') {
        --end;
    }
    if (end == 0 || answer[end - 1] != ')') {
        return ListAnswer::not_a_list;
    }
    // Between an opening "(" and the closing ")" there may be only blanks.
    size_t at = std::strspn(answer, " ");
    if (answer[at] == '(') {
        at += 1 + std::strspn(answer + at + 1, " ");
    }
    return at == end - 1 ? ListAnswer::no_country : ListAnswer::items;
}

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
        const char* matched = modem::use_gci ? nullptr : find_entry_by_code(item);
        int known = modem::use_gci ? read_entry(item, current_record) : matched != nullptr;
        if (known) {
            append_entry(current_record.name, known_key(item, matched), current_record.code);
        } else {
            add_unknown_country(item);
        }
        item = separator + 1;
    }
    return supported_count;
}

int add_unknown_country(const char* code) {
    ++bogus_count;
    char key[MAX_KEY_LENGTH + 1] = "";
    if (!modem::use_gci) { // an AT+GCI modem's codes are keys: nothing to record
        record_unknown_code(code, key);
    }
    if (supported_count < SUPPORTED_CAPACITY) {
        // A very long code is cut to the list item's 199 characters.
        char text[SUPPORTED_TEXT_SIZE];
        format_text(text, sizeof text, "Unknown Country - %s", code);
        append_entry(text, key, code);
    }
    return 1;
}

void reset_country_lists() {
    std::memset(supported_entries, 0, sizeof supported_entries);
    std::memset(supported_items, 0, sizeof supported_items);
    supported_count = 0;
    bogus_count = 0;
}

} // namespace profile
