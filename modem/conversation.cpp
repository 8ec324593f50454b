#include "modem/conversation.h"

#include <cstring>

namespace modem {

void Conversation::reset() {
    conversation_state = CMD_IDLE;
    std::memset(command_text, 0, sizeof command_text);
    retry_count = 0;
    std::memset(code_to_send, 0, sizeof code_to_send);
    use_gci = 0;
    std::memset(i5_code, 0, sizeof i5_code);
    std::memset(i9_text, 0, sizeof i9_text);
    std::memset(country_list_reply, 0, sizeof country_list_reply);
    std::memset(modem_ident, 0, sizeof modem_ident);
    std::memset(answered_ident, 0, sizeof answered_ident);
    std::memset(front_end_answer, 0, sizeof front_end_answer);
    std::memset(reply_buffer, 0, sizeof reply_buffer);
    reply_length = 0;
    deadline_sequence = 0;
    // last_sequence keeps counting, so an expiry left over from before the
    // reset can never match a deadline armed after it.
}

} // namespace modem
