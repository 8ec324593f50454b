// The workflow controller of the main dialog: it starts the read and the
// apply (procedures/procedures.h), feeds them the conversation's
// notifications and presents what they answer, and holds the dialog's
// closing path. Portable: it reaches the dialog only through
// dialog/dialog_seam.h. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>

struct MainDialog; // dialog/dialog_seam.h

namespace workflow {

// The working copy of a list answer (DialogState::country_list_copy).
constexpr int COUNTRY_LIST_COPY_SIZE = 500;
// Texts shown in the status line are loaded into buffers this big.
constexpr int STATUS_TEXT_SIZE = 200;
// The selected country's text is read back into a buffer this big: the
// longest list entry the parser makes fits whole.
constexpr int COUNTRY_TEXT_SIZE = 200;

// WM_INITDIALOG, after the shell has stored the dialog and set its caption:
// vendor name, disabled country list, the profile. The flags need no
// clearing: the dialog's object, and so its state, is made as it opens.
void on_init_dialog(MainDialog& dialog);
// The last step of the initialisation: start the scan once the dialog shows.
void post_start_search(MainDialog& dialog);

// WM_COMMAND: control commands and the modem conversation's notifications.
void on_command(MainDialog& dialog, unsigned id, unsigned notify_code, intptr_t lparam);
// WM_TIMER of the reply deadline, with the deadline's sequence number.
void on_deadline_expired(MainDialog& dialog, unsigned sequence);

// Starts the read of the modem on the port just opened (connect_modem).
void start_read(MainDialog& dialog);
// The scan starts: no read or apply goes on, so a late notification of
// one is never taken for its next step.
void forget_procedure(MainDialog& dialog);
// The conversation is over: the state word is CMD_IDLE again. The one place
// the dialog writes it.
void conversation_over(MainDialog& dialog);

// Opens a conversation on the dialog's port slot (its port_number). 1 when
// the caller may send, 0 after a message box has told the user why not.
int connect_modem(MainDialog& dialog);
// The shared closing path: port closed, dialog ended, owner told to quit.
int close_main_dialog(MainDialog& dialog);
// Shows a string of the string table in the status line.
void show_status_string(MainDialog& dialog, unsigned id);
// CBN_ERRSPACE of either combo box.
void report_list_out_of_space(MainDialog& dialog);

} // namespace workflow
