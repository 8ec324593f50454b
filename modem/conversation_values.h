// The values one modem conversation shares between the sender, the reply
// interpreter, the reply deadline and the main dialog.
//
// Two threads touch them. The state word, the retry count and the deadline
// sequence are atomic because both threads write them without a message in
// between. The answer texts (i5_code, i9_text, use_gci, country_list_reply,
// modem_ident) are written on the receive thread before the notification that
// announces them is posted, and the dialog reads them only when it handles
// that notification. command_text is written before the deadline's sequence
// is published, and the reply interpreter reads it only after claiming that
// sequence.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace modem {

constexpr size_t COMMAND_TEXT_SIZE = 64;
constexpr size_t CODE_TEXT_SIZE = 12;    // i5_code, i9_text: at most 11 characters
constexpr size_t LIST_REPLY_SIZE = 1024; // country_list_reply
constexpr size_t MODEM_IDENT_SIZE = 128; // modem_ident
constexpr size_t VENDOR_NAME_SIZE = 200; // vendor_name
constexpr size_t REPLY_LIMIT = 3000;     // characters gathered between verdicts

// Low byte: the outstanding command (CMD_IDLE between conversations);
// second byte: a wake-up's follow-up.
extern std::atomic<uint32_t> conversation_state;
// The text of the last command sent, as written to the port.
extern char command_text[COMMAND_TEXT_SIZE];
// Failures of the wake-up now outstanding (ERROR or time-out); one retry.
extern std::atomic<int32_t> retry_count;
// 1 when the modem takes AT+GCI commands, 0 for AT*nc.
extern int32_t use_gci;
extern char i5_code[CODE_TEXT_SIZE];
extern char i9_text[CODE_TEXT_SIZE];
extern char country_list_reply[LIST_REPLY_SIZE];
extern char modem_ident[MODEM_IDENT_SIZE];
// The identification line of the last device that answered ATV1i3, whether
// it passed the test or not, so that a front end can say what it rejected.
extern char answered_ident[MODEM_IDENT_SIZE];
// The answer line of the last front end's own command (see
// set_front_end_commands), written before its notification is posted.
extern char front_end_answer[MODEM_IDENT_SIZE];
// The vendor name a modem's identification must contain. Kept here, beside
// the test that reads it; the main dialog loads it (IDS_VENDOR) when it starts.
extern char vendor_name[VENDOR_NAME_SIZE];

// Everything gathered since the last verdict; touched by the receive thread only.
extern char reply_buffer[REPLY_LIMIT + 1];
extern size_t reply_length;

// The sequence number of the pending reply deadline, 0 when none is pending.
// Whoever exchanges it to 0 (a verdict, or the expiry of that deadline) owns
// the outstanding command; the other one does nothing.
extern std::atomic<unsigned> deadline_sequence;
// The last sequence number handed out.
extern std::atomic<unsigned> last_sequence;

// Back to the state of a fresh start: CMD_IDLE, nothing gathered, no deadline.
void reset_conversation_values();

} // namespace modem
