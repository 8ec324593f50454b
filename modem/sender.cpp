// The sender: every AT command leaves through a conversation's
// send_modem_command (modem/conversation.h).
#include "common/text.h"
#include "common/trace.h"
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "serial/port_session.h"

namespace modem {

void Conversation::send_modem_command(uint32_t word) {
    // The word is stored even when it is refused: the front end tells the
    // cases of a notification apart by the state word.
    conversation_state = word;
    const CommandRow* row = find_command(word);
    if (row == nullptr) {
        trace("Modem cmd NOT sent, not supported\n");
        return;
    }
    size_t length = build_command_text(*row);
    // The modem may answer before the write returns, and the receive thread
    // then chains the next command into command_text; so write from a copy.
    char text[sizeof command_text];
    copy_text(text, command_text);
    // Armed before the write, so the deadline also covers a write that stalls.
    arm_reply_deadline(row->deadline_ms);
    // A failed write is reported, and the deadline armed above still ends or
    // retries the conversation, as it would for a modem that stayed silent.
    if (Failure failed = port_write(port, text, static_cast<uint32_t>(length))) {
        failed.step = command_step(text);
        front_end.report(failed);
    }
}

} // namespace modem
