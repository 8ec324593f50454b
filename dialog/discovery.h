// The scan for modems on COM9 down to COM1, the modem list, and the start of
// the read of the chosen modem. Portable: everything goes through the dialog
// seam. Runs on the user-interface thread.
#pragma once

#include "procedures/procedures.h"

#include <cstdint>

struct MainDialog; // dialog/dialog_seam.h

namespace discovery {

constexpr int IDENT_TEXT_SIZE = 100;
// The scan probes nine ports, and each can hold an accepted modem.
constexpr int HIGHEST_PORT = 9;
constexpr int MODEM_TABLE_ROWS = HIGHEST_PORT;
// Modem-list items ("%s  COM%d") are made and read back in buffers this big.
constexpr int MODEM_ITEM_SIZE = 256;

struct ModemEntry {
    char ident_text[IDENT_TEXT_SIZE]; // the identification line, as the modem wrote it
    int32_t com_port;                 // where it answered
};

// WM_START_SEARCH: status line, empty table, first probe.
void on_start_search(MainDialog& dialog);
// Probes the next lower port. 1 when a wake-up went out, 0 when no port was
// left and finish_scan ran.
int try_next_port(MainDialog& dialog);
// The end of one probe (the conversation was closed, or nothing answered):
// an accepted modem is recorded, then the scan goes on.
void on_probe_ended(MainDialog& dialog, const procedures::Event& event);
// The expiry of a scan's identification deadline: the device answered the
// wake-up but not ATV1i3. The port is closed and the scan goes on, without a
// box. Gives false when the deadline was no longer pending.
bool on_identify_deadline(MainDialog& dialog, unsigned sequence);
int fill_modem_list(MainDialog& dialog);
void finish_scan(MainDialog& dialog);

// IDC_MODEM notifications.
void on_modem_list_notify(MainDialog& dialog, unsigned notify_code);
// WM_CONNECT_PORT: reads the modem on `port`.
void on_connect_port(MainDialog& dialog, int port);

// The port number in a modem-list item: the number after the last "COM"
// (letter case respected; white space skipped, optional sign, no digits 0).
// The item ends with the port the scan appended ("  COM5"), and the modem's
// identification before it may hold "COM" itself ("...TELECOM 2"), which
// would name another port. Gives false when the text holds no "COM".
bool parse_com_port(const char* item_text, int* port);

} // namespace discovery
