#include "modem/sender.h"

#include "common/trace.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/reply_deadline.h"
#include "serial/port_session.h"

void send_modem_command(uint32_t word) {
    // The word is stored even when it is refused: the dialog tells the cases
    // of a notification apart by the state word.
    modem::conversation_state = word;
    const modem::CommandRow* row = modem::find_command(word);
    if (row == nullptr) {
        trace("Modem cmd NOT sent, not supported\n");
        return;
    }
    size_t length = modem::build_command_text(*row);
    // Armed before the write, so the deadline also covers a write that stalls.
    modem::arm_reply_deadline(row->deadline_ms);
    // A failed write is not reported: the missing answer runs into the deadline.
    port_write(modem::command_text, static_cast<uint32_t>(length));
}
