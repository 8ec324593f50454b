// The lookups every part of the program makes in the country profile: by
// key, at the key cursor, by code and by name. All run on the user-interface
// thread.
#pragma once

#include "profile/country_record.h"
#include "profile/profile_text.h"
#include "profile/profile_values.h"

#include <cstddef>
#include <functional>
#include <string>

namespace profile {

constexpr const char* ENTRY_SECTION = "tolvx";  // the countries
constexpr const char* CHOICE_SECTION = "cccfg"; // the last country applied
constexpr const char* CHOICE_KEY = "cc";

// The longest entry key the program can use: keys travel in 12-byte texts
// (the modem's ATi9 note and the code sent to an AT+GCI modem). Walks pass
// over longer keys, so the cursor never stops on one.
constexpr size_t MAX_KEY_LENGTH = 11;

// `out` gets the directory of program_path (up to and including its last '\'
// or '/') followed by `file_name`; without any separator, the bare file
// name. Gives 1, or 0 with `out` empty when the path would not fit: a cut
// path would name some other file.
int path_beside_program(const Profile& profile, const char* file_name, char* out, size_t capacity);

// At start-up: program_path from the running program, the two paths beside
// it, and the key list of "tolvx". Gives 1; a missing profile is no failure.
int load_profile(Profile& profile);
// The same for a given program file (tests and tools have no installed program).
int load_profile_for(Profile& profile, const char* program_file);
// Reads the key list from the profile at `profile_file` itself, for a front
// end that keeps its profile elsewhere than beside the program. No flag
// pictures. Gives 1, or 0 when the path is too long to hold.
int load_profile_at(Profile& profile, const char* profile_file);

// Reads `key` of "tolvx" (any letter case) and splits its value into
// `record`. Gives 1 when the key has a non-empty value; otherwise 0 and
// `record` is left as it was. Moves nothing.
int read_entry(const Profile& profile, const char* key, CountryRecord& record);

// read_entry of the key at the cursor into current_record; on success
// traces "New Country code %s\n".
int read_current_entry(Profile& profile);

// The first entry whose code contains `text` (letter case respected). The
// cursor is left on the first key either way; an empty text fails at once
// and changes nothing.
int CCfindSetProfile(Profile& profile, const char* text);
// The same search, giving the matched entry's key (a string of
// profile_keys) or nullptr.
const char* find_entry_by_code(Profile& profile, const char* text);

// The key of the key list that equals `key` in any letter case, as the
// profile spells it; nullptr when the list holds none.
const char* find_listed_key(const Profile& profile, const char* key);

// The first entry whose name contains `text` (letter case respected); the
// cursor stays on it. Without a match the cursor stays where the walk ended:
// on the list's final empty string, or on a key whose value is missing.
int CCfindSetCur(Profile& profile, const char* text);

// While one lives, entries are read from the profile's text as it was when
// it was made, not from the file at each read: the look-ups of a modem's
// list of two hundred codes cost one read of the file, not one per entry
// and code. Writes still go to the file. One at a time for a profile, on
// the user-interface thread.
class HeldProfile {
  public:
    explicit HeldProfile(Profile& profile);
    ~HeldProfile();
    HeldProfile(const HeldProfile&) = delete;
    HeldProfile& operator=(const HeldProfile&) = delete;
    // The held text and its entries; a change to both is what the next
    // reads see, in place of a write to the file.
    std::string& text() { return text_; }
    SectionValues& entries() { return entries_; }

  private:
    Profile& profile_;
    std::string text_;
    SectionValues entries_; // of "tolvx"
};

// Whether a key or code may go to the modem: letters and digits only, and
// at least one. Anything else (a blank, ';', a carriage return) could end the
// command early and start another one, such as a dial.
bool is_sendable(const char* text);

// Moves the cursor past the current key. Stays put on the final empty string.
void advance_key_cursor(Profile& profile);

// Every entry a walk reaches, in file order, with its key: it stops at the
// first key without a value and passes over keys too long to use. Neither
// the cursor nor current_record moves.
void visit_entries(const Profile& profile,
                   const std::function<void(const char* key, const CountryRecord&)>& visit);

} // namespace profile
