// The reply deadline of a conversation (Conversation::arm_reply_deadline and
// the rest, in modem/conversation.h). It belongs to the front end's thread:
// the conversation only asks its front end to arm or cancel it, and every
// armed deadline carries a sequence number so that a verdict and an expiry
// never both act on one command. These are the dialog's ways in, on its
// default conversation.
#pragma once

namespace modem {

unsigned arm_reply_deadline(unsigned milliseconds);
bool claim_reply_deadline();

} // namespace modem

// The dialog's handler for an arm request: starts WAIT_OK on that deadline,
// unless a newer deadline has been handed out since the request was made. A
// request made on one thread can reach the dialog after a newer one made on
// the other; starting the timer on it would leave the newer command with no
// live deadline, as the older one's expiry is ignored.
void on_arm_request(unsigned milliseconds, unsigned sequence);

// The dialog's WM_TIMER handler for WAIT_OK, with the sequence number of the
// deadline that expired. Gives 1 when the COM port scan is to go on with the
// next port, 0 otherwise. An expiry whose deadline is no longer pending (a
// verdict or a newer command took it) does nothing and gives 0.
int on_reply_timer(unsigned sequence);
