#include "cli/country_choice.h"

#include "common/text.h"
#include "profile/lookups.h"

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

std::vector<ProfileEntry> profile_entries(const profile::Profile& profile) {
    std::vector<ProfileEntry> entries;
    profile::visit_entries(profile, [&](const char* key, const profile::CountryRecord& record) {
        entries.push_back({key, record.name, record.picture, record.code});
    });
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
