// The status-line texts that name the modem's country.
#pragma once

namespace profile {

// IDC_STATUS gets IDS_CURRENT_FMT ("Your modem is currently set for %s")
// filled with `name`.
void show_current_status(const char* name);

} // namespace profile
