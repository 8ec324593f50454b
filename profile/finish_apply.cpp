#include "profile/country_lists.h"

#include "common/text.h"
#include "common/trace.h"
#include "dialog/dialog_seam.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/sender.h"
#include "profile/current_status.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "resources/resource.h"
#include "serial/port_session.h"

#include <cstring>

namespace profile {
namespace {

// The apply is over: the modem holds the chosen country.
void finish_applied() {
    DialogSeam& seam = dialog_seam();
    seam.enable(IDC_COUNTRY, true);
    workflow::busy = 0;
    show_current_status(current_record.name);
    port_close();
    modem::conversation_state = CMD_IDLE;
    if (workflow::close_when_done) {
        seam.post_destroy_to_owner();
    }
}

// The cursor stands on no entry the program can record (the list's end, or
// a key too long for the modem's note): whatever the modem was set to, it
// is not the chosen country, so the apply ends as failed and the modem's
// real code is shown instead of a country name.
void abandon_apply() {
    DialogSeam& seam = dialog_seam();
    port_close();
    modem::conversation_state = CMD_IDLE;
    seam.enable(IDC_COUNTRY, true);
    workflow::busy = 0;
    char codes[64];
    format_text(codes, sizeof codes, "Current i5 - %s, i9 - %s", modem::i5_code, modem::i9_text);
    seam.show(IDC_CURRENT_CODES, true);
    seam.set_text(IDC_CURRENT_CODES, codes);
    seam.message_box("Failure to set the Country Code!", "Modem Status",
                     BOX_SETFOREGROUND | BOX_ICONWARNING, true);
}

} // namespace

void finish_apply() {
    const char* key = key_cursor;
    size_t key_length = std::strlen(key);
    if (key_length == 0 || key_length > MAX_KEY_LENGTH) {
        trace("\nCC finish_apply: no entry chosen\n");
        abandon_apply();
        return;
    }
    if (modem::use_gci) {
        finish_applied();
        return;
    }
    write_profile_string(CHOICE_SECTION, CHOICE_KEY, key, profile_path);
    if (std::strstr(modem::i9_text, key) != nullptr) {
        finish_applied(); // the modem's note names this entry already
        return;
    }
    // The note is cleared, then written from i9_text when the clear is answered.
    copy_text(modem::i9_text, key);
    send_modem_command(CMD_CLEAR_I9);
}

} // namespace profile
