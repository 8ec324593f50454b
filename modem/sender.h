// Every AT command leaves through send_modem_command.
#pragma once

#include <cstdint>

// Stores `word` as the conversation state, then, when its low byte is a
// command, builds the command's text, arms its reply deadline and writes the
// text to the open port. May run on the dialog's thread or on the receive
// thread, never on both at once: one command is outstanding at a time.
void send_modem_command(uint32_t word);
