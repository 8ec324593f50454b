// A dialect: one way a modem is told its country. Everything the program
// sends or reads that differs between modems is held in the dialect's own
// file, and the layers above ask the dialect rather than test which one it
// is:
//   dialect_nc.cpp        AT*nc, the vendor's own commands
//   dialect_gci.cpp       AT+GCI, the standard commands, on a modem of ours
//   dialect_standard.cpp  AT+GCI on a modem of another make (--any-modem)
// dialects.cpp lists them in the order a read asks their list queries.
//
// A conversation speaks the dialect its last list answer came in
// (Conversation::dialect, with use_gci beside it as it has always been);
// a fresh one speaks AT*nc.
#pragma once

#include "modem/command_table.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace modem {

// Whether an apply's choice is remembered in the profile.
enum class ChoiceSaving {
    always,  // after every apply
    if_asked // only where the front end asks for it (the command line does, the dialog not)
};

struct Dialect {
    // How the command line's results name it ("nc", "gci") and its text ("AT*nc").
    const char* name;
    const char* label;
    // What the conversation's use_gci holds while it speaks this dialect:
    // 1 where the set command is AT+GCI, 0 for AT*nc.
    int32_t use_gci;

    // --- command texts ---
    // The set-country command; %s is code_to_send.
    const char* set_format;
    // The list query, with %s filled by "?". Its code is also the
    // notification a list answer comes back under.
    CommandRow list_query;
    // The list query the conversation asks at once when this one is refused
    // with ERROR; 0 when a refusal goes to the front end.
    uint32_t refused_list_next;
    // The trace line of that step; null for none.
    const char* refused_list_trace;

    // --- the list answer ---
    // The list inside the answer, "+GCI: (00,09)" -> "00,09)".
    std::string_view (*list_in)(std::string_view answer);
    // Ranges of codes ("20-2F)") given as the profile keys (`keys`, each
    // ended by a zero byte) within them; null for a dialect without ranges.
    std::string (*expand_ranges)(std::string_view list, const char* keys);
    // The modem's codes are profile keys: its list, its present code and
    // what the set command sends. Otherwise they are the entries' codes.
    bool codes_are_keys;

    // --- the present code ---
    // ATi5 first; when ATi5 is refused, this query where the front end asks
    // for it, and the code in its answer ("" when it names none). Null for none.
    const CommandRow* present_query;
    std::string_view (*present_code)(std::string_view answer);

    // --- the note and the choice ---
    // The modem keeps the applied key in its ATi9 note.
    bool keeps_note;
    ChoiceSaving saving;

    // What the set command sends for a profile entry.
    const char* sent(const char* key, const char* code) const {
        return codes_are_keys ? key : code;
    }
};

const Dialect& nc_dialect();
const Dialect& gci_dialect();
const Dialect& standard_dialect();
// The dialect whose list query a read asks first (AT*nc).
const Dialect& first_dialect();

// The dialect whose list query has `code`, as a list answer names it
// (the first listed when two share one); null for none.
const Dialect* dialect_by_list_command(uint32_t code);

} // namespace modem
