#include "modem/conversation_values.h"

#include "modem/command_table.h"

#include <cstring>

namespace modem {

std::atomic<uint32_t> conversation_state{CMD_IDLE};
char command_text[COMMAND_TEXT_SIZE];
std::atomic<int32_t> retry_count{0};
int32_t use_gci = 0;
char i5_code[CODE_TEXT_SIZE];
char i9_text[CODE_TEXT_SIZE];
char country_list_reply[LIST_REPLY_SIZE];
char modem_ident[MODEM_IDENT_SIZE];
char answered_ident[MODEM_IDENT_SIZE];
char front_end_answer[MODEM_IDENT_SIZE];
char vendor_name[VENDOR_NAME_SIZE];
char reply_buffer[REPLY_LIMIT + 1];
size_t reply_length = 0;
std::atomic<unsigned> deadline_sequence{0};
std::atomic<unsigned> last_sequence{0};

void reset_conversation_values() {
    conversation_state = CMD_IDLE;
    std::memset(command_text, 0, sizeof command_text);
    retry_count = 0;
    use_gci = 0;
    std::memset(i5_code, 0, sizeof i5_code);
    std::memset(i9_text, 0, sizeof i9_text);
    std::memset(country_list_reply, 0, sizeof country_list_reply);
    std::memset(modem_ident, 0, sizeof modem_ident);
    std::memset(answered_ident, 0, sizeof answered_ident);
    std::memset(front_end_answer, 0, sizeof front_end_answer);
    std::memset(vendor_name, 0, sizeof vendor_name);
    std::memset(reply_buffer, 0, sizeof reply_buffer);
    reply_length = 0;
    deadline_sequence = 0;
    // last_sequence keeps counting, so an expiry left over from before the
    // reset can never match a deadline armed after it.
}

} // namespace modem
