// What every test of the main dialog's controller starts from: a fresh
// dialog object, the string-table texts the tests read back, and the
// shell's handling of the messages the controller posts to itself.
#pragma once

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "dialog/dialog_seam.h"
#include "resources/resource.h"
#include "tests/support/fake_seam.h"

#include <memory>

namespace fake {

// The dialog opens with the seam, as the shell opens it with its own: a
// fresh dialog made with that seam.
inline std::unique_ptr<MainDialog> start_fresh_dialog(FakeSeam& seam) {
    auto dialog = std::make_unique<MainDialog>(seam);
    seam.conversation = &dialog->talk;
    seam.set_string(IDS_SEARCHING, "Searching for known modems...");
    seam.set_string(IDS_SETTING_UP, "Setting up Countries supported...");
    seam.set_string(IDS_SENDING, "Sending Modem Commands...");
    seam.set_string(IDS_CURRENT_FMT, "Your modem is currently set for %s");
    seam.set_string(IDS_VENDOR, "Quorvant");
    seam.set_string(IDS_INSERT_MODEM, "Insert modem and press 'Apply' !");
    seam.set_string(IDS_NO_MODEM, "Unable to find a Modem! May be busy or disconnected");
    return dialog;
}

// One posted message, handled as the dialog procedure would.
inline void dispatch_post(MainDialog& dialog, const Post& post) {
    if (post.message == MSG_COMMAND) {
        workflow::on_command(dialog, post.wparam & 0xFFFF, post.wparam >> 16, post.lparam);
    } else if (post.message == WM_START_SEARCH) {
        discovery::on_start_search(dialog);
    } else if (post.message == WM_CONNECT_PORT) {
        discovery::on_connect_port(dialog, static_cast<int>(post.wparam));
    }
}

} // namespace fake
