// One country entry of the profile, split into its three fields.
#pragma once

#include <cstddef>

namespace profile {

struct CountryRecord {
    char name[50];    // shown in the country list and the status line
    char picture[50]; // flag bitmap name in TOLVEX.DLL; "unkn" for added entries
    char code[10];    // the code an AT*nc modem takes
};

// Splits an entry value "name,picture,code" the way the scan pattern
// "%[^,] %c %[^,] %c %[^,]" does: the name runs to the first comma (blanks
// before it kept); white space after each comma is skipped; each field needs
// at least one character, and an empty one leaves it and the fields after it
// empty; a fourth part is ignored. The record is zero-filled first. A field
// longer than its capacity is cut to capacity - 1, and the split goes on at
// the comma that really ends it.
void split_entry(const char* value, CountryRecord& record);

} // namespace profile
