// The profile's text held in memory: the reading and the editing that
// profile_file.h does on the file, without the file. The file functions load
// the text and call these, so both behave alike in every detail.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace profile {

// get_profile_string on `text`: the value of `key` in `section`, or with
// `key` null its key list.
int read_profile_text(std::string_view text, const char* section, const char* key, char* buffer,
                      size_t size);

// Whether a line written for `key` in `section` reads back as that key and
// section: neither may be empty, start or end with a blank, or hold a line
// break; the section no ']', the key no '=' and no leading '[' or ';'.
bool entry_can_be_written(const char* section, const char* key);

// `text` with `key` in `section` set to `value` (cut at its first line
// break), as write_profile_string writes it. The names must be writable.
std::string profile_text_with(std::string_view text, const char* section, const char* key,
                              const char* value);

// One section's values, read out of `text` once, for a front end that looks
// up many keys at a time: each lookup gives what read_profile_text would,
// without parsing the whole text again.
class SectionValues {
  public:
    SectionValues(std::string_view text, const char* section);
    // The value of `key` (any letter case), whole; nullptr when the key is
    // missing or its value is empty.
    const std::string* find(const char* key) const;
    // Records that `key` now reads back as `value`.
    void set(const char* key, const std::string& value);

  private:
    std::map<std::string, std::string> values_; // by key in upper case
};

} // namespace profile
