#include "profile/country_lists.h"

#include "common/text.h"
#include "dialog/dialog_seam.h"
#include "modem/conversation_values.h"
#include "profile/current_status.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "resources/resource.h"

#include <cstring>

namespace profile {
namespace {

constexpr size_t STATUS_SIZE = 200;
constexpr size_t CHOICE_SIZE = 50; // the remembered key, at most 49 characters

// The modem's present entry, by the first rule that yields one: its stored
// note (the key written at the last apply), the remembered choice if its code
// is the modem's code, or the modem's code itself.
bool find_present_entry(CountryRecord& found) {
    if (read_entry(modem::i9_text, found)) {
        return true;
    }
    char choice[CHOICE_SIZE];
    if (get_profile_string(CHOICE_SECTION, CHOICE_KEY, choice, sizeof choice, profile_path) > 0 &&
        read_entry(choice, found) && std::strcmp(found.code, modem::i5_code) == 0) {
        return true;
    }
    int by_code = modem::use_gci ? read_entry(modem::i5_code, current_record)
                                 : CCfindSetProfile(modem::i5_code);
    if (by_code) {
        found = current_record;
    }
    return by_code != 0;
}

} // namespace

void show_current_status(const char* name) {
    char format[STATUS_SIZE] = "";
    char text[STATUS_SIZE];
    dialog_seam().load_string(IDS_CURRENT_FMT, format, sizeof format);
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
    dialog_seam().set_text(IDC_STATUS, text);
    // The country is known now: raw codes left from an earlier read would
    // contradict the status line.
    dialog_seam().show(IDC_CURRENT_CODES, false);
}

void show_current_country() {
    DialogSeam& seam = dialog_seam();
    CountryRecord found{};
    bool known = find_present_entry(found);
    seam.enable(IDC_COUNTRY, true);
    if (!known) {
        char codes[STATUS_SIZE];
        format_text(codes, sizeof codes, "Current i5 - %s, i9 - %s", modem::i5_code,
                    modem::i9_text);
        seam.show(IDC_CURRENT_CODES, true);
        seam.set_text(IDC_CURRENT_CODES, codes);
        return;
    }
    // The search starts after the first item and wraps, so the first item is
    // looked at last.
    int index = seam.combo_find_exact(IDC_COUNTRY, 0, found.name);
    if (index < 0) {
        return; // the present country is not among the modem's own list
    }
    seam.combo_select(IDC_COUNTRY, index);
    show_current_status(found.name);
}

} // namespace profile
