// What the main dialog shows of the modem's country: the status line, the
// selection of the present country, and the end of an apply. The decisions
// themselves are the procedures' (procedures/procedures.h: present_entry,
// Apply), over the profile's rules; this is their presentation in the dialog.
#pragma once

#include "procedures/procedures.h"

struct MainDialog; // dialog/dialog_seam.h

namespace workflow {

// IDC_STATUS gets IDS_CURRENT_FMT ("Your modem is currently set for %s")
// filled with `name`.
void show_current_status(MainDialog& dialog, const char* name);

// After ATi5 and ATi9 were read: selects the modem's present country in the
// list and says so in the status line, or shows the raw codes.
void show_current_country(MainDialog& dialog);

// What the apply answered after the read-back of ATi5 that ends its
// set-country conversation: the apply is over, or it was abandoned (no
// usable key), or the modem's note is written next. `not_saved`: why the
// profile does not remember the choice (none when it does).
void finish_apply(MainDialog& dialog, const procedures::Answer& answer, const Failure& not_saved);

} // namespace workflow
