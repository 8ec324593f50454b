// The About box: the program's title with its vendor, version and copyright.
// It has no system menu, and Escape (IDCANCEL) is left unhandled, so only OK
// or Enter closes it.
#include "dialog/main_dialog_win32.h"

#include "common/text.h"
#include "resources/resource.h"

namespace {
constexpr int TITLE_LINE_SIZE = 200;
constexpr int STRING_SCRATCH_SIZE = 200;

// The resources are the module's that made the box.
HINSTANCE instance_of(HWND dialog) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
}

void load_into_control(HWND dialog, int control, UINT string_id) {
    char string_scratch[STRING_SCRATCH_SIZE] = "";
    LoadStringA(instance_of(dialog), string_id, string_scratch, STRING_SCRATCH_SIZE);
    SetDlgItemTextA(dialog, control, string_scratch);
}

void initialise(HWND dialog, const AboutStart& start) {
    const char* app_title = start.app_title;
    char string_scratch[STRING_SCRATCH_SIZE] = "";
    LoadStringA(instance_of(dialog), IDS_ABOUT_TITLE, string_scratch, STRING_SCRATCH_SIZE);
    SetWindowTextA(dialog, string_scratch);

    char title_line[TITLE_LINE_SIZE];
    if (start.vendor_name[0] != '\0') {
        format_text(title_line, sizeof title_line, "%s's %s", start.vendor_name, app_title);
    } else {
        copy_text(title_line, app_title);
    }
    SetDlgItemTextA(dialog, IDC_ABOUT_TITLE, title_line);
    load_into_control(dialog, IDC_ABOUT_VERSION, IDS_VERSION);
    load_into_control(dialog, IDC_ABOUT_COPYRIGHT, IDS_COPYRIGHT);
}
} // namespace

// lParam of WM_INITDIALOG: the AboutStart.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, *reinterpret_cast<const AboutStart*>(lparam));
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
