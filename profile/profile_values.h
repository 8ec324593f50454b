// The country profile a front end works with: where it is, its key list, the
// walks' cursor and their last entry, and the front end's hooks into its
// writes. The dialog keeps one in its state, the command line makes one per
// run; every lookup takes it. Touched on the user-interface thread only.
#pragma once

#include "profile/country_record.h"
#include "profile/profile_file.h"

namespace profile {

class SectionValues;

struct Profile {
    Profile() = default;
    Profile(const Profile&) = delete; // key_cursor points into it
    Profile& operator=(const Profile&) = delete;

    char program_path[260] = ""; // the program file's full path
    char profile_path[260] = ""; // TOLVEX.INI beside the program, or the front end's own
    char flags_path[288] = "";   // TOLVEX.DLL beside the program

    // The keys of section "tolvx" in file order, each followed by a zero
    // byte, and one more zero byte after the last. Read once at start-up.
    char profile_keys[200] = "";

    // One string of profile_keys: a key, or the empty string that ends the
    // list. Before the list is loaded it stands on that (still empty) list.
    const char* key_cursor = profile_keys;

    // The entry most recently read through the cursor or by key.
    CountryRecord current_record{};

    // The entries of the living HeldProfile, read in place of the file.
    const SectionValues* held_entries = nullptr;

    // How the front end's writes wait for the lock and where they go.
    WriteHooks writer;
};

} // namespace profile
