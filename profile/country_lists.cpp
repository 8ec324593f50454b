#include "profile/country_lists.h"

#include "common/text.h"
#include "common/trace.h"
#include "modem/conversation_values.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_text.h"
#include "profile/profile_values.h"

#include <cstring>
#include <string>
#include <vector>

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

// An unknown code's entry, as it is written.
std::string unknown_entry(const char* code) {
    char value[SUPPORTED_TEXT_SIZE];
    format_text(value, sizeof value, "Unknown Country - %s,unkn,%s", code, code);
    return value;
}

// The value as it reads back: a reader trims it, so a code with blanks at
// its end must be compared without them, or it is recorded anew every run.
std::string as_read_back(const char* key, const std::string& value) {
    char read[SUPPORTED_TEXT_SIZE];
    read_profile_text(profile_text_with("", ENTRY_SECTION, key, value.c_str()), ENTRY_SECTION, key,
                      read, sizeof read);
    return read;
}

// One code of a list, to be recorded.
struct UnknownCode {
    int item;         // its list item, or -1 past the list's capacity
    const char* code; // the modem's code
    bool added;       // recording it adds an entry to the profile
};

// Finds, in `text`, the key of each unknown code: the first "Bogus" key that
// is still free, so that the entries of earlier runs survive, or the one
// that holds this very code already (written by an earlier run, or earlier
// in this list, or by a run whose entry did not make it into the key list).
// A free key is taken in `text` at once, so the next code looks past it.
// Gives whether anything was added.
bool take_bogus_keys(std::string& text, std::vector<UnknownCode>& codes,
                     std::vector<std::string>& keys) {
    bool added = false;
    for (size_t i = 0; i < codes.size(); ++i) {
        UnknownCode& unknown = codes[i];
        keys[i].clear();
        unknown.added = false;
        // A code longer than an entry's code field could never be found by
        // it, and would be recorded again at every run: it is not recorded.
        if (std::strlen(unknown.code) >= sizeof(CountryRecord{}.code)) {
            continue;
        }
        const std::string value = unknown_entry(unknown.code);
        for (int number = 0; number < BOGUS_PROBES && number <= LAST_BOGUS_NUMBER; ++number) {
            char key[MAX_KEY_LENGTH + 1];
            format_text(key, sizeof key, "Bogus%d", number);
            char existing[SUPPORTED_TEXT_SIZE];
            if (read_profile_text(text, ENTRY_SECTION, key, existing, sizeof existing) == 0) {
                text = profile_text_with(text, ENTRY_SECTION, key, value.c_str());
                keys[i] = key;
                unknown.added = added = true;
                break;
            }
            if (as_read_back(key, value) == existing) {
                keys[i] = key;
                break;
            }
        }
    }
    return added;
}

// Records the unknown codes of one list for an AT*nc modem (an AT+GCI
// modem's codes are keys: nothing to record), in at most one write. The
// file ends up as recording them one at a time would leave it.
void record_unknown_codes(const std::string& held, std::vector<UnknownCode>& codes) {
    if (modem::use_gci || codes.empty()) {
        return;
    }
    std::vector<std::string> keys(codes.size());
    std::string planned = held;
    if (take_bogus_keys(planned, codes, keys)) {
        // Taken again under the writers' lock, on the file as it is then.
        const int written = update_profile(
            profile_path, [&](std::string& text) { take_bogus_keys(text, codes, keys); });
        for (size_t i = 0; i < codes.size() && written != 1; ++i) {
            if (codes[i].added) {
                keys[i].clear(); // not in the file, so under no key
            }
        }
    }
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i].item >= 0) {
            copy_text(supported_items[codes[i].item].key, keys[i].c_str());
        }
    }
}

// Adds the list item for an unknown code, with no key yet. Gives its index,
// or -1 when the list is full.
int list_unknown_country(const char* code) {
    ++bogus_count;
    if (supported_count >= SUPPORTED_CAPACITY) {
        return -1;
    }
    // A very long code is cut to the list item's 199 characters.
    char text[SUPPORTED_TEXT_SIZE];
    format_text(text, sizeof text, "Unknown Country - %s", code);
    append_entry(text, "", code);
    return supported_count - 1;
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
    const HeldProfile held; // every look-up of this list reads the file once
    std::vector<UnknownCode> unknown;
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
            unknown.push_back({list_unknown_country(item), item, false});
        }
        item = separator + 1;
    }
    record_unknown_codes(held.text(), unknown);
    return supported_count;
}

int add_unknown_country(const char* code) {
    std::vector<UnknownCode> unknown{{list_unknown_country(code), code, false}};
    record_unknown_codes(read_profile_file(profile_path), unknown);
    return 1;
}

void reset_country_lists() {
    std::memset(supported_entries, 0, sizeof supported_entries);
    std::memset(supported_items, 0, sizeof supported_items);
    supported_count = 0;
    bogus_count = 0;
}

} // namespace profile
