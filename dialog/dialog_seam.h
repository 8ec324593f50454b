// The one way the dialog's workflow reaches the main dialog and its
// platform: the modem conversation's front end (posts, the reply deadline,
// boxes) plus strings and controls. The Win32 shell implements it with
// PostMessageA, SetTimer, MessageBoxA, SendDlgItemMessageA and LoadStringA;
// tests implement it with a recording fake whose message queue the test pumps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modem/front_end.h"

class DialogSeam : public FrontEnd {
  public:
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

    // Ends the main dialog (EndDialog with 1) and posts WM_DESTROY to the owner.
    virtual void end_dialog() = 0;
    // Posts WM_DESTROY to the owner window without ending the dialog first.
    virtual void post_destroy_to_owner() = 0;
};

// The seam in use; the shell (or a test) installs it before the dialog
// starts, which also makes it the conversation's front end.
DialogSeam& dialog_seam();
void install_dialog_seam(DialogSeam* seam);
