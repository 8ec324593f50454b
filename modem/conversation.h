// One modem conversation on one port: what it sent, what the modem answered,
// and the operations that talk and listen (the sender, the reply interpreter
// and the reply deadline). A front end makes one with itself and the place
// of its port session: the dialog one for its life (dialog/dialog_seam.h),
// over the dialog's port slot; the command line one per port it talks to,
// over that port's own session.
//
// Where each value lives:
// - the state word, the retry count, the deadline sequence, the reply
//   buffer, command_text and code_to_send: here, written by the sender and
//   the interpreter; code_to_send is set by the procedures before an apply
//   (procedures/procedures.h), not by a profile look-up;
// - the answers (the dialect and use_gci, i5_code, i9_text,
//   country_list_reply, modem_ident, answered_ident, front_end_answer):
//   here, written by the interpreter;
// - the settings: here; vendor_name and ignore_ring set by the front end
//   before its first conversation, the own commands by the procedures that
//   send them;
// - the front end it reports to and the port session it talks through: here,
//   given when it is made. The session itself is made and closed per
//   connection by its front end, so the conversation holds where it is.
//
// Two threads touch a conversation. The state word, the retry count and the
// deadline sequence are atomic because both threads write them without a
// message in between. The answer texts are written on the receive thread
// before the notification that announces them is posted, and the front end
// reads them only when it handles that notification. command_text is written
// before the deadline's sequence is published, and the reply interpreter
// reads it only after claiming that sequence.
#pragma once

#include "common/failure.h"
#include "modem/command_table.h"
#include "modem/dialect.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

class FrontEnd;
struct PortSession;

namespace modem {

constexpr size_t COMMAND_TEXT_SIZE = 64;
constexpr size_t CODE_TEXT_SIZE = 12;    // i5_code, i9_text, code_to_send: at most 11 characters
constexpr size_t LIST_REPLY_SIZE = 1024; // country_list_reply
constexpr size_t MODEM_IDENT_SIZE = 128; // modem_ident
constexpr size_t VENDOR_NAME_SIZE = 200; // vendor_name
constexpr size_t REPLY_LIMIT = 3000;     // characters gathered between verdicts

class Conversation {
  public:
    Conversation(FrontEnd& front, PortSession*& session) : front_end(front), port(session) {}
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    // --- the exchange ---
    // Low byte: the outstanding command (CMD_IDLE between conversations);
    // second byte: a wake-up's follow-up.
    std::atomic<uint32_t> conversation_state{CMD_IDLE};
    // The text of the last command sent, as written to the port.
    char command_text[COMMAND_TEXT_SIZE] = {};
    // Failures of the wake-up now outstanding (ERROR or time-out); one retry.
    std::atomic<int32_t> retry_count{0};
    // The code the set-country command sends (at most 11 characters).
    char code_to_send[CODE_TEXT_SIZE] = {};

    // --- the answers ---
    // The dialect the modem's last list answer came in (AT*nc until one
    // came), and use_gci as it says: 1 when the modem takes AT+GCI
    // commands, 0 for AT*nc. Both change together, through speak().
    const Dialect* dialect = &nc_dialect();
    int32_t use_gci = 0;
    char i5_code[CODE_TEXT_SIZE] = {};
    char i9_text[CODE_TEXT_SIZE] = {};
    char country_list_reply[LIST_REPLY_SIZE] = {};
    char modem_ident[MODEM_IDENT_SIZE] = {};
    // The identification line of the last device that answered ATV1i3,
    // whether it passed the test or not, so that a front end can say what
    // it rejected.
    char answered_ident[MODEM_IDENT_SIZE] = {};
    // The answer line of the last front end's own command, written before
    // its notification is posted.
    char front_end_answer[MODEM_IDENT_SIZE] = {};

    // --- settings ---
    // The vendor name a modem's identification must contain.
    char vendor_name[VENDOR_NAME_SIZE] = {};
    // Commands beside the table's, looked up after its rows, whose codes must
    // differ from those of the table: the procedures add AT+GCI? where their
    // options ask for it (the command line's); the dialog's conversation has
    // none.
    // Such a command ends its conversation: its answer line is kept in
    // front_end_answer and the front end is notified under the command's
    // code, with 1 for OK and 0 for ERROR. The rows must outlive their use.
    const CommandRow* own_rows = nullptr;
    size_t own_row_count = 0;
    // Unsolicited RING lines (a call coming in) are dropped from what is
    // gathered, so none is ever read as an answer. The command line sets it:
    // it borrows ports from gettys that answer calls. The dialog keeps them.
    bool ignore_ring = false;
    // Who hears of the conversation, and where the session of the port it
    // talks through is (null while no port is open).
    FrontEnd& front_end;
    PortSession*& port;

    // --- gathering and the deadline (the receive thread's, and both threads') ---
    char reply_buffer[REPLY_LIMIT + 1] = {};
    size_t reply_length = 0;
    // The sequence number of the pending reply deadline, 0 when none is
    // pending. Whoever exchanges it to 0 (a verdict, or the expiry of that
    // deadline) owns the outstanding command; the other one does nothing.
    std::atomic<unsigned> deadline_sequence{0};
    // The last sequence number handed out.
    std::atomic<unsigned> last_sequence{0};

    // --- operations ---
    // The sender: stores `word` as the state, then, when its low byte is a
    // command, builds its text, arms its reply deadline and writes it. May
    // run on the front end's thread or on the receive thread, never on both
    // at once: one command is outstanding at a time.
    void send_modem_command(uint32_t word);
    // The reply interpreter: one received block, block[length] being NUL.
    // Runs on the receive thread, one block at a time.
    void on_modem_data(const char* block, uint32_t length);
    // The port session's callbacks; `context` is the conversation. A
    // failure of the port reaches the front end as the conversation's do.
    static void receive(void* context, const char* block, uint32_t length);
    static void port_failed(void* context, const Failure& failure);

    // The reply deadline. arm takes a new sequence number, makes it the
    // pending deadline and arms it: at once on the front end's thread, by a
    // request from any other. claim is a verdict's: it takes the pending
    // deadline and gives false when there was none (the verdict must not act).
    unsigned arm_reply_deadline(unsigned milliseconds);
    bool claim_reply_deadline();
    // An expiry's claim: true only for the deadline still pending.
    bool claim_expired(unsigned sequence);
    // The front end's handler of an arm request: starts the deadline unless
    // a newer one has been handed out since the request was made.
    void on_arm_request(unsigned milliseconds, unsigned sequence);
    // The expiry of a deadline. Gives 1 when a probe's wake-up went
    // unanswered twice (nothing answers on the port), 0 otherwise. A stale
    // expiry does nothing and gives 0.
    int on_reply_timer(unsigned sequence);

    // The row of the word's low byte (the table's, then the front end's own).
    const CommandRow* find_command(uint32_t word) const;
    bool is_front_end_command(uint32_t code) const;
    // Builds the row's text into command_text from the values as they are
    // now (the dialect, code_to_send, i9_text); gives its length.
    size_t build_command_text(const CommandRow& row);

    // From now on the modem is spoken to in `spoken`.
    void speak(const Dialect& spoken) {
        dialect = &spoken;
        use_gci = spoken.use_gci;
    }

    // Back to the state of a fresh start: CMD_IDLE, nothing gathered, no
    // deadline, no answers. The front end, the port and the own commands stay.
    void reset();

    // The command last written, as a user would type it ("ATz", "AT*ncB4").
    std::string step() const;
    // A failure of this conversation: at its step, on its port.
    Failure failure(Kind kind, const char* text, int error = 0);
};

// A command's text as a user would type it: without its line ends.
std::string command_step(const char* text);

} // namespace modem
