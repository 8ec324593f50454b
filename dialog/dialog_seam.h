// The one way the dialog's workflow reaches the main dialog and its
// platform: the modem conversation's front end (its events, the reply
// deadline, its failures) plus posts, boxes, strings and controls. The
// conversation's events become the WM_COMMAND notifications the dialog has
// always handled, and its failures the boxes it has always shown. The Win32
// shell implements it with PostMessageA, SetTimer, MessageBoxA,
// SendDlgItemMessageA and LoadStringA; tests implement it with a recording
// fake whose message queue the test pumps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialog/dialog_state.h"
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "serial/port_session.h"

class DialogSeam : public FrontEnd {
  public:
    // The conversation's events, as posted WM_COMMAND notifications
    // (modem/notifications.h), and its failures as boxes.
    void identified(const char* ident) override;
    void list_read(unsigned command, bool ok) override;
    void code_read() override;
    void ended(unsigned step, bool ok) override;
    void answered(unsigned command, bool ok) override;
    // As the dialog's failure table says (dialog/failure_table.h).
    void report(const Failure& failure) override;

    // Posts a message to the main dialog: never waits, callable from any thread.
    virtual void post(unsigned message, uintptr_t wparam, intptr_t lparam) = 0;
    // A modal box (`owned` makes the main dialog its owner); returns once it
    // is closed. May be called on the receive thread.
    virtual void message_box(const char* text, const char* caption, unsigned flags, bool owned) = 0;

    // LoadStringA into `buffer` of `size` bytes; gives the length (0 if missing).
    virtual int load_string(unsigned id, char* buffer, int size) = 0;

    // Controls of the main dialog, by control id.
    virtual void set_text(int control, const char* text) = 0;
    virtual void enable(int control, bool enabled) = 0;
    virtual void show(int control, bool visible) = 0;
    virtual void set_focus(int control) = 0;
    virtual void set_icon(int control, unsigned icon_id) = 0;

    // The few combo-box operations the workflow uses. Indexes are the
    // control's; -1 stands for "none" (CB_ERR).
    virtual void combo_reset(int control) = 0;
    virtual int combo_add(int control, const char* text) = 0;
    virtual int combo_selected(int control) = 0;
    virtual void combo_select(int control, int index) = 0;
    // Copies the item's text, cut to size - 1; gives its length or -1.
    virtual int combo_text(int control, int index, char* buffer, size_t size) = 0;
    // CB_FINDSTRINGEXACT: search starts after `start_after` and wraps.
    virtual int combo_find_exact(int control, int start_after, const char* text) = 0;

    // Paints at once whatever the workflow changed on the dialog. Called just
    // before the dialog starts a conversation: painting left for later would
    // run alongside the modem's first replies and hold them up.
    virtual void paint_now() {}

    // Ends the main dialog (EndDialog with 1) and posts WM_DESTROY to the owner.
    virtual void end_dialog() = 0;
    // Posts WM_DESTROY to the owner window without ending the dialog first.
    virtual void post_destroy_to_owner() = 0;
};

// The open main dialog: its seam, its port slot, the conversation it owns,
// made with that seam as its front end and the slot as the place of its port
// session, and its state. Its owner makes it when the dialog opens (the
// shell before WM_INITDIALOG, a test at its start) and hands it to every
// handler; its end closes the port before the conversation goes. Opening
// again starts from a fresh one.
struct MainDialog {
    explicit MainDialog(DialogSeam& seam) : seam(seam), talk(seam, port.port_session) {}
    ~MainDialog() { port_release(port); } // no receive thread outlives the conversation
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    DialogSeam& seam;
    PortSlot port;
    modem::Conversation talk;
    DialogState state;
};
