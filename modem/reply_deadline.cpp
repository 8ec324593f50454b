#include "modem/reply_deadline.h"

#include "modem/front_end.h"
#include "modem/notifications.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/sender.h"
#include "serial/port_session.h"

namespace modem {

unsigned arm_reply_deadline(unsigned milliseconds) {
    unsigned sequence = last_sequence.fetch_add(1) + 1;
    if (sequence == 0) { // 0 means "none pending"; skip it when the count wraps
        sequence = last_sequence.fetch_add(1) + 1;
    }
    // Published with release: a verdict that claims this sequence sees the
    // state word and command_text of the command it belongs to.
    deadline_sequence.store(sequence, std::memory_order_release);
    // On the dialog's own thread the timer starts at once: a request would be
    // handled only after the command's write, which may stall, has returned.
    if (front_end().on_dialog_thread()) {
        on_arm_request(milliseconds, sequence);
    } else {
        front_end().arm_deadline(milliseconds, sequence);
    }
    return sequence;
}

bool claim_reply_deadline() {
    unsigned sequence = deadline_sequence.exchange(0, std::memory_order_acq_rel);
    if (sequence == 0) {
        return false;
    }
    front_end().cancel_deadline(sequence);
    return true;
}

} // namespace modem

namespace {

// Only an expiry of the deadline still pending may act; one that a verdict or
// a newer command has overtaken is stale.
bool claim_expired(unsigned sequence) {
    unsigned expected = sequence;
    return sequence != 0 &&
           modem::deadline_sequence.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

// Sequence numbers wrap, so "older" is judged on their distance.
bool superseded(unsigned sequence) {
    return static_cast<int>(modem::last_sequence.load() - sequence) > 0;
}

} // namespace

void on_arm_request(unsigned milliseconds, unsigned sequence) {
    if (!superseded(sequence)) {
        front_end().start_deadline(milliseconds, sequence);
    }
}

int on_reply_timer(unsigned sequence) {
    if (!claim_expired(sequence)) {
        return 0;
    }
    // Cancelled at once, so this deadline fires once.
    front_end().cancel_deadline(sequence);
    uint32_t word = modem::conversation_state.load();
    if (command_code(word) == CMD_WAKE && modem::retry_count.fetch_add(1) + 1 < 2) {
        send_modem_command(word); // the one retry of a wake-up
        return 0;
    }
    modem::retry_count = 0;
    port_close(); // returns once the receive thread has ended
    if (follow_up_code(word) == CMD_IDENTIFY) {
        // The scan's wake-up went unanswered twice: nothing answers on this
        // port, so the scan goes on with the next one without a word.
        return 1;
    }
    modem::conversation_state = CMD_IDLE;
    front_end().message_box("Modem dialog timeout occurred!", "Modem Status", BOX_ICONWARNING,
                            true);
    return 0;
}
