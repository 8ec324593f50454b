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
    "nc",
    "AT*nc",
    0,
    "AT*nc%s\r",
    {CMD_LIST_NC, "AT*nc%s\r", Fill::query, 2500},
    CMD_LIST_GCI,
    "Country Code *nc? fails, try +gci=?\n",
    whole_answer,
    nullptr,
    false,
    nullptr,
    nullptr,
    true,
    ChoiceSaving::always,
    false,
};

} // namespace

const Dialect& nc_dialect() {
    return NC;
}

} // namespace modem
