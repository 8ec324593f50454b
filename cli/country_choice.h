// The profile's countries as the dialog's walks meet them, and finding the
// one a user names on the command line.
#pragma once

#include "profile/profile_values.h"

#include <string>
#include <vector>

namespace cli {

struct ProfileEntry {
    std::string key;
    std::string name;
    std::string picture;
    std::string code;
};

// Every entry a walk of the key list reaches, in file order: it stops at the
// first key without a value and passes over keys too long to use.
std::vector<ProfileEntry> profile_entries(const profile::Profile& profile);

struct CountryMatch {
    std::vector<ProfileEntry> found; // one: the country; several: ambiguous; none: unknown
};

// COUNTRY, in any letter case: a two-letter text as a picture code, then a
// whole name, then the start of exactly one name. The first rule that finds
// anything decides.
CountryMatch match_country(const std::vector<ProfileEntry>& entries, const std::string& text);

// The entry whose key equals `key` in any letter case.
CountryMatch match_key(const std::vector<ProfileEntry>& entries, const std::string& key);

} // namespace cli
