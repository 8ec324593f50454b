#include "modem/command_table.h"

#include "common/text.h"
#include "modem/conversation.h"
#include "modem/dialect.h"

#include <iterator>

namespace modem {
namespace {

// The modem echoes some of these texts byte for byte, so the letter case
// matters: "nc", "i5", "z", "cc" lower case; "AT", "V1", "GCI" upper case.
// The wake-up starts with a carriage return to end any half-typed line.
constexpr CommandRow command_rows[] = {
    {CMD_SET_COUNTRY, nullptr, Fill::country_code, 1500},
    {CMD_READ_I5, "ATi5\r", Fill::none, 1000},
    {CMD_RESET, "ATz\r", Fill::none, 1500},
    {CMD_READ_I9, "ATi9\r", Fill::none, 1500},
    {CMD_WRITE_I9, "ATi9cc%s#\r", Fill::i9_note, 1000},
    {CMD_CLEAR_I9, "ATi9##\r", Fill::none, 1000},
    {CMD_WAKE, "\rATV1\r", Fill::none, 2000},
    {CMD_IDENTIFY, "ATV1i3\r", Fill::none, 3000},
};

const CommandRow* find_in(const CommandRow* rows, size_t count, uint32_t code) {
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) {
            return &rows[i];
        }
    }
    return nullptr;
}

} // namespace

const CommandRow* find_table_command(uint32_t word) {
    const CommandRow* row = find_in(command_rows, std::size(command_rows), command_code(word));
    if (row != nullptr) {
        return row;
    }
    const Dialect* listing = dialect_by_list_command(command_code(word));
    return listing != nullptr ? &listing->list_query : nullptr;
}

const CommandRow* Conversation::find_command(uint32_t word) const {
    const CommandRow* row = find_table_command(word);
    return row != nullptr ? row : find_in(own_rows, own_row_count, command_code(word));
}

bool Conversation::is_front_end_command(uint32_t code) const {
    return find_in(own_rows, own_row_count, code) != nullptr;
}

size_t Conversation::build_command_text(const CommandRow& row) {
    // Only the country command follows the modem's dialect, at the moment of sending.
    const char* format = row.format != nullptr ? row.format : dialect->set_format;
    const char* fill = "";
    switch (row.fill) {
    case Fill::none:
        return copy_text(command_text, format);
    case Fill::country_code:
        fill = code_to_send;
        break;
    case Fill::i9_note:
        fill = i9_text;
        break;
    case Fill::query:
        fill = "?";
        break;
    }
    // The filled fields are 11 characters at most, so the text stays far
    // inside command_text; the formatter cuts it regardless.
    return format_text(command_text, sizeof command_text, format, fill);
}

} // namespace modem
