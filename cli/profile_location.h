// Which country profile the command line reads and writes.
#pragma once

#include "profile/profile_values.h"

#include <string>

namespace cli {

// The profile is `option` (--profile), else $TARVELLE_PROFILE, else the
// user's own: /var/lib/tarvelle/TOLVEX.INI for root and
// $XDG_CONFIG_HOME/tarvelle/TOLVEX.INI for others. Until it exists the
// installed default (../share/tarvelle/TOLVEX.INI beside the program's
// folder) is read, and the first write copies the default there first:
// `profile`'s write target knows where its writes go. Loads the key list into
// `profile`. Gives the profile's path.
std::string use_profile(profile::Profile& profile, const std::string& option);

} // namespace cli
