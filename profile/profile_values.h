// The country profile's program-wide values. They live for the whole run and
// are touched on the user-interface thread only.
#pragma once

#include "profile/country_record.h"

namespace profile {

extern char program_path[260]; // the program file's full path
extern char profile_path[260]; // TOLVEX.INI beside the program
extern char flags_path[288];   // TOLVEX.DLL beside the program

// The keys of section "tolvx" in file order, each followed by a zero byte,
// and one more zero byte after the last. Read once at start-up.
extern char profile_keys[200];

// One string of profile_keys: a key, or the empty string that ends the list.
// Before the list is loaded it stands on that (still empty) list.
extern const char* key_cursor;

// The entry most recently read through the cursor or by key.
extern CountryRecord current_record;

// Back to the start-of-run state: everything empty, cursor on the empty list.
void reset_values();

} // namespace profile
