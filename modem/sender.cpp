#include "modem/sender.h"

#include "common/text.h"
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
    // The modem may answer before the write returns, and the receive thread
    // then chains the next command into command_text; so write from a copy.
    char text[sizeof modem::command_text];
    copy_text(text, modem::command_text);
    // Armed before the write, so the deadline also covers a write that stalls.
    modem::arm_reply_deadline(row->deadline_ms);
    // A failed write is not reported: the missing answer runs into the deadline.
    port_write(text, static_cast<uint32_t>(length));
}
