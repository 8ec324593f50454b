// The remembered choice: the key of the country last applied, in section
// "cccfg" of the profile. (The modem's own note, ATi9 "CC<key>", is the
// procedures' to write: procedures/procedures.h.)
#pragma once

#include "common/failure.h"
#include "profile/profile_values.h"

#include <cstddef>

namespace profile {

// The remembered key is read as at most 49 characters.
constexpr size_t SAVED_CHOICE_SIZE = 50;

// Reads the remembered key into `key`; gives its length (0: none saved).
int read_saved_choice(const Profile& profile, char* key, size_t size);

// Remembers `key`, written with the profile's hooks. The file is written
// only when it holds another value, so applying the same country again
// leaves the profile as it is. Gives no failure when the profile holds the
// key afterwards.
Failure save_choice(Profile& profile, const char* key);

} // namespace profile
