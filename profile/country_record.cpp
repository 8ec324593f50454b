#include "profile/country_record.h"

#include "common/text.h"

#include <cstring>

namespace profile {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Takes the field at `at` up to the next comma or the end into `field`.
// Gives false (field left empty) when there is not at least one character.
bool take_field(const char*& at, char* field, size_t capacity) {
    size_t length = std::strcspn(at, ",");
    if (length == 0) {
        return false;
    }
    copy_text_n(field, capacity, at, length);
    at += length;
    return true;
}

// Consumes the comma after a field and the white space after it; gives false
// at the end of the text.
bool skip_separator(const char*& at) {
    if (*at != ',') {
        return false;
    }
    ++at;
    while (is_space(*at)) {
        ++at;
    }
    return true;
}

} // namespace

void split_entry(const char* value, CountryRecord& record) {
    std::memset(&record, 0, sizeof record);
    const char* at = value;
    if (take_field(at, record.name, sizeof record.name) && skip_separator(at) &&
        take_field(at, record.picture, sizeof record.picture) && skip_separator(at)) {
        take_field(at, record.code, sizeof record.code);
    }
}

} // namespace profile
