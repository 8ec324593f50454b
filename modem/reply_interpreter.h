// Judges what the modem sends: gathers the blocks of the receive thread until
// a final result code ("ERROR" or "\r\nOK\r\n") is in, then chains the next
// command or posts a notification to the main dialog.
#pragma once

#include <cstdint>

// The data callback of the port session: one received block, block[length]
// being NUL. Runs on the receive thread, one block at a time.
void on_modem_data(const char* block, uint32_t length);
