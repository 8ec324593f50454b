// AT*nc: the vendor's own country commands. "AT*nc?" lists the entries'
// codes, "00,09,B5" with no prefix, "AT*ncB5" sets one, and the modem keeps
// a note of the applied key (ATi9cc<key>#) that a later read trusts first.
#include "modem/dialect.h"

namespace modem {
namespace {

std::string_view whole_answer(std::string_view answer) {
    return answer;
}

// A modem without AT*nc may still know the standard commands; the front end
// need not know it was asked.
constexpr Dialect NC = {
    "nc",                                          // name
    "AT*nc",                                       // label
    0,                                             // use_gci
    "AT*nc%s\r",                                   // set_format
    {CMD_LIST_NC, "AT*nc%s\r", Fill::query, 2500}, // list_query
    CMD_LIST_GCI,                                  // refused_list_next
    "Country Code *nc? fails, try +gci=?\n",       // refused_list_trace
    whole_answer,                                  // list_in
    nullptr,                                       // expand_ranges
    false,                                         // codes_are_keys
    nullptr,                                       // present_query
    nullptr,                                       // present_code
    true,                                          // keeps_note
    ChoiceSaving::always,                          // saving
};

} // namespace

const Dialect& nc_dialect() {
    return NC;
}

} // namespace modem
