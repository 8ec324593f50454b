// What every test of the main dialog's controller starts from: fresh values
// in every subsystem, the string-table texts the tests read back, and the
// shell's handling of the messages the controller posts to itself.
#pragma once

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "dialog/dialog_seam.h"
#include "profile/country_lists.h"
#include "resources/resource.h"
#include "serial/port_session.h"
#include "tests/support/fake_seam.h"

namespace fake {

// The dialog opens with the seam, as the shell opens it with its own: a
// fresh conversation made with that seam.
inline void start_fresh_dialog(FakeSeam& seam) {
    open_dialog(seam);
    seam.conversation = &dialog_conversation();
    profile::reset_country_lists();
    workflow::reset();
    discovery::reset();
    port_number = 0;
    seam.set_string(IDS_SEARCHING, "Searching for known modems...");
    seam.set_string(IDS_SETTING_UP, "Setting up Countries supported...");
    seam.set_string(IDS_SENDING, "Sending Modem Commands...");
    seam.set_string(IDS_CURRENT_FMT, "Your modem is currently set for %s");
    seam.set_string(IDS_VENDOR, "Quorvant");
    seam.set_string(IDS_INSERT_MODEM, "Insert modem and press 'Apply' !");
    seam.set_string(IDS_NO_MODEM, "Unable to find a Modem! May be busy or disconnected");
}

// One posted message, handled as the dialog procedure would.
inline void dispatch_post(const Post& post) {
    if (post.message == MSG_COMMAND) {
        workflow::on_command(post.wparam & 0xFFFF, post.wparam >> 16, post.lparam);
    } else if (post.message == WM_START_SEARCH) {
        discovery::on_start_search();
    } else if (post.message == WM_CONNECT_PORT) {
        discovery::on_connect_port(static_cast<int>(post.wparam));
    }
}

} // namespace fake
