// The AT commands the program sends, each with the text it builds and the time
// the modem gets to answer. The command travels in the low byte of the state
// word; a wake-up carries in its second byte the command to send once the
// modem has answered it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t CMD_IDLE = 8; // no command outstanding; never sent
constexpr uint32_t CMD_SET_COUNTRY = 15;
constexpr uint32_t CMD_READ_I5 = 17;
constexpr uint32_t CMD_RESET = 21;
constexpr uint32_t CMD_READ_I9 = 23;
constexpr uint32_t CMD_WRITE_I9 = 25;
constexpr uint32_t CMD_CLEAR_I9 = 27;
constexpr uint32_t CMD_WAKE = 33;
constexpr uint32_t CMD_IDENTIFY = 35;
constexpr uint32_t CMD_LIST_NC = 37;
constexpr uint32_t CMD_LIST_GCI = 95;

// A wake-up word whose answer is followed by `follow_up`: 0x2521 for the list.
constexpr uint32_t wake_then(uint32_t follow_up) {
    return (follow_up << 8) | CMD_WAKE;
}
// The outstanding command of a state word, and the follow-up of a wake-up.
constexpr uint32_t command_code(uint32_t word) {
    return word & 0xFFu;
}
constexpr uint32_t follow_up_code(uint32_t word) {
    return (word >> 8) & 0xFFu;
}

namespace modem {

// What fills the %s of a command's text.
enum class Fill { none, country_code, i9_note, query };

struct CommandRow {
    uint32_t code;
    const char* format; // null for CMD_SET_COUNTRY: the dialect spoken has it
    Fill fill;
    unsigned deadline_ms;
};

// The table's row of the word's low byte, or nullptr when the code is none
// of the table's commands. The list queries are the dialects'
// (modem/dialect.h); a conversation also looks up its front end's own
// commands (Conversation::find_command).
const CommandRow* find_table_command(uint32_t word);

} // namespace modem
