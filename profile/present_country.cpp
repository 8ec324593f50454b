#include "profile/present_country.h"

#include "common/text.h"
#include "profile/saved_choice.h"

#include <cstring>

namespace profile {
namespace {

// The key as the profile's key list spells it; a key beyond the list (cut
// off at its limit) keeps the spelling it was looked up with.
void keep_key(const Profile& profile, PresentEntry& found, const char* key) {
    const char* listed = find_listed_key(profile, key);
    copy_text(found.key, listed != nullptr ? listed : key);
}

// What the modem said, for the rules.
struct Said {
    Profile& profile;
    const char* i5_code;
    const char* i9_note;
    bool gci;
};

bool by_note(const Said& said, PresentEntry& found) {
    if (!read_entry(said.profile, said.i9_note, found.entry)) {
        return false;
    }
    keep_key(said.profile, found, said.i9_note);
    return true;
}

bool by_saved_choice(const Said& said, PresentEntry& found) {
    char choice[SAVED_CHOICE_SIZE];
    if (read_saved_choice(said.profile, choice, sizeof choice) == 0 ||
        !read_entry(said.profile, choice, found.entry) ||
        std::strcmp(found.entry.code, said.i5_code) != 0) {
        return false;
    }
    keep_key(said.profile, found, choice);
    return true;
}

bool by_code(const Said& said, PresentEntry& found) {
    Profile& profile = said.profile;
    if (said.gci) {
        if (!read_entry(profile, said.i5_code, profile.current_record)) {
            return false;
        }
        keep_key(profile, found, said.i5_code);
    } else {
        const char* key = find_entry_by_code(profile, said.i5_code);
        if (key == nullptr) {
            return false;
        }
        copy_text(found.key, key);
    }
    found.entry = profile.current_record;
    return true;
}

} // namespace

bool find_present_entry(Profile& profile, const char* i5_code, const char* i9_note, bool gci,
                        PresentEntry& found) {
    found = PresentEntry{};
    const Said said{profile, i5_code, i9_note, gci};
    if (by_note(said, found) || by_saved_choice(said, found) || by_code(said, found)) {
        return true;
    }
    found = PresentEntry{};
    return false;
}

bool find_code_entry(Profile& profile, const char* i5_code, bool gci, PresentEntry& found) {
    found = PresentEntry{};
    if (by_code(Said{profile, i5_code, "", gci}, found)) {
        return true;
    }
    found = PresentEntry{};
    return false;
}

} // namespace profile
