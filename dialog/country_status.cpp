#include "dialog/country_status.h"

#include "common/text.h"
#include "common/trace.h"
#include "dialog/dialog_seam.h"
#include "dialog/failure_table.h"
#include "dialog/workflow.h"
#include "procedures/procedures.h"
#include "profile/country_lists.h"
#include "profile/present_country.h"
#include "resources/resource.h"
#include "serial/port_session.h"

#include <cstring>

namespace workflow {
namespace {

constexpr size_t STATUS_SIZE = 200;

void show_codes(MainDialog& dialog) {
    DialogSeam& seam = dialog.seam;
    char codes[STATUS_SIZE];
    format_text(codes, sizeof codes, "Current i5 - %s, i9 - %s", dialog.talk.i5_code,
                dialog.talk.i9_text);
    seam.show(IDC_CURRENT_CODES, true);
    seam.set_text(IDC_CURRENT_CODES, codes);
}

// The apply is over: the modem holds the chosen country.
void finish_applied(MainDialog& dialog) {
    DialogSeam& seam = dialog.seam;
    seam.enable(IDC_COUNTRY, true);
    dialog.state.busy = 0;
    show_current_status(dialog, dialog.state.profile.current_record.name);
    port_close(dialog.port);
    conversation_over(dialog);
    if (dialog.state.close_when_done) {
        seam.post_destroy_to_owner();
    }
}

// The cursor stands on no entry the program can record (the list's end, or
// a key too long for the modem's note): whatever the modem was set to, it
// is not the chosen country, so the apply ends as failed and the modem's
// real code is shown instead of a country name.
void abandon_apply(MainDialog& dialog, const Failure& failure) {
    DialogSeam& seam = dialog.seam;
    port_close(dialog.port);
    conversation_over(dialog);
    seam.enable(IDC_COUNTRY, true);
    dialog.state.busy = 0;
    show_codes(dialog);
    show_failure(seam, failure);
}

} // namespace

void show_current_status(MainDialog& dialog, const char* name) {
    char format[STATUS_SIZE] = "";
    char text[STATUS_SIZE];
    dialog.seam.load_string(IDS_CURRENT_FMT, format, sizeof format);
    // Filled by hand: a string-table text with other conversions in it can
    // never make the formatter read arguments that are not there.
    const char* marker = std::strstr(format, "%s");
    if (marker == nullptr) {
        copy_text(text, format);
    } else {
        size_t length = copy_text_n(text, sizeof text, format, marker - format);
        length += copy_text(text + length, sizeof text - length, name);
        copy_text(text + length, sizeof text - length, marker + 2);
    }
    dialog.seam.set_text(IDC_STATUS, text);
    // The country is known now: raw codes left from an earlier read would
    // contradict the status line.
    dialog.seam.show(IDC_CURRENT_CODES, false);
}

void show_current_country(MainDialog& dialog) {
    DialogSeam& seam = dialog.seam;
    profile::PresentEntry found;
    bool known = procedures::present_entry(dialog.state.profile, dialog.talk, found);
    // A modem that lists no country leaves nothing to pick from.
    seam.enable(IDC_COUNTRY, dialog.state.countries.supported_count > 0);
    if (!known) {
        show_codes(dialog);
        return;
    }
    // The search starts after the first item and wraps, so the first item is
    // looked at last.
    int index = seam.combo_find_exact(IDC_COUNTRY, 0, found.entry.name);
    if (index < 0) {
        return; // the present country is not among the modem's own list
    }
    seam.combo_select(IDC_COUNTRY, index);
    show_current_status(dialog, found.entry.name);
}

void finish_apply(MainDialog& dialog, const procedures::Answer& answer, const Failure& not_saved) {
    // A choice the profile could not remember: the table's row for it
    // (shown nowhere), and the apply goes on, since the modem holds it.
    if (not_saved) {
        show_failure(dialog.seam, not_saved);
    }
    switch (answer.kind) {
    case procedures::Answer::Kind::converse:
        dialog.talk.send_modem_command(answer.word); // the note; its notification ends the apply
        break;
    case procedures::Answer::Kind::done:
        finish_applied(dialog);
        break;
    case procedures::Answer::Kind::failed:
        if (answer.failure.kind == Kind::key_unusable) {
            trace("\nCC finish_apply: no entry chosen\n");
            abandon_apply(dialog, answer.failure);
        } else if (answer.notified) {
            conversation_over(dialog);
        }
        break;
    }
}

} // namespace workflow
