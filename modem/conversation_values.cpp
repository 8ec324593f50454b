#include "modem/conversation_values.h"

#include <cstring>

namespace modem {

Conversation default_conversation;

Conversation& dialog_conversation() {
    return default_conversation;
}

void reset_conversation_values() {
    default_conversation.reset();
    std::memset(vendor_name, 0, sizeof vendor_name);
}

} // namespace modem
