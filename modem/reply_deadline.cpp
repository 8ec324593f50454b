// The reply deadline of a conversation (modem/conversation.h). It belongs
// to the front end's thread: the conversation only asks its front end to arm
// or cancel it, and every armed deadline carries a sequence number so that a
// verdict and an expiry never both act on one command.
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "serial/port_session.h"

namespace modem {

unsigned Conversation::arm_reply_deadline(unsigned milliseconds) {
    unsigned sequence = last_sequence.fetch_add(1) + 1;
    if (sequence == 0) { // 0 means "none pending"; skip it when the count wraps
        sequence = last_sequence.fetch_add(1) + 1;
    }
    // Published with release: a verdict that claims this sequence sees the
    // state word and command_text of the command it belongs to.
    deadline_sequence.store(sequence, std::memory_order_release);
    // On the front end's own thread the timer starts at once: a request would
    // be handled only after the command's write, which may stall, has returned.
    if (front_end.on_front_end_thread()) {
        on_arm_request(milliseconds, sequence);
    } else {
        front_end.arm_deadline(milliseconds, sequence);
    }
    return sequence;
}

bool Conversation::claim_reply_deadline() {
    unsigned sequence = deadline_sequence.exchange(0, std::memory_order_acq_rel);
    if (sequence == 0) {
        return false;
    }
    front_end.cancel_deadline(sequence);
    return true;
}

// Only an expiry of the deadline still pending may act; one that a verdict or
// a newer command has overtaken is stale.
bool Conversation::claim_expired(unsigned sequence) {
    unsigned expected = sequence;
    return sequence != 0 &&
           deadline_sequence.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

void Conversation::on_arm_request(unsigned milliseconds, unsigned sequence) {
    // Sequence numbers wrap, so "older" is judged on their distance.
    const bool superseded = static_cast<int>(last_sequence.load() - sequence) > 0;
    if (!superseded) {
        front_end.start_deadline(milliseconds, sequence);
    }
}

int Conversation::on_reply_timer(unsigned sequence) {
    if (!claim_expired(sequence)) {
        return 0;
    }
    // Cancelled at once, so this deadline fires once.
    front_end.cancel_deadline(sequence);
    uint32_t word = conversation_state.load();
    if (command_code(word) == CMD_WAKE && retry_count.fetch_add(1) + 1 < 2) {
        send_modem_command(word); // the one retry of a wake-up
        return 0;
    }
    retry_count = 0;
    port_close(port); // returns once the receive thread has ended
    if (follow_up_code(word) == CMD_IDENTIFY) {
        // The probe's wake-up went unanswered twice: nothing answers on this
        // port, so a scan goes on with the next one without a word.
        return 1;
    }
    conversation_state = CMD_IDLE;
    const CommandRow* row = find_command(word);
    front_end.report(failure(Kind::reply_deadline, "Modem dialog timeout occurred!",
                             row != nullptr ? static_cast<int>(row->deadline_ms) : 0));
    return 0;
}

} // namespace modem
