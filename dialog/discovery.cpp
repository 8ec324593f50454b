#include "dialog/discovery.h"

#include <climits>
#include <cstring>

#include "common/text.h"
#include "common/trace.h"
#include "dialog/dialog_seam.h"
#include "dialog/failure_table.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "procedures/procedures.h"
#include "resources/resource.h"
#include "serial/port_session.h"

namespace discovery {

namespace {
constexpr unsigned COMBO_SELCHANGE = 1;
constexpr unsigned COMBO_ERRSPACE = 0xFFFF; // CBN_ERRSPACE (-1) in the high word

DialogState& state() {
    return dialog_state();
}

void record_modem(const char* ident) {
    if (state().modem_count >= MODEM_TABLE_ROWS) {
        return; // one row per probed port: cannot happen, but never write past the table
    }
    ModemEntry& row = state().modem_table[state().modem_count];
    copy_text(row.ident_text, ident);
    row.com_port = state().probe_port;
    ++state().modem_count;
}

bool open_probe_port() {
    port_number = state().probe_port;
    Failure failed = port_create(0, modem::Conversation::receive, &dialog_conversation(),
                                 modem::Conversation::port_failed);
    if (!failed) {
        failed = port_open();
    }
    if (failed) {
        failed.step = workflow::SCAN_STEP;
        workflow::show_failure(dialog_seam(), failed);
    }
    return !failed;
}
} // namespace

void reset() {
    std::memset(state().modem_table, 0, sizeof state().modem_table);
    state().modem_count = 0;
    state().scanning = 0;
    state().probe_port = 0;
}

void on_start_search() {
    workflow::show_status_string(IDS_SEARCHING);
    state().probe_port = HIGHEST_PORT + 1;
    port_number = state().probe_port;
    state().modem_count = 0; // the rows and the list keep their texts until the scan ends
    state().scanning = 1;
    workflow::forget_procedure();
    try_next_port();
}

// Ports that cannot be opened are passed over within this call, so a machine
// without COM ports finishes the scan at once.
int try_next_port() {
    for (;;) {
        workflow::conversation_over();
        --state().probe_port;
        if (state().probe_port <= 0) {
            port_number = 0;
            finish_scan();
            return 0;
        }
        if (open_probe_port()) {
            dialog_seam().paint_now();
            modem::Conversation& talk = dialog_conversation();
            talk.send_modem_command(state().probing.start(talk).word);
            return 1;
        }
        trace("Failed!\n");
    }
}

void on_probe_ended(const procedures::Event& event) {
    // The value is the address of modem_ident when the modem was accepted;
    // the text is taken from modem_ident itself, never through the number.
    modem::Conversation& talk = dialog_conversation();
    state().probing.on_event(talk, event);
    if (state().probing.found() == procedures::Found::modem) {
        record_modem(talk.modem_ident);
    }
    try_next_port();
}

bool on_identify_deadline(unsigned sequence) {
    if (!procedures::identify_deadline(dialog_conversation(), sequence)) {
        return false; // the verdict came first; its notification goes on with the scan
    }
    try_next_port();
    return true;
}

int fill_modem_list() {
    DialogSeam& seam = dialog_seam();
    seam.combo_reset(IDC_MODEM);
    char item[MODEM_ITEM_SIZE];
    if (state().modem_count == 0) {
        seam.load_string(IDS_NO_MODEM, item, sizeof item);
        seam.combo_add(IDC_MODEM, item);
    }
    for (int row = 0; row < state().modem_count; ++row) {
        format_text(item, sizeof item, "%s  COM%d", state().modem_table[row].ident_text,
                    static_cast<int>(state().modem_table[row].com_port));
        seam.combo_add(IDC_MODEM, item);
    }
    seam.combo_select(IDC_MODEM, 0);
    return state().modem_count;
}

void finish_scan() {
    DialogSeam& seam = dialog_seam();
    state().scanning = 0;
    fill_modem_list();
    unsigned icon = IDI_APP;
    if (state().modem_count == 0) {
        seam.enable(IDC_COUNTRY, false);
        seam.enable(IDC_APPLY, true);
        workflow::show_status_string(IDS_INSERT_MODEM);
    } else {
        seam.enable(IDC_APPLY, false);
        seam.post(WM_CONNECT_PORT, static_cast<uintptr_t>(state().modem_table[0].com_port & 0xFFFF),
                  0);
        icon = IDI_MODEM_FOUND;
    }
    seam.set_icon(IDC_STATE_ICON, icon);
}

bool parse_com_port(const char* item_text, int* port) {
    const char* at = std::strstr(item_text, "COM");
    if (at == nullptr) {
        return false;
    }
    for (const char* later = at; (later = std::strstr(later + 1, "COM")) != nullptr;) {
        at = later;
    }
    at += 3;
    while (*at == ' ' || (*at >= '\t' && *at <= '\r')) {
        ++at;
    }
    bool negative = *at == '-';
    if (*at == '-' || *at == '+') {
        ++at;
    }
    long long number = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        if (number <= INT_MAX) { // saturates instead of overflowing on a long digit run
            number = number * 10 + (*at - '0');
        }
    }
    if (number > INT_MAX) {
        number = INT_MAX;
    }
    *port = static_cast<int>(negative ? -number : number);
    return true;
}

void on_modem_list_notify(unsigned notify_code) {
    if (notify_code == COMBO_ERRSPACE) {
        workflow::report_list_out_of_space();
        return;
    }
    if (notify_code != COMBO_SELCHANGE) {
        return; // typing in the edit field, opening the list
    }
    DialogSeam& seam = dialog_seam();
    seam.enable(IDC_APPLY, false);
    char item[MODEM_ITEM_SIZE];
    int port = 0;
    if (seam.combo_text(IDC_MODEM, seam.combo_selected(IDC_MODEM), item, sizeof item) < 0 ||
        !parse_com_port(item, &port)) {
        return; // the "no modem" item selects nothing
    }
    seam.post(WM_CONNECT_PORT, static_cast<uintptr_t>(static_cast<intptr_t>(port)), 0);
}

void on_connect_port(int port) {
    DialogSeam& seam = dialog_seam();
    seam.enable(IDC_COUNTRY, false);
    workflow::show_status_string(IDS_SETTING_UP);
    port_number = port;
    if (workflow::connect_modem() == 0) {
        return; // its box has told the user; port_number keeps the chosen port
    }
    workflow::start_read();
}

} // namespace discovery
