// The reply deadline WAIT_OK. It belongs to the main dialog's thread: the
// modem code only asks the dialog seam to arm or cancel it, and every armed
// deadline carries a sequence number so that a verdict and an expiry never
// both act on one command.
#pragma once

namespace modem {

// Takes a new sequence number, makes it the pending deadline and arms WAIT_OK
// for `milliseconds`: at once on the dialog's thread, by a request from any
// other. Replaces a deadline still pending.
unsigned arm_reply_deadline(unsigned milliseconds);

// For a verdict: takes the pending deadline, if any, and asks the dialog to
// cancel it. Gives false when no deadline was pending (its expiry took it, or
// no command was armed), in which case the verdict must not act.
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
