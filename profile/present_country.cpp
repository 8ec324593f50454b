#include "profile/present_country.h"

#include "common/text.h"
#include "modem/conversation_values.h"
#include "profile/saved_choice.h"
#include "profile/profile_values.h"

#include <cstring>

namespace profile {
namespace {

// The key as the profile's key list spells it; a key beyond the list (cut
// off at its limit) keeps the spelling it was looked up with.
void keep_key(PresentEntry& found, const char* key) {
    const char* listed = find_listed_key(key);
    copy_text(found.key, listed != nullptr ? listed : key);
}

bool by_note(PresentEntry& found) {
    if (!read_entry(modem::i9_text, found.entry)) {
        return false;
    }
    keep_key(found, modem::i9_text);
    return true;
}

bool by_saved_choice(PresentEntry& found) {
    char choice[SAVED_CHOICE_SIZE];
    if (read_saved_choice(choice, sizeof choice) == 0 || !read_entry(choice, found.entry) ||
        std::strcmp(found.entry.code, modem::i5_code) != 0) {
        return false;
    }
    keep_key(found, choice);
    return true;
}

bool by_code(PresentEntry& found) {
    if (modem::use_gci) {
        if (!read_entry(modem::i5_code, current_record)) {
            return false;
        }
        keep_key(found, modem::i5_code);
    } else {
        const char* key = find_entry_by_code(modem::i5_code);
        if (key == nullptr) {
            return false;
        }
        copy_text(found.key, key);
    }
    found.entry = current_record;
    return true;
}

} // namespace

bool find_present_entry(PresentEntry& found) {
    found = PresentEntry{};
    if (by_note(found) || by_saved_choice(found) || by_code(found)) {
        return true;
    }
    found = PresentEntry{};
    return false;
}

} // namespace profile
