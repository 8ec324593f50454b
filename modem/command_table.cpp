#include "modem/command_table.h"

#include "common/text.h"
#include "modem/conversation_values.h"
#include "profile/profile_values.h"

#include <iterator>

namespace modem {
namespace {

// The modem echoes some of these texts byte for byte, so the letter case
// matters: "nc", "i5", "z", "cc" lower case; "AT", "V1", "GCI" upper case.
// The wake-up starts with a carriage return to end any half-typed line.
constexpr CommandRow command_rows[] = {
    {CMD_SET_COUNTRY, "AT*nc%s\r", "AT+GCI=%s\r", Fill::country_code, 1500},
    {CMD_READ_I5, "ATi5\r", nullptr, Fill::none, 1000},
    {CMD_RESET, "ATz\r", nullptr, Fill::none, 1500},
    {CMD_READ_I9, "ATi9\r", nullptr, Fill::none, 1500},
    {CMD_WRITE_I9, "ATi9cc%s#\r", nullptr, Fill::i9_note, 1000},
    {CMD_CLEAR_I9, "ATi9##\r", nullptr, Fill::none, 1000},
    {CMD_WAKE, "\rATV1\r", nullptr, Fill::none, 2000},
    {CMD_IDENTIFY, "ATV1i3\r", nullptr, Fill::none, 3000},
    {CMD_LIST_NC, "AT*nc%s\r", nullptr, Fill::query, 2500},
    {CMD_LIST_GCI, "AT+GCI=%s\r", nullptr, Fill::query, 2500},
};

const CommandRow* front_end_rows = nullptr;
size_t front_end_row_count = 0;

const CommandRow* find_in(const CommandRow* rows, size_t count, uint32_t code) {
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) {
            return &rows[i];
        }
    }
    return nullptr;
}

const char* fill_text(Fill fill) {
    switch (fill) {
    case Fill::country_code:
        return profile::code_to_send;
    case Fill::i9_note:
        return i9_text;
    case Fill::query:
        return "?";
    case Fill::none:
        break;
    }
    return "";
}

} // namespace

const CommandRow* find_command(uint32_t word) {
    const uint32_t code = command_code(word);
    const CommandRow* row = find_in(command_rows, std::size(command_rows), code);
    return row != nullptr ? row : find_in(front_end_rows, front_end_row_count, code);
}

void set_front_end_commands(const CommandRow* rows, size_t count) {
    front_end_rows = rows;
    front_end_row_count = rows != nullptr ? count : 0;
}

bool is_front_end_command(uint32_t code) {
    return find_in(front_end_rows, front_end_row_count, code) != nullptr;
}

size_t build_command_text(const CommandRow& row) {
    // Only the country command follows the modem's dialect, at the moment of sending.
    const char* format = (row.gci_format != nullptr && use_gci != 0) ? row.gci_format : row.format;
    if (row.fill == Fill::none) {
        return copy_text(command_text, format);
    }
    // The filled fields are 11 characters at most, so the text stays far
    // inside command_text; the formatter cuts it regardless.
    return format_text(command_text, sizeof command_text, format, fill_text(row.fill));
}

} // namespace modem
