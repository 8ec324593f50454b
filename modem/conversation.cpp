#include "modem/conversation.h"

#include "serial/port_session.h"

#include <cstring>

namespace modem {

void Conversation::reset() {
    conversation_state = CMD_IDLE;
    std::memset(command_text, 0, sizeof command_text);
    retry_count = 0;
    std::memset(code_to_send, 0, sizeof code_to_send);
    speak(nc_dialect());
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

std::string Conversation::step() const {
    return command_step(command_text);
}

std::string command_step(const char* command) {
    const std::string text = command;
    const size_t first = text.find_first_not_of("\r\n");
    const size_t last = text.find_last_not_of("\r\n");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

Failure Conversation::failure(Kind kind, const char* text, int error) {
    Failure made = ::failure(kind, text != nullptr ? text : "", error);
    made.step = step();
    made.port = port_name(port);
    return made;
}

} // namespace modem
