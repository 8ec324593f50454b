// AT+GCI: the standard country commands (ITU-T T.35 codes), on a modem of
// ours that lacks AT*nc. "AT+GCI=?" lists the codes as "+GCI: (00,09,20-2F)",
// ranges allowed, which are profile keys; "AT+GCI=B5" sets one; "AT+GCI?"
// names the present one ("+GCI: B5") where ATi5 is refused. Such a modem
// keeps no note, and the dialog does not remember its choice.
#include "modem/dialect.h"

#include "common/text.h"
#include "profile/lookups.h"
#include "profile/list_rule.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace modem {

namespace {

constexpr std::string_view BLANKS = " \t\r\n";

std::string_view trimmed(std::string_view text) {
    size_t start = text.find_first_not_of(BLANKS);
    if (start == std::string_view::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(BLANKS);
    return text.substr(start, end - start + 1);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Sixteen digits fill 64 bits; a longer text, or any other character, is
// not a number a range can hold.
bool parse_hex(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 16) {
        return false;
    }
    value = 0;
    for (char c : text) {
        int digit = hex_digit(c);
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_upper(a[i]) != ascii_upper(b[i])) {
            return false;
        }
    }
    return true;
}

class ListBuilder {
  public:
    void add(std::string_view item) { items_.push_back(item); }
    void add_once(std::string_view item) {
        for (std::string_view held : items_) {
            if (same_ignoring_case(held, item)) {
                return;
            }
        }
        items_.push_back(item);
    }
    // "a,b)"; a last item with a ")" of its own (one that a comma ended in
    // the answer) is closed by a comma and an empty item, ",)", so that it
    // reads back whole.
    std::string text() const {
        std::string out;
        for (std::string_view item : items_) {
            out.append(out.empty() ? "" : ",").append(item);
        }
        const bool closed = !items_.empty() && items_.back().find(')') != std::string_view::npos;
        return out + (closed ? ",)" : ")");
    }

  private:
    std::vector<std::string_view> items_;
};

// A malformed range ("20-", "2G-30", "30-20") holds no key: it is plainly
// meant as a range, and reading it as one code would list a country the
// modem never named.
void add_keys_in_range(std::string_view range, size_t dash, const char* keys, ListBuilder& list) {
    uint64_t low = 0;
    uint64_t high = 0;
    if (!parse_hex(range.substr(0, dash), low) || !parse_hex(range.substr(dash + 1), high)) {
        return;
    }
    for (const char* key = keys; *key != '\0'; key += std::strlen(key) + 1) {
        uint64_t value = 0;
        // The country list's walks pass over keys too long to send; so does a range.
        if (std::strlen(key) <= profile::MAX_KEY_LENGTH && parse_hex(key, value) && low <= value &&
            value <= high) {
            list.add_once(key);
        }
    }
}

// A list answer's ranges ("00,09,20-2F)") replaced by the keys of `keys`
// that fall within them: "00,09,20,21,2F)". Keys and range ends are compared
// as hexadecimal numbers ("0B5" is in "00-FF"); a key that is not
// hexadecimal is in no range. A range brings only keys the profile has, so
// it never adds an unknown country, and a key the list already holds is not
// added twice. Single codes are kept as they are, known or not. Items are
// split by the country list's own rule (list_item_end): taken with their
// blanks, and a last item without its ")" is dropped; a range with blanks
// around its ends is malformed.
std::string expand_gci_ranges(std::string_view list, const char* keys) {
    ListBuilder out;
    // Items are split as every list is (list_item_end), so the expanded list
    // holds the items the country list would have read, blanks and all.
    for (size_t end = profile::list_item_end(list); end != 0 && end != std::string_view::npos;
         end = profile::list_item_end(list)) {
        std::string_view item = list.substr(0, end);
        list.remove_prefix(end + 1);
        size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            out.add(item);
        } else {
            add_keys_in_range(item, dash, keys, out);
        }
    }
    return out.text();
}

// The code in "+GCI: B5" or "+GCI:B5" (blanks and the line ending around it
// dropped); empty for any other answer, as for a list "+GCI:(00-FF)".
std::string_view gci_present_code(std::string_view answer) {
    constexpr std::string_view PREFIX = "+GCI:";
    answer = trimmed(answer);
    if (!same_ignoring_case(answer.substr(0, PREFIX.size()), PREFIX)) {
        return {};
    }
    std::string_view code = trimmed(answer.substr(PREFIX.size()));
    code = code.substr(0, code.find_first_of(BLANKS));
    if (code.empty() || code.find_first_of("(),") != std::string_view::npos) {
        return {};
    }
    return code;
}

// The list starts after the first "(", when there is one.
std::string_view gci_list(std::string_view answer) {
    const size_t parenthesis = answer.find('(');
    return parenthesis == std::string_view::npos ? answer : answer.substr(parenthesis + 1);
}

// The present country's query: the dialog never sends it, so it is an own
// command of the conversation, beside the table's, whose answer line the
// procedures read.
constexpr uint32_t CMD_READ_GCI = 43;
constexpr CommandRow PRESENT_QUERY = {CMD_READ_GCI, "AT+GCI?\r", Fill::none, 1000};

constexpr Dialect GCI = {
    "gci",                                            // name
    "AT+GCI",                                         // label
    1,                                                // use_gci
    "AT+GCI=%s\r",                                    // set_format
    {CMD_LIST_GCI, "AT+GCI=%s\r", Fill::query, 2500}, // list_query
    0,                                                // refused_list_next
    nullptr,                                          // refused_list_trace
    gci_list,                                         // list_in
    expand_gci_ranges,                                // expand_ranges
    true,                                             // codes_are_keys
    &PRESENT_QUERY,                                   // present_query
    gci_present_code,                                 // present_code
    false,                                            // keeps_note
    ChoiceSaving::if_asked,                           // saving
};

} // namespace

const Dialect& gci_dialect() {
    return GCI;
}

} // namespace modem
