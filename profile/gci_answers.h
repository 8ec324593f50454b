// The answers of a modem that speaks only the standard country commands
// (AT+GCI), read in the profile's terms. Such a modem may list its countries
// as ranges of codes, "+GCI:(00-FF)" or "(00,09,20-2F)", and names its
// present country with "+GCI: B5" to AT+GCI?. Pure functions: no I/O, no
// program-wide values.
#pragma once

#include <string>
#include <string_view>

namespace profile {

// `list` is a list answer from after its "(": "00,09,20-2F)". Gives the same
// list in the form the country list reads, "00,09,20,21,2F)", in which every
// range is replaced by the keys of `keys` that fall within it. `keys` is a
// key list: each key ended by a zero byte, an empty string after the last.
//
// Keys and range ends are compared as hexadecimal numbers ("0B5" is in
// "00-FF"); a key that is not hexadecimal is in no range. A range brings only
// keys the profile has, so it never adds an unknown country, and a key that
// the list already holds is not added twice. Single codes are kept as they
// are, known or not, so the rest of the list reads as it always did. Items
// are split by the country list's own rule (list_item_end): taken with their
// blanks, and a last item without its ")" is dropped; a range with blanks
// around its ends is malformed.
std::string expand_gci_ranges(std::string_view list, const char* keys);

// The code in a present-country answer, "+GCI: B5" or "+GCI:B5" (blanks
// and the line ending around it dropped). Empty when `answer` is no such
// answer, as for a list "+GCI:(00-FF)" or a bare result code.
std::string_view gci_present_code(std::string_view answer);

} // namespace profile
