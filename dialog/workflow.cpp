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
#include "procedures/procedures.h"
#include "profile/country_lists.h"
#include "profile/lookups.h"
#include "resources/resource.h"
#include "serial/port_session.h"

namespace workflow {

namespace {
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr unsigned COMBO_SELCHANGE = 1;
constexpr unsigned COMBO_ERRSPACE = 0xFFFF; // CBN_ERRSPACE (-1) in the high word

void show_status(MainDialog& dialog, const char* text) {
    dialog.seam.set_text(IDC_STATUS, text);
}

// The selected country's text, looked up again at the moment of applying:
// drawing the list walks the profile too, so the entry found when the user
// picked may no longer be the one the cursor stands on.
bool find_selected_country(MainDialog& dialog) {
    char text[COUNTRY_TEXT_SIZE];
    int index = dialog.seam.combo_selected(IDC_COUNTRY);
    if (index < 0 || dialog.seam.combo_text(IDC_COUNTRY, index, text, sizeof text) < 0) {
        return false;
    }
    return profile::CCfindSetCur(dialog.state.profile, text) == 1;
}

using Running = DialogState::Running;

// A notification of the conversation, as the procedures take it: the state
// word is read while the port is closed or the conversation waits for the
// dialog, so it holds still.
procedures::Event notification(MainDialog& dialog, unsigned id, intptr_t lparam) {
    return {true, id, lparam, dialog.talk.conversation_state.load(), false, {}};
}

void apply_country(MainDialog& dialog, bool from_ok) {
    if (from_ok) {
        dialog.state.close_when_done = 1;
        if (dialog.state.country_picked == 0) {
            close_main_dialog(dialog); // OK without a new pick ends at once
            return;
        }
    }
    dialog.seam.enable(IDC_APPLY, false);
    if (!from_ok && dialog.state.modem_count == 0) {
        dialog.seam.post(WM_START_SEARCH, 0, 0); // Apply without a known modem scans again
        return;
    }
    if (dialog.state.busy == 1 && dialog.talk.conversation_state != CMD_IDLE) {
        // An apply is under way: looking the pick up again would move its
        // entry and code under the running conversation. The user only hears
        // that the modem is busy, and the apply keeps its flags.
        connect_modem(dialog);
        return;
    }
    if (!find_selected_country(dialog)) {
        show_status(dialog, "Select a new country!");
        return;
    }
    const profile::Profile& chosen = dialog.state.profile;
    if (const Failure failed =
            procedures::choose_code(dialog.talk, chosen.key_cursor, chosen.current_record.code)) {
        show_failure(dialog.seam, failed);
        return;
    }
    dialog.state.busy = 1;
    dialog.seam.enable(IDC_COUNTRY, false);
    show_status_string(dialog, IDS_SENDING);
    if (connect_modem(dialog) == 0) {
        dialog.state.busy = 0; // no apply runs, so the country list must draw again
        return;
    }
    dialog.state.running = Running::apply;
    dialog.seam.paint_now();
    dialog.talk.send_modem_command(
        dialog.state.applying.start(dialog.talk, chosen.key_cursor).word);
}

// The country list, as the read took it: a list answer replaces its items;
// no list at all leaves them.
void show_list(MainDialog& dialog) {
    if (dialog.state.reading.list() == profile::ListAnswer::not_a_list) {
        return;
    }
    dialog.seam.combo_reset(IDC_COUNTRY);
    const profile::CountryList& countries = dialog.state.countries;
    for (int i = 0; i < countries.supported_count; ++i) {
        dialog.seam.combo_add(IDC_COUNTRY, countries.supported_entries[i]);
    }
    dialog.state.country_picked = 0; // the picked item went with the old list
    if (countries.supported_count == 0) {
        dialog.seam.enable(IDC_COUNTRY, false);
        show_status(dialog, "The modem lists no country.");
    }
}

// What the read answered. A read that ends early leaves the country list
// disabled: only show_current_country enables it. Its failure was told
// already, by a box or not at all (a refused note is no failure).
void on_read_answer(MainDialog& dialog, const procedures::Answer& answer) {
    switch (answer.kind) {
    case procedures::Answer::Kind::converse:
        if (dialog.state.reading.took_list()) {
            show_list(dialog);
            dialog.seam.paint_now();
        }
        dialog.talk.send_modem_command(answer.word);
        return;
    case procedures::Answer::Kind::done:
        dialog.state.running = Running::none;
        show_current_country(dialog);
        conversation_over(dialog);
        return;
    case procedures::Answer::Kind::failed:
        dialog.state.running = Running::none;
        if (answer.notified) {
            conversation_over(dialog); // the deadline's give-up ended it already
        }
        return;
    }
}

void return_to_idle_after_apply(MainDialog& dialog) {
    show_current_status(dialog, dialog.state.profile.current_record.name);
    if (dialog.state.close_when_done == 1) {
        close_main_dialog(dialog);
        return;
    }
    dialog.seam.enable(IDC_COUNTRY, true);
    dialog.seam.enable(IDC_APPLY, false);
    dialog.state.busy = 0;
    dialog.seam.set_focus(IDOK);
    conversation_over(dialog);
}

// What the apply answered after the note's conversation (the port is
// closed). The controls come back once the note's write was reached, even
// when the modem refused it; a refused clear leaves them as they are.
void on_note_answer(MainDialog& dialog, const procedures::Answer& answer) {
    if (answer.kind == procedures::Answer::Kind::converse) {
        dialog.talk.send_modem_command(answer.word);
        return;
    }
    dialog.state.running = Running::none;
    if (answer.kind == procedures::Answer::Kind::done ||
        (answer.notified && command_code(answer.word) == CMD_WRITE_I9)) {
        return_to_idle_after_apply(dialog);
    } else if (answer.notified) {
        conversation_over(dialog);
    }
}

void on_i5_read(MainDialog& dialog, intptr_t lparam) {
    const procedures::Event event = notification(dialog, NOTIFY_I5_READ, lparam);
    if (dialog.state.running == Running::apply) {
        dialog.state.country_picked = 0;
        const procedures::Answer answer = dialog.state.applying.on_event(dialog.talk, event);
        if (answer.kind != procedures::Answer::Kind::converse) {
            dialog.state.running = Running::none;
        }
        finish_apply(dialog, answer, dialog.state.applying.save_failure());
    } else if (dialog.state.running == Running::read) {
        on_read_answer(dialog, dialog.state.reading.on_event(dialog.talk, event));
    }
}

void on_disconnect(MainDialog& dialog, intptr_t lparam) {
    port_close(dialog.port); // the receive thread has ended: the state word holds still now
    trace("disconnect request-done\n");
    const procedures::Event event = notification(dialog, NOTIFY_DISCONNECT, lparam);
    if (dialog.state.scanning == 1) {
        discovery::on_probe_ended(dialog, event);
        return;
    }
    switch (dialog.state.running) {
    case Running::read:
        on_read_answer(dialog, dialog.state.reading.on_event(dialog.talk, event));
        break;
    case Running::apply:
        on_note_answer(dialog, dialog.state.applying.on_event(dialog.talk, event));
        break;
    case Running::none:
        conversation_over(dialog);
        break;
    }
}

// The deadline gave up on the conversation (its box is shown, the port
// closed, the state idle): the procedure that ran it ends with it.
void on_gave_up(MainDialog& dialog, uint32_t word) {
    const procedures::Event event{false, 0, 0, word, false, {}};
    if (dialog.state.running == Running::read) {
        on_read_answer(dialog, dialog.state.reading.on_event(dialog.talk, event));
    } else if (dialog.state.running == Running::apply) {
        on_note_answer(dialog, dialog.state.applying.on_event(dialog.talk, event));
    }
}

void on_country_notify(MainDialog& dialog, unsigned notify_code) {
    if (notify_code == COMBO_ERRSPACE) {
        report_list_out_of_space(dialog);
        return;
    }
    if (notify_code != COMBO_SELCHANGE) {
        return;
    }
    // A pick the profile does not hold must not leave Apply on from an
    // earlier pick, which would send that entry's code.
    dialog.seam.enable(IDC_APPLY, find_selected_country(dialog));
    dialog.state.country_picked = 1;
}
} // namespace

void start_read(MainDialog& dialog) {
    // No apply runs now; one that failed part-way left busy set, and the
    // list this read enables would otherwise draw none of its items.
    dialog.state.running = Running::read;
    dialog.state.busy = 0;
    dialog.seam.paint_now();
    dialog.talk.send_modem_command(dialog.state.reading.start(dialog.talk).word);
}

void forget_procedure(MainDialog& dialog) {
    dialog.state.running = Running::none;
}

void conversation_over(MainDialog& dialog) {
    dialog.talk.conversation_state = CMD_IDLE;
}

void on_init_dialog(MainDialog& dialog) {
    dialog.seam.load_string(IDS_VENDOR, dialog.talk.vendor_name, sizeof dialog.talk.vendor_name);
    dialog.seam.enable(IDC_COUNTRY, false);
    profile::load_profile(dialog.state.profile);
}

void post_start_search(MainDialog& dialog) {
    dialog.seam.post(WM_START_SEARCH, 0, 0);
}

void on_command(MainDialog& dialog, unsigned id, unsigned notify_code, intptr_t lparam) {
    switch (id) {
    case IDOK:
        apply_country(dialog, true);
        break;
    case IDCANCEL:
        close_main_dialog(dialog);
        break;
    case NOTIFY_DISCONNECT:
        on_disconnect(dialog, lparam);
        break;
    case NOTIFY_I5_READ:
        on_i5_read(dialog, lparam);
        break;
    case IDC_COUNTRY:
        on_country_notify(dialog, notify_code);
        break;
    case IDC_APPLY:
        apply_country(dialog, false);
        break;
    case IDC_MODEM:
        discovery::on_modem_list_notify(dialog, notify_code);
        break;
    default:
        // A list answer comes back under its dialect's list query.
        if (modem::dialect_by_list_command(id) != nullptr &&
            dialog.state.running == Running::read) {
            on_read_answer(dialog, dialog.state.reading.on_event(dialog.talk,
                                                                 notification(dialog, id, lparam)));
        }
        break;
    }
}

void on_deadline_expired(MainDialog& dialog, unsigned sequence) {
    const uint32_t word = dialog.talk.conversation_state.load();
    if (dialog.state.scanning == 1 && command_code(word) == CMD_IDENTIFY) {
        discovery::on_identify_deadline(dialog, sequence);
        return;
    }
    if (dialog.talk.on_reply_timer(sequence) == 1) {
        discovery::on_probe_ended(dialog, {false, 0, 0, word, true, {}}); // nothing answers there
    } else if (word != CMD_IDLE && dialog.talk.conversation_state.load() == CMD_IDLE) {
        on_gave_up(dialog, word);
    }
}

int connect_modem(MainDialog& dialog) {
    if (dialog.talk.conversation_state != CMD_IDLE) {
        show_failure(dialog.seam, failure(Kind::port_busy));
        return 0;
    }
    Failure failed = port_create(dialog.port, 0, modem::Conversation::receive, &dialog.talk,
                                 modem::Conversation::port_failed);
    if (!failed) {
        failed = port_open(dialog.port);
    }
    if (failed) {
        show_failure(dialog.seam, failed);
        return 0;
    }
    return 1;
}

int close_main_dialog(MainDialog& dialog) {
    port_close(dialog.port);
    dialog.seam.end_dialog();
    return 1;
}

void show_status_string(MainDialog& dialog, unsigned id) {
    char text[STATUS_TEXT_SIZE];
    dialog.seam.load_string(id, text, sizeof text);
    show_status(dialog, text);
}

void report_list_out_of_space(MainDialog& dialog) {
    show_failure(dialog.seam, failure(Kind::list_space));
}

} // namespace workflow
