// Every AT command leaves through a conversation's send (modem/conversation.h).
// This is the dialog's way in, on its default conversation.
#pragma once

#include <cstdint>

// Sends `word` on the dialog's conversation.
void send_modem_command(uint32_t word);
