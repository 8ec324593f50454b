// The modem's non-volatile memory across runs: country and note, kept in a
// small "key = value" file that is replaced atomically on every change.
#pragma once

#include "tools/modem-sim/at_engine.h"

#include <string>

namespace modem_sim {

// Fills country and note from `path` when it exists. A missing file is not
// an error (a new modem); a malformed one is.
bool load_state(const std::string& path, ModemState& state, std::string& error);

// Writes a temporary file beside `path`, then renames it over `path`.
bool save_state(const std::string& path, const ModemState& state, std::string& error);

} // namespace modem_sim
