// The dialog's conversation under the program-wide names its code has always
// used: each name is the default instance's member (modem/conversation.h).
// The command line does not use them; it holds a conversation per port.
#pragma once

#include "modem/conversation.h"

namespace modem {

extern Conversation default_conversation;

inline std::atomic<uint32_t>& conversation_state = default_conversation.conversation_state;
inline char (&command_text)[COMMAND_TEXT_SIZE] = default_conversation.command_text;
inline std::atomic<int32_t>& retry_count = default_conversation.retry_count;
inline int32_t& use_gci = default_conversation.use_gci;
inline char (&i5_code)[CODE_TEXT_SIZE] = default_conversation.i5_code;
inline char (&i9_text)[CODE_TEXT_SIZE] = default_conversation.i9_text;
inline char (&country_list_reply)[LIST_REPLY_SIZE] = default_conversation.country_list_reply;
inline char (&modem_ident)[MODEM_IDENT_SIZE] = default_conversation.modem_ident;
inline char (&answered_ident)[MODEM_IDENT_SIZE] = default_conversation.answered_ident;
inline char (&front_end_answer)[MODEM_IDENT_SIZE] = default_conversation.front_end_answer;
inline char (&vendor_name)[VENDOR_NAME_SIZE] = default_conversation.vendor_name;
inline char (&code_to_send)[CODE_TEXT_SIZE] = default_conversation.code_to_send;
inline std::atomic<unsigned>& deadline_sequence = default_conversation.deadline_sequence;
inline std::atomic<unsigned>& last_sequence = default_conversation.last_sequence;
inline size_t& reply_length = default_conversation.reply_length;

// Back to the state of a fresh start, vendor name included.
void reset_conversation_values();

} // namespace modem
