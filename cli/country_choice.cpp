#include "cli/country_choice.h"

#include "common/text.h"
#include "profile/lookups.h"
#include "profile/profile_values.h"

#include <cstring>

namespace cli {
namespace {

bool starts_ignoring_case(const std::string& text, const std::string& start) {
    return start.size() <= text.size() &&
           equal_ignoring_case(text.substr(0, start.size()).c_str(), start.c_str());
}

template <class Test>
std::vector<ProfileEntry> all_that(const std::vector<ProfileEntry>& entries, Test test) {
    std::vector<ProfileEntry> found;
    for (const ProfileEntry& entry : entries) {
        if (test(entry)) {
            found.push_back(entry);
        }
    }
    return found;
}

} // namespace

std::vector<ProfileEntry> profile_entries() {
    std::vector<ProfileEntry> entries;
    for (profile::key_cursor = profile::profile_keys;; profile::advance_key_cursor()) {
        while (profile::key_cursor[0] != '\0' &&
               std::strlen(profile::key_cursor) > profile::MAX_KEY_LENGTH) {
            profile::advance_key_cursor();
        }
        profile::CountryRecord record{};
        if (!profile::read_entry(profile::key_cursor, record)) {
            break;
        }
        entries.push_back({profile::key_cursor, record.name, record.picture, record.code});
    }
    profile::key_cursor = profile::profile_keys;
    return entries;
}

CountryMatch match_country(const std::vector<ProfileEntry>& entries, const std::string& text) {
    CountryMatch match;
    if (text.empty()) {
        return match;
    }
    if (text.size() == 2) {
        match.found = all_that(entries, [&](const ProfileEntry& e) {
            return equal_ignoring_case(e.picture.c_str(), text.c_str());
        });
    }
    if (match.found.empty()) {
        match.found = all_that(entries, [&](const ProfileEntry& e) {
            return equal_ignoring_case(e.name.c_str(), text.c_str());
        });
    }
    if (match.found.empty()) {
        match.found = all_that(
            entries, [&](const ProfileEntry& e) { return starts_ignoring_case(e.name, text); });
    }
    return match;
}

CountryMatch match_key(const std::vector<ProfileEntry>& entries, const std::string& key) {
    CountryMatch match;
    match.found = all_that(entries, [&](const ProfileEntry& e) {
        return equal_ignoring_case(e.key.c_str(), key.c_str());
    });
    return match;
}

} // namespace cli
