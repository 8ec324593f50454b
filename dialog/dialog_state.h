// The main dialog's state: what its workflow and its scan remember between
// messages. One instance lives in the open dialog (dialog_seam.h), made
// fresh each time the dialog opens; everything here is touched on the
// user-interface thread only.
#pragma once

#include "dialog/discovery.h"
#include "dialog/workflow.h"
#include "procedures/procedures.h"
#include "profile/profile_values.h"

struct DialogState {
    DialogState() = default;
    DialogState(const DialogState&) = delete; // `reading` and `applying` point into it
    DialogState& operator=(const DialogState&) = delete;

    // 1 when the user changed the country selection since the dialog opened
    // or since the last apply finished.
    int country_picked = 0;
    // 1 once OK was pressed: the program ends when the running apply finishes.
    int close_when_done = 0;
    // 1 while an apply conversation runs; the country list draws nothing
    // then, because drawing walks the profile and would move the chosen entry.
    int busy = 0;
    // The working copy of a list answer that the country list is cut up
    // from, in place: 499 characters, so a longer answer loses its items past them.
    char country_list_copy[workflow::COUNTRY_LIST_COPY_SIZE] = "";

    // The country profile, loaded when the dialog opens. The key cursor and
    // current_record stand on the country last picked, drawn or applied.
    profile::Profile profile;

    // The countries of the last list answer, as the country list shows them.
    profile::CountryList countries;

    // The procedure the dialog runs now, besides the scan's probes.
    enum class Running { none, read, apply } running = Running::none;
    procedures::Read reading{procedures::DIALOG, profile, country_list_copy,
                             sizeof country_list_copy, countries};
    procedures::Apply applying{procedures::DIALOG, profile};

    // Rows 0 .. modem_count - 1 in the order found: descending port order.
    discovery::ModemEntry modem_table[discovery::MODEM_TABLE_ROWS] = {};
    int modem_count = 0;
    // 1 from WM_START_SEARCH until finish_scan.
    int scanning = 0;
    // The port the scan probes now; the scan keeps it apart from port_number
    // so that a modem-list choice during the scan cannot move the scan.
    int probe_port = 0;
    // The scan's probe: the dialog takes only modems that pass the test.
    procedures::Probe probing;
};
