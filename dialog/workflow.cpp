#include "dialog/workflow.h"

#include <cstring>

#include "common/text.h"
#include "common/trace.h"
#include "dialog/country_status.h"
#include "dialog/dialog_seam.h"
#include "dialog/discovery.h"
#include "dialog/failure_table.h"
#include "dialog/messages.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/reply_deadline.h"
#include "procedures/procedures.h"
#include "profile/country_lists.h"
#include "profile/lookups.h"
#include "profile/profile_values.h"
#include "resources/resource.h"
#include "serial/port_session.h"

namespace workflow {

int country_picked = 0;
int close_when_done = 0;
int busy = 0;
int apply_running = 0;
char country_list_copy[COUNTRY_LIST_COPY_SIZE];

namespace {
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr unsigned COMBO_SELCHANGE = 1;
constexpr unsigned COMBO_ERRSPACE = 0xFFFF; // CBN_ERRSPACE (-1) in the high word

DialogSeam& seam() {
    return dialog_seam();
}

modem::Conversation& talk() {
    return modem::dialog_conversation();
}

void show_status(const char* text) {
    seam().set_text(IDC_STATUS, text);
}

// The selected country's text, looked up again at the moment of applying:
// drawing the list walks the profile too, so the entry found when the user
// picked may no longer be the one the cursor stands on.
bool find_selected_country() {
    char text[COUNTRY_TEXT_SIZE];
    int index = seam().combo_selected(IDC_COUNTRY);
    if (index < 0 || seam().combo_text(IDC_COUNTRY, index, text, sizeof text) < 0) {
        return false;
    }
    return profile::CCfindSetCur(text) == 1;
}

void apply_country(bool from_ok) {
    if (from_ok) {
        close_when_done = 1;
        if (country_picked == 0) {
            close_main_dialog(); // OK without a new pick ends at once
            return;
        }
    }
    seam().enable(IDC_APPLY, false);
    if (!from_ok && discovery::modem_count == 0) {
        seam().post(WM_START_SEARCH, 0, 0); // Apply without a known modem scans again
        return;
    }
    if (busy == 1 && modem::conversation_state != CMD_IDLE) {
        // An apply is under way: looking the pick up again would move its
        // entry and code under the running conversation. The user only hears
        // that the modem is busy, and the apply keeps its flags.
        connect_modem();
        return;
    }
    if (!find_selected_country()) {
        show_status("Select a new country!");
        return;
    }
    if (const Failure failed =
            procedures::choose_code(talk(), profile::key_cursor, profile::current_record.code)) {
        show_failure(seam(), failed);
        return;
    }
    busy = 1;
    seam().enable(IDC_COUNTRY, false);
    show_status_string(IDS_SENDING);
    if (connect_modem() == 0) {
        busy = 0; // no apply runs, so the country list must draw again
        return;
    }
    apply_running = 1;
    seam().paint_now();
    procedures::start_apply(talk());
}

void on_list_arrived(intptr_t lparam) {
    // With lparam 0 the modem lists its countries by neither query.
    if (procedures::take_list(talk(), lparam != 0, procedures::DIALOG, country_list_copy,
                              sizeof country_list_copy) != profile::ListAnswer::not_a_list) {
        seam().combo_reset(IDC_COUNTRY);
        for (int i = 0; i < profile::supported_count; ++i) {
            seam().combo_add(IDC_COUNTRY, profile::supported_entries[i]);
        }
        country_picked = 0; // the picked item went with the old list
        if (profile::supported_count == 0) {
            seam().enable(IDC_COUNTRY, false);
            show_status("The modem lists no country.");
        }
    }
    seam().paint_now();
    procedures::read_present_code(talk());
}

void on_i5_read() {
    if (apply_running == 1) {
        apply_running = 0;
        country_picked = 0;
        finish_apply();
        return;
    }
    procedures::read_note(talk());
}

void return_to_idle_after_apply() {
    show_current_status(profile::current_record.name);
    if (close_when_done == 1) {
        close_main_dialog();
        return;
    }
    seam().enable(IDC_COUNTRY, true);
    seam().enable(IDC_APPLY, false);
    busy = 0;
    seam().set_focus(IDOK);
    modem::conversation_state = CMD_IDLE;
}

void on_disconnect(intptr_t lparam) {
    port_close(); // the receive thread has ended: the state word holds still now
    trace("disconnect request-done\n");
    uint32_t outstanding = modem::conversation_state;
    if (discovery::scanning == 1) {
        discovery::on_probe_ended(outstanding, lparam);
        return;
    }
    switch (command_code(outstanding)) {
    case CMD_READ_I9:
        show_current_country();
        modem::conversation_state = CMD_IDLE;
        break;
    case CMD_WRITE_I9:
        return_to_idle_after_apply();
        break;
    default:
        modem::conversation_state = CMD_IDLE;
        break;
    }
}

void on_country_notify(unsigned notify_code) {
    if (notify_code == COMBO_ERRSPACE) {
        report_list_out_of_space();
        return;
    }
    if (notify_code != COMBO_SELCHANGE) {
        return;
    }
    // A pick the profile does not hold must not leave Apply on from an
    // earlier pick, which would send that entry's code.
    seam().enable(IDC_APPLY, find_selected_country());
    country_picked = 1;
}
} // namespace

void reset() {
    country_picked = 0;
    close_when_done = 0;
    busy = 0;
    apply_running = 0;
}

void on_init_dialog() {
    seam().load_string(IDS_VENDOR, modem::vendor_name, sizeof modem::vendor_name);
    seam().enable(IDC_COUNTRY, false);
    profile::load_profile();
    reset();
}

void post_start_search() {
    seam().post(WM_START_SEARCH, 0, 0);
}

void on_command(unsigned id, unsigned notify_code, intptr_t lparam) {
    switch (id) {
    case IDOK:
        apply_country(true);
        break;
    case IDCANCEL:
        close_main_dialog();
        break;
    case CMD_LIST_NC:
    case CMD_LIST_GCI:
        on_list_arrived(lparam);
        break;
    case NOTIFY_DISCONNECT:
        on_disconnect(lparam);
        break;
    case NOTIFY_I5_READ:
        on_i5_read();
        break;
    case IDC_COUNTRY:
        on_country_notify(notify_code);
        break;
    case IDC_APPLY:
        apply_country(false);
        break;
    case IDC_MODEM:
        discovery::on_modem_list_notify(notify_code);
        break;
    default:
        break;
    }
}

void on_deadline_expired(unsigned sequence) {
    if (discovery::scanning == 1 && command_code(modem::conversation_state) == CMD_IDENTIFY) {
        discovery::on_identify_deadline(sequence);
        return;
    }
    if (on_reply_timer(sequence) == 1) {
        discovery::try_next_port();
    }
}

int connect_modem() {
    if (modem::conversation_state != CMD_IDLE) {
        show_failure(seam(), failure(Kind::port_busy));
        return 0;
    }
    modem::conversation_state = CMD_IDLE;
    Failure failed = port_create(0, modem::Conversation::receive, &modem::dialog_conversation(),
                                 modem::Conversation::port_failed);
    if (!failed) {
        failed = port_open();
    }
    if (failed) {
        show_failure(seam(), failed);
        return 0;
    }
    return 1;
}

int close_main_dialog() {
    port_close();
    seam().end_dialog();
    return 1;
}

void show_status_string(unsigned id) {
    char text[STATUS_TEXT_SIZE];
    seam().load_string(id, text, sizeof text);
    show_status(text);
}

void report_list_out_of_space() {
    show_failure(seam(), failure(Kind::list_space));
}

} // namespace workflow
