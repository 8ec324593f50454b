#include "dialog/discovery.h"

#include <climits>
#include <cstring>

#include "common/text.h"
#include "common/trace.h"
#include "dialog/dialog_seam.h"
#include "dialog/failure_table.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "procedures/procedures.h"
#include "resources/resource.h"
#include "serial/port_session.h"

namespace discovery {

namespace {
constexpr unsigned COMBO_SELCHANGE = 1;
constexpr unsigned COMBO_ERRSPACE = 0xFFFF; // CBN_ERRSPACE (-1) in the high word

void record_modem(MainDialog& dialog, const char* ident) {
    if (dialog.state.modem_count >= MODEM_TABLE_ROWS) {
        return; // one row per probed port: cannot happen, but never write past the table
    }
    ModemEntry& row = dialog.state.modem_table[dialog.state.modem_count];
    copy_text(row.ident_text, ident);
    row.com_port = dialog.state.probe_port;
    ++dialog.state.modem_count;
}

bool open_probe_port(MainDialog& dialog) {
    dialog.port.port_number = dialog.state.probe_port;
    Failure failed = port_create(dialog.port, 0, modem::Conversation::receive, &dialog.talk,
                                 modem::Conversation::port_failed);
    if (!failed) {
        failed = port_open(dialog.port);
    }
    if (failed) {
        failed.step = workflow::SCAN_STEP;
        workflow::show_failure(dialog.seam, failed);
    }
    return !failed;
}
} // namespace

void on_start_search(MainDialog& dialog) {
    workflow::show_status_string(dialog, IDS_SEARCHING);
    dialog.state.probe_port = HIGHEST_PORT + 1;
    dialog.port.port_number = dialog.state.probe_port;
    dialog.state.modem_count = 0; // the rows and the list keep their texts until the scan ends
    dialog.state.scanning = 1;
    workflow::forget_procedure(dialog);
    try_next_port(dialog);
}

// Ports that cannot be opened are passed over within this call, so a machine
// without COM ports finishes the scan at once.
int try_next_port(MainDialog& dialog) {
    for (;;) {
        workflow::conversation_over(dialog);
        --dialog.state.probe_port;
        if (dialog.state.probe_port <= 0) {
            dialog.port.port_number = 0;
            finish_scan(dialog);
            return 0;
        }
        if (open_probe_port(dialog)) {
            dialog.seam.paint_now();
            modem::Conversation& talk = dialog.talk;
            talk.send_modem_command(dialog.state.probing.start(talk).word);
            return 1;
        }
        trace("Failed!\n");
    }
}

void on_probe_ended(MainDialog& dialog, const procedures::Event& event) {
    // The value is the address of modem_ident when the modem was accepted;
    // the text is taken from modem_ident itself, never through the number.
    modem::Conversation& talk = dialog.talk;
    dialog.state.probing.on_event(talk, event);
    if (dialog.state.probing.found() == procedures::Found::modem) {
        record_modem(dialog, talk.modem_ident);
    }
    try_next_port(dialog);
}

bool on_identify_deadline(MainDialog& dialog, unsigned sequence) {
    if (!procedures::identify_deadline(dialog.talk, sequence)) {
        return false; // the verdict came first; its notification goes on with the scan
    }
    try_next_port(dialog);
    return true;
}

int fill_modem_list(MainDialog& dialog) {
    DialogSeam& seam = dialog.seam;
    seam.combo_reset(IDC_MODEM);
    char item[MODEM_ITEM_SIZE];
    if (dialog.state.modem_count == 0) {
        seam.load_string(IDS_NO_MODEM, item, sizeof item);
        seam.combo_add(IDC_MODEM, item);
    }
    for (int row = 0; row < dialog.state.modem_count; ++row) {
        format_text(item, sizeof item, "%s  COM%d", dialog.state.modem_table[row].ident_text,
                    static_cast<int>(dialog.state.modem_table[row].com_port));
        seam.combo_add(IDC_MODEM, item);
    }
    seam.combo_select(IDC_MODEM, 0);
    return dialog.state.modem_count;
}

void finish_scan(MainDialog& dialog) {
    DialogSeam& seam = dialog.seam;
    dialog.state.scanning = 0;
    fill_modem_list(dialog);
    unsigned icon = IDI_APP;
    if (dialog.state.modem_count == 0) {
        seam.enable(IDC_COUNTRY, false);
        seam.enable(IDC_APPLY, true);
        workflow::show_status_string(dialog, IDS_INSERT_MODEM);
    } else {
        seam.enable(IDC_APPLY, false);
        seam.post(WM_CONNECT_PORT,
                  static_cast<uintptr_t>(dialog.state.modem_table[0].com_port & 0xFFFF), 0);
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

void on_modem_list_notify(MainDialog& dialog, unsigned notify_code) {
    if (notify_code == COMBO_ERRSPACE) {
        workflow::report_list_out_of_space(dialog);
        return;
    }
    if (notify_code != COMBO_SELCHANGE) {
        return; // typing in the edit field, opening the list
    }
    DialogSeam& seam = dialog.seam;
    seam.enable(IDC_APPLY, false);
    char item[MODEM_ITEM_SIZE];
    int port = 0;
    if (seam.combo_text(IDC_MODEM, seam.combo_selected(IDC_MODEM), item, sizeof item) < 0 ||
        !parse_com_port(item, &port)) {
        return; // the "no modem" item selects nothing
    }
    seam.post(WM_CONNECT_PORT, static_cast<uintptr_t>(static_cast<intptr_t>(port)), 0);
}

void on_connect_port(MainDialog& dialog, int port) {
    DialogSeam& seam = dialog.seam;
    seam.enable(IDC_COUNTRY, false);
    workflow::show_status_string(dialog, IDS_SETTING_UP);
    dialog.port.port_number = port;
    if (workflow::connect_modem(dialog) == 0) {
        return; // its box has told the user; port_number keeps the chosen port
    }
    workflow::start_read(dialog);
}

} // namespace discovery
