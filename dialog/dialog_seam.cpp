#include "dialog/dialog_seam.h"

#include "dialog/failure_table.h"
#include "dialog/messages.h"
#include "serial/port_session.h"

#include <memory>

namespace {

struct OpenDialog {
    explicit OpenDialog(DialogSeam& seam) : seam(seam), talk(seam, port_session) {}
    DialogSeam& seam;
    modem::Conversation talk;
    DialogState state;
};

// Made and ended on the dialog's thread; the receive thread reaches the
// conversation only through its port session's context pointer.
std::unique_ptr<OpenDialog> open;

} // namespace

void open_dialog(DialogSeam& seam) {
    open = std::make_unique<OpenDialog>(seam);
}

void close_dialog() {
    open.reset();
}

DialogSeam& dialog_seam() {
    return open->seam;
}

modem::Conversation& dialog_conversation() {
    return open->talk;
}

DialogState& dialog_state() {
    return open->state;
}

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
