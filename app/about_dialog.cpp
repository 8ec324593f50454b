// The About box: the program's title with its vendor, version and copyright.
// It has no system menu, and Escape (IDCANCEL) is left unhandled, so only OK
// or Enter closes it.
#include "app/app_values.h"

#include "common/text.h"
#include "dialog/dialog_seam.h"
#include "resources/resource.h"

namespace {
constexpr int TITLE_LINE_SIZE = 200;

void load_into_control(HWND dialog, int control, UINT string_id) {
    LoadStringA(app::instance, string_id, app::string_scratch, STRING_SCRATCH_SIZE);
    SetDlgItemTextA(dialog, control, app::string_scratch);
}

void initialise(HWND dialog) {
    LoadStringA(app::instance, IDS_ABOUT_TITLE, app::string_scratch, STRING_SCRATCH_SIZE);
    SetWindowTextA(dialog, app::string_scratch);

    char title_line[TITLE_LINE_SIZE];
    if (dialog_conversation().vendor_name[0] != '\0') {
        format_text(title_line, sizeof title_line, "%s's %s", dialog_conversation().vendor_name,
                    app::app_title);
    } else {
        copy_text(title_line, app::app_title);
    }
    SetDlgItemTextA(dialog, IDC_ABOUT_TITLE, title_line);
    load_into_control(dialog, IDC_ABOUT_VERSION, IDS_VERSION);
    load_into_control(dialog, IDC_ABOUT_COPYRIGHT, IDS_COPYRIGHT);
}
} // namespace

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
