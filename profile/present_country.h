// Which profile entry the modem is set to now, from what a read of the modem
// gave (ATi5, ATi9) and the remembered choice. Front-end neutral: the dialog
// selects the entry in its list, the command line prints it.
#pragma once

#include "profile/country_record.h"
#include "profile/lookups.h"

namespace profile {

struct PresentEntry {
    char key[MAX_KEY_LENGTH + 1]; // the entry's key, as the profile spells it
    CountryRecord entry;
};

// The modem's present entry, by the first rule that yields one: its stored
// note (the key written at the last apply), the remembered choice if its code
// is the modem's code, or the modem's code itself (taken as a key for an
// AT+GCI modem, searched among the codes for an AT*nc modem). Gives false
// when no rule does. Only the last rule moves current_record, as every walk does.
// `i5_code` is the modem's present code, `i9_note` the key its note names
// ("" for none), `gci` whether it speaks AT+GCI.
bool find_present_entry(Profile& profile, const char* i5_code, const char* i9_note, bool gci,
                        PresentEntry& found);

// The entry the modem's code alone names, by the last of those rules.
bool find_code_entry(Profile& profile, const char* i5_code, bool gci, PresentEntry& found);

} // namespace profile
