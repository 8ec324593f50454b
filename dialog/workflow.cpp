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

DialogSeam& seam() {
    return dialog_seam();
}

modem::Conversation& talk() {
    return dialog_conversation();
}

DialogState& state() {
    return dialog_state();
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
    return profile::CCfindSetCur(state().profile, text) == 1;
}

using Running = DialogState::Running;

// A notification of the conversation, as the procedures take it: the state
// word is read while the port is closed or the conversation waits for the
// dialog, so it holds still.
procedures::Event notification(unsigned id, intptr_t lparam) {
    return {true, id, lparam, talk().conversation_state.load(), false, {}};
}

void apply_country(bool from_ok) {
    if (from_ok) {
        state().close_when_done = 1;
        if (state().country_picked == 0) {
            close_main_dialog(); // OK without a new pick ends at once
            return;
        }
    }
    seam().enable(IDC_APPLY, false);
    if (!from_ok && state().modem_count == 0) {
        seam().post(WM_START_SEARCH, 0, 0); // Apply without a known modem scans again
        return;
    }
    if (state().busy == 1 && talk().conversation_state != CMD_IDLE) {
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
    const profile::Profile& chosen = state().profile;
    if (const Failure failed =
            procedures::choose_code(talk(), chosen.key_cursor, chosen.current_record.code)) {
        show_failure(seam(), failed);
        return;
    }
    state().busy = 1;
    seam().enable(IDC_COUNTRY, false);
    show_status_string(IDS_SENDING);
    if (connect_modem() == 0) {
        state().busy = 0; // no apply runs, so the country list must draw again
        return;
    }
    state().running = Running::apply;
    seam().paint_now();
    talk().send_modem_command(state().applying.start(talk(), chosen.key_cursor).word);
}

// The country list, as the read took it: a list answer replaces its items;
// no list at all leaves them.
void show_list() {
    if (state().reading.list() == profile::ListAnswer::not_a_list) {
        return;
    }
    seam().combo_reset(IDC_COUNTRY);
    for (int i = 0; i < profile::supported_count; ++i) {
        seam().combo_add(IDC_COUNTRY, profile::supported_entries[i]);
    }
    state().country_picked = 0; // the picked item went with the old list
    if (profile::supported_count == 0) {
        seam().enable(IDC_COUNTRY, false);
        show_status("The modem lists no country.");
    }
}

// What the read answered. A read that ends early leaves the country list
// disabled: only show_current_country enables it. Its failure was told
// already, by a box or not at all (a refused note is no failure).
void on_read_answer(const procedures::Answer& answer) {
    switch (answer.kind) {
    case procedures::Answer::Kind::converse:
        if (state().reading.took_list()) {
            show_list();
            seam().paint_now();
        }
        talk().send_modem_command(answer.word);
        return;
    case procedures::Answer::Kind::done:
        state().running = Running::none;
        show_current_country();
        conversation_over();
        return;
    case procedures::Answer::Kind::failed:
        state().running = Running::none;
        if (answer.notified) {
            conversation_over(); // the deadline's give-up ended it already
        }
        return;
    }
}

void return_to_idle_after_apply() {
    show_current_status(state().profile.current_record.name);
    if (state().close_when_done == 1) {
        close_main_dialog();
        return;
    }
    seam().enable(IDC_COUNTRY, true);
    seam().enable(IDC_APPLY, false);
    state().busy = 0;
    seam().set_focus(IDOK);
    conversation_over();
}

// What the apply answered after the note's conversation (the port is
// closed). The controls come back once the note's write was reached, even
// when the modem refused it; a refused clear leaves them as they are.
void on_note_answer(const procedures::Answer& answer) {
    if (answer.kind == procedures::Answer::Kind::converse) {
        talk().send_modem_command(answer.word);
        return;
    }
    state().running = Running::none;
    if (answer.kind == procedures::Answer::Kind::done ||
        (answer.notified && command_code(answer.word) == CMD_WRITE_I9)) {
        return_to_idle_after_apply();
    } else if (answer.notified) {
        conversation_over();
    }
}

void on_i5_read(intptr_t lparam) {
    const procedures::Event event = notification(NOTIFY_I5_READ, lparam);
    if (state().running == Running::apply) {
        state().country_picked = 0;
        const procedures::Answer answer = state().applying.on_event(talk(), event);
        if (answer.kind != procedures::Answer::Kind::converse) {
            state().running = Running::none;
        }
        finish_apply(answer, state().applying.save_failure());
    } else if (state().running == Running::read) {
        on_read_answer(state().reading.on_event(talk(), event));
    }
}

void on_disconnect(intptr_t lparam) {
    port_close(); // the receive thread has ended: the state word holds still now
    trace("disconnect request-done\n");
    const procedures::Event event = notification(NOTIFY_DISCONNECT, lparam);
    if (state().scanning == 1) {
        discovery::on_probe_ended(event);
        return;
    }
    switch (state().running) {
    case Running::read:
        on_read_answer(state().reading.on_event(talk(), event));
        break;
    case Running::apply:
        on_note_answer(state().applying.on_event(talk(), event));
        break;
    case Running::none:
        conversation_over();
        break;
    }
}

// The deadline gave up on the conversation (its box is shown, the port
// closed, the state idle): the procedure that ran it ends with it.
void on_gave_up(uint32_t word) {
    const procedures::Event event{false, 0, 0, word, false, {}};
    if (state().running == Running::read) {
        on_read_answer(state().reading.on_event(talk(), event));
    } else if (state().running == Running::apply) {
        on_note_answer(state().applying.on_event(talk(), event));
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
    state().country_picked = 1;
}
} // namespace

void reset() {
    state().country_picked = 0;
    state().close_when_done = 0;
    state().busy = 0;
    state().running = Running::none;
}

void start_read() {
    // No apply runs now; one that failed part-way left busy set, and the
    // list this read enables would otherwise draw none of its items.
    state().running = Running::read;
    state().busy = 0;
    seam().paint_now();
    talk().send_modem_command(state().reading.start(talk()).word);
}

void forget_procedure() {
    state().running = Running::none;
}

void conversation_over() {
    talk().conversation_state = CMD_IDLE;
}

void on_init_dialog() {
    seam().load_string(IDS_VENDOR, talk().vendor_name, sizeof talk().vendor_name);
    seam().enable(IDC_COUNTRY, false);
    profile::load_profile(state().profile);
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
        if (state().running == Running::read) {
            on_read_answer(state().reading.on_event(talk(), notification(id, lparam)));
        }
        break;
    case NOTIFY_DISCONNECT:
        on_disconnect(lparam);
        break;
    case NOTIFY_I5_READ:
        on_i5_read(lparam);
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
    const uint32_t word = talk().conversation_state.load();
    if (state().scanning == 1 && command_code(word) == CMD_IDENTIFY) {
        discovery::on_identify_deadline(sequence);
        return;
    }
    if (talk().on_reply_timer(sequence) == 1) {
        discovery::on_probe_ended({false, 0, 0, word, true, {}}); // nothing answers there
    } else if (word != CMD_IDLE && talk().conversation_state.load() == CMD_IDLE) {
        on_gave_up(word);
    }
}

int connect_modem() {
    if (talk().conversation_state != CMD_IDLE) {
        show_failure(seam(), failure(Kind::port_busy));
        return 0;
    }
    Failure failed = port_create(0, modem::Conversation::receive, &dialog_conversation(),
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
