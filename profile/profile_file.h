// The INI-style profile file: one portable reader and writer, used on every
// platform (Windows included) so that the code the tests run is the code
// that ships. It behaves like the platform's private-profile functions in
// everything the program relies on:
//
//  - section and key names compare without regard to ASCII letter case;
//  - a value is trimmed of blanks on both sides and cut at size - 1;
//  - a missing file, section or key, or an empty value, gives "" and 0;
//    an empty key names no entry;
//  - the key list of a section holds every key in file order, each ending
//    in a zero byte, with one more zero byte after the last; a key that does
//    not fit whole is cut so that the buffer still ends in two zero bytes,
//    and the keys after it are left out;
//  - a write sets one key, creating the file, the section and the key as
//    needed; an existing key is matched in any letter case and rewritten in
//    place, and every other line stays byte for byte as it was.
//
// File conventions: lines starting with ';' are comments; CRLF and LF both
// end a line; a write keeps the line ending the file already uses (a new
// file gets CRLF); a line without '=' is no entry; only the first section of
// a name counts, and in it the first line of a key. Values are taken as they
// stand: quotes are not removed, and a NUL byte ends a value.
//
// A file that starts with a UTF-16 byte-order mark is read as it stands (it
// holds no entry this reader can find) and never written.
//
// A write never leaves a half-written profile: the new contents go to a
// temporary file of that write's own beside the profile, which is then
// renamed over it. When any step fails the old file stays as it was and the
// write gives the failure, saying why. Writers take turns on a lock file, "<path>.lock", from the
// read of the old contents to the rename, so no write loses another's change.
#pragma once

#include "common/failure.h"
#include "profile/file_replace.h"

#include <cstddef>
#include <functional>
#include <string>

namespace profile {

// The value of `key` in `section`, or with `key` null the key list of
// `section`. Gives the number of characters copied (for a key list, without
// the final zero byte).
int get_profile_string(const char* section, const char* key, char* buffer, size_t size,
                       const char* path);

// Where a write really goes. A front end whose profile starts out as an
// installed default, read until the user's own copy exists, gives its own
// file here and sets `seed` to the default: a write to a target that is
// still missing starts from the seed's text, so that the copy and the first
// change are made in one step, under the writers' lock. nullptr: the write
// goes nowhere and fails.
using ProfileWriteTarget = std::function<const char*(const char* path, const char** seed)>;

// A front end's hooks into its writes: the pause while another writer holds
// the lock, and the target. Without them a write waits as the platform
// waits, and goes to `path` as given, with no seed.
struct WriteHooks {
    LockPause lock_pause = nullptr;
    ProfileWriteTarget write_target;
};

// Sets `key` in `section` to `value`. All three null: the flush form, which
// has nothing to do because every write goes to disk before it returns.
// Gives no failure on success; Kind::profile_write, with the reason in
// words for the user, when nothing was written (Kind::profile_stopped when
// the lock's pause gave the write up).
Failure write_profile_string(const char* section, const char* key, const char* value,
                             const char* path, const WriteHooks& hooks = {});

// The whole profile's text as it stands; "" when it cannot be read. For a
// front end that looks many entries up at once (read_profile_text on it).
std::string read_profile_file(const char* path);

// Several changes in one write: `edit` gets the text as it stands under the
// writers' lock and changes it (with profile_text_with, so that each change
// is what write_profile_string would make). One temporary file, one rename.
// Gives no failure on success, and when `edit` changed nothing (nothing is
// written); otherwise as write_profile_string.
Failure update_profile(const char* path, const std::function<void(std::string& text)>& edit,
                       const WriteHooks& hooks = {});

// The target of a dry run: every write goes nowhere, before it takes the
// writers' lock, and fails.
const char* drop_writes(const char* path, const char** seed);
// Whether `hooks` drop writes so: a caller then tells what a write would
// have made (the key an entry would get) as if it were made.
bool writes_dropped(const WriteHooks& hooks);

} // namespace profile
