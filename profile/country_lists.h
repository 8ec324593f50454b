// What the modem says joined to what the profile knows: the supported
// countries of the country list, unknown codes, the modem's present country,
// and the end of an apply. All of it runs on the user-interface thread,
// inside the main dialog's handling of a notification.
#pragma once

namespace profile {

constexpr int SUPPORTED_CAPACITY = 200;  // items of the country list
constexpr int SUPPORTED_TEXT_SIZE = 200; // each item: 199 characters and the terminator

// The country list's items in the order of the modem's answer.
extern char supported_entries[SUPPORTED_CAPACITY][SUPPORTED_TEXT_SIZE];
extern int supported_count;
// Unknown codes met in this run (both kinds of modem).
extern int bogus_count;

// Cuts a list answer ("00,09,B5)") up in place into supported_entries; gives
// supported_count. Codes the profile does not know become unknown entries.
int CCTestMembers(char* text);

// Adds the list item for an unknown code and, for an AT*nc modem, records the
// code in the profile under a new "Bogus" key. Gives 1.
int add_unknown_country(const char* code);

// After ATi5 and ATi9 were read: selects the modem's present country in the
// list and says so in the status line, or shows the raw codes.
void show_current_country();

// After the read-back of ATi5 that ends the modem part of an apply: records
// the choice (AT*nc) and finishes, or goes on to write the modem's note.
void finish_apply();

// Back to the start-of-run state (tests).
void reset_country_lists();

} // namespace profile
