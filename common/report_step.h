// Where a failure that the user must hear of arose. The conversation and the
// port session report a failure by its step and its text; each front end
// decides how to show it (the dialog: which box, with which caption; the
// command line: which message).
#pragma once

enum class Step : unsigned {
    modem_reply,    // the modem refused a command, or its answer overflowed
    reply_deadline, // the modem did not answer in time
    port_close,     // the port would not close
    receive_thread, // the receive thread could not start properly
};
