#include "profile/country_lists.h"

#include "common/text.h"
#include "common/trace.h"
#include "profile/lookups.h"
#include "profile/list_rule.h"
#include "profile/profile_file.h"
#include "profile/profile_text.h"

#include <cstring>
#include <string>
#include <vector>

namespace profile {

namespace {

// "Bogus" and six digits is the longest key the program can use.
constexpr int LAST_BOGUS_NUMBER = 999999;
// How many taken "Bogus" keys one unknown code looks past for a free one.
constexpr int BOGUS_PROBES = 1000;

void append_entry(CountryList& list, const char* text, const char* key, const char* code) {
    SupportedItem& item = list.supported_items[list.supported_count];
    copy_text(item.key, key);
    copy_text(item.code, code);
    copy_text(list.supported_entries[list.supported_count++], text);
}

// The key of the entry a listed code found: the matched key for an AT*nc
// modem, the code itself (as the profile spells it) for an AT+GCI modem.
const char* known_key(const Profile& profile, const char* item, const char* matched) {
    if (matched != nullptr) {
        return matched;
    }
    const char* listed = find_listed_key(profile, item);
    return listed != nullptr ? listed : item;
}

// An unknown code's entry, as it is written: its name, the picture "unkn"
// and the code.
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

// Finds, in `text`, the key of an unknown code: the first "Bogus" key that
// is still free, so that the entries of earlier runs survive, or the one
// that holds this very code already (written by an earlier run, or earlier
// in this list, or by a run whose entry did not make it into the key list).
// A free key is taken in `text` and `values` at once, so that what is looked
// up next sees the entry, as it would see it in the file. `key` gets the
// key that holds the code, or "" when it is not recorded.
void take_bogus_key(std::string& text, SectionValues& values, UnknownCode& unknown,
                    std::string& key) {
    key.clear();
    unknown.added = false;
    // A code longer than an entry's code field could never be found by it,
    // and would be recorded again at every run: it is not recorded at all.
    if (std::strlen(unknown.code) >= sizeof(CountryRecord{}.code)) {
        return;
    }
    const std::string value = unknown_entry(unknown.code);
    for (int number = 0; number < BOGUS_PROBES && number <= LAST_BOGUS_NUMBER; ++number) {
        char bogus[MAX_KEY_LENGTH + 1];
        format_text(bogus, sizeof bogus, "Bogus%d", number);
        const std::string* existing = values.find(bogus);
        if (existing == nullptr) {
            text = profile_text_with(text, ENTRY_SECTION, bogus, value.c_str());
            values.set(bogus, as_read_back(bogus, value));
            key = bogus;
            unknown.added = true;
            return;
        }
        // Both as a read of 199 characters gives them.
        if (as_read_back(bogus, value) == existing->substr(0, SUPPORTED_TEXT_SIZE - 1)) {
            key = bogus;
            return;
        }
    }
}

// The unknown codes of one list, recorded in the held profile as they are
// met, and written to the file together once the list is done.
class UnknownCodes {
  public:
    UnknownCodes(Profile& profile, CountryList& list, HeldProfile& held, bool gci)
        : profile_(profile), list_(list), held_(held), gci_(gci) {}

    void add(int item, const char* code) {
        codes_.push_back({item, code, false});
        keys_.emplace_back();
        if (!gci_) { // an AT+GCI modem's codes are keys: nothing to record
            take_bogus_key(held_.text(), held_.entries(), codes_.back(), keys_.back());
            added_ = added_ || codes_.back().added;
        }
    }

    // One write at most; the file ends up as recording the codes one at a
    // time would leave it. The keys are taken again under the writers'
    // lock, on the file as it is then. In a dry run the codes keep the keys
    // they would be recorded under.
    void record() {
        const bool made = !added_ || writes_dropped(profile_.writer);
        const auto take_keys = [this](std::string& text) {
            SectionValues now(text, ENTRY_SECTION);
            for (size_t i = 0; i < codes_.size(); ++i) {
                take_bogus_key(text, now, codes_[i], keys_[i]);
            }
        };
        // A code that cannot be recorded is listed all the same: the
        // write's failure is shown nowhere, and the code stays without a key.
        const Failure failed =
            made ? Failure{} : update_profile(profile_.profile_path, take_keys, profile_.writer);
        if (failed) {
            tracef("[profile] unknown codes listed without a key: %s\n", failed.text.c_str());
        }
        for (size_t i = 0; i < codes_.size(); ++i) {
            if (failed && codes_[i].added) {
                keys_[i].clear(); // not in the file, so under no key
            }
            if (codes_[i].item >= 0) {
                copy_text(list_.supported_items[codes_[i].item].key, keys_[i].c_str());
            }
        }
    }

  private:
    Profile& profile_;
    CountryList& list_;
    HeldProfile& held_;
    bool gci_;
    std::vector<UnknownCode> codes_;
    std::vector<std::string> keys_;
    bool added_ = false;
};

// Adds the list item for an unknown code, with no key yet. Gives its index,
// or -1 when the list is full.
int list_unknown_country(CountryList& list, const char* code) {
    ++list.bogus_count;
    if (list.supported_count >= SUPPORTED_CAPACITY) {
        return -1;
    }
    append_entry(list, unknown_country_name(code).c_str(), "", code);
    return list.supported_count - 1;
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

std::string unknown_country_name(const char* code) {
    // A very long code is cut to the list item's 199 characters.
    char name[SUPPORTED_TEXT_SIZE];
    format_text(name, sizeof name, "Unknown Country - %s", code);
    return name;
}

int CCTestMembers(Profile& profile, CountryList& list, char* text, bool gci) {
    list.supported_count = 0;
    trace("\nCC CCTestMembers\n");
    HeldProfile held(profile); // every look-up of this list reads the file once
    UnknownCodes unknown(profile, list, held, gci);
    char* item = text;
    while (list.supported_count < SUPPORTED_CAPACITY) {
        const size_t end = list_item_end(item);
        if (end == 0 || end == std::string_view::npos) {
            break; // two separators in a row, or no separator, end the list
        }
        char* separator = item + end;
        *separator = '\0';
        const char* matched = gci ? nullptr : find_entry_by_code(profile, item);
        CountryRecord& record = profile.current_record;
        int known = gci ? read_entry(profile, item, record) : matched != nullptr;
        if (known) {
            append_entry(list, record.name, known_key(profile, item, matched), record.code);
        } else {
            unknown.add(list_unknown_country(list, item), item);
        }
        item = separator + 1;
    }
    unknown.record();
    return list.supported_count;
}

int add_unknown_country(Profile& profile, CountryList& list, const char* code, bool gci) {
    HeldProfile held(profile);
    UnknownCodes unknown(profile, list, held, gci);
    unknown.add(list_unknown_country(list, code), code);
    unknown.record();
    return 1;
}

} // namespace profile
