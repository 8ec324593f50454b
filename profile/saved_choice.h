// The remembered choice: the key of the country last applied, in section
// "cccfg" of the profile and, for an AT*nc modem, in the modem's own note
// (ATi9, which then reads "CC<key>"). The dialog records it in the profile
// for an AT*nc modem; the command line for both kinds, since its re-apply
// starts from it.
#pragma once

#include <cstddef>

namespace profile {

// The remembered key is read as at most 49 characters.
constexpr size_t SAVED_CHOICE_SIZE = 50;

// Reads the remembered key into `key`; gives its length (0: none saved).
int read_saved_choice(char* key, size_t size);

// Remembers `key`. The file is written only when it holds another value, so
// applying the same country again leaves the profile as it is. Gives 1 when
// the profile holds the key afterwards.
int save_choice(const char* key);

// Whether the note read from the modem (i9_text) already names `key`.
bool note_names_key(const char* key);
// Starts rewriting the modem's note to `key`: ATi9##, then, once that is
// answered, ATi9cc<key>#. The port must be open.
void start_note_write(const char* key);

} // namespace profile
