// What the main dialog shows of the modem's country: the status line, the
// selection of the present country, and the end of an apply. The decisions
// themselves are the profile's (profile/present_country.h,
// profile/saved_choice.h); this is their presentation in the dialog.
#pragma once

namespace workflow {

// IDC_STATUS gets IDS_CURRENT_FMT ("Your modem is currently set for %s")
// filled with `name`.
void show_current_status(const char* name);

// After ATi5 and ATi9 were read: selects the modem's present country in the
// list and says so in the status line, or shows the raw codes.
void show_current_country();

// After the read-back of ATi5 that ends the modem part of an apply: records
// the choice (AT*nc) and finishes, or goes on to write the modem's note.
void finish_apply();

} // namespace workflow
