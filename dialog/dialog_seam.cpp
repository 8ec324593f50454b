#include "dialog/dialog_seam.h"

#include "dialog/failure_table.h"
#include "dialog/messages.h"

void DialogSeam::identified(const char* ident) {
    // lParam carries the accepted text's address; the dialog reads the text
    // from modem_ident itself, never through the number.
    post(MSG_COMMAND, NOTIFY_DISCONNECT, reinterpret_cast<intptr_t>(ident));
}

void DialogSeam::list_read(unsigned command, bool ok) {
    post(MSG_COMMAND, command, ok ? 1 : 0);
}

void DialogSeam::code_read() {
    post(MSG_COMMAND, NOTIFY_I5_READ, 1);
}

void DialogSeam::ended(unsigned, bool ok) {
    post(MSG_COMMAND, NOTIFY_DISCONNECT, ok ? 1 : 0);
}

void DialogSeam::answered(unsigned command, bool ok) {
    post(MSG_COMMAND, command, ok ? 1 : 0);
}

void DialogSeam::report(const Failure& failure) {
    workflow::show_failure(*this, failure);
}
