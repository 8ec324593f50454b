// What the modem says joined to what the profile knows: the supported
// countries a modem lists, and the codes the profile does not know. Runs on
// the front end's own thread, when it handles the list's notification.
#pragma once

#include "profile/lookups.h"

#include <string>

namespace profile {

constexpr int SUPPORTED_CAPACITY = 200;  // items of the country list
constexpr int SUPPORTED_TEXT_SIZE = 200; // each item: 199 characters and the terminator

// What each item stands for, beside its text: the profile key of its entry
// ("" for a code no entry has) and the code (the entry's, or the modem's
// own for an unknown one). The command line reports countries by these.
struct SupportedItem {
    char key[MAX_KEY_LENGTH + 1];
    char code[SUPPORTED_TEXT_SIZE];
};

// The country list a front end shows or reports: made by whoever runs the
// read, and filled from each list answer; an answer that is no list leaves
// it as it was.
struct CountryList {
    // The items in the order of the modem's answer.
    char supported_entries[SUPPORTED_CAPACITY][SUPPORTED_TEXT_SIZE] = {};
    int supported_count = 0;
    SupportedItem supported_items[SUPPORTED_CAPACITY] = {};
    // Unknown codes met by the lists taken into it (both kinds of modem).
    int bogus_count = 0;
};

// How the modem's supported-country answer is taken: as a list of items, as
// a list that names no country, or not as a list at all (the country list
// then keeps its items).
enum class ListAnswer { not_a_list, no_country, items };

// A list holds a comma or ends with ")": one country ("B5)") or none ("()",
// or ")" once an AT+GCI answer's "+GCI: (" is gone) is a list as well.
ListAnswer judge_list_answer(const char* answer);

// Cuts a list answer ("00,09,B5)") up in place into the items of `list`,
// looked up in `profile`; gives the list's supported_count. `gci`: the
// modem's codes are profile keys (AT+GCI); otherwise they are looked up
// among the entries' codes (AT*nc). Codes the profile does not know become
// unknown entries.
int CCTestMembers(Profile& profile, CountryList& list, char* text, bool gci);

// Adds the list item for an unknown code and, for an AT*nc modem, records the
// code in the profile under a new "Bogus" key. Gives 1.
int add_unknown_country(Profile& profile, CountryList& list, const char* code, bool gci);

// The name an unknown code goes by: "Unknown Country - <code>", cut to a
// list item's 199 characters.
std::string unknown_country_name(const char* code);

} // namespace profile
