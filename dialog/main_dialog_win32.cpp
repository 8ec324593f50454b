// The main dialog's procedure. It does the few things only a window can do
// (system menu, caption, the country list's flags, the timer) and hands
// everything else to the portable workflow controller and the scan.
#include "dialog/main_dialog_win32.h"

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/win32_seam.h"
#include "dialog/workflow.h"
#include "profile/country_drawing_win32.h"
#include "resources/resource.h"

namespace {
// The open dialog, which the start handed over and the window keeps in its
// user data; null before WM_INITDIALOG.
MainDialog* dialog_of(HWND window) {
    return reinterpret_cast<MainDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The seam the shell made the dialog with.
Win32Seam& seam_of(MainDialog& dialog) {
    return static_cast<Win32Seam&>(dialog.seam);
}

void initialise(HWND window, const MainDialogStart& start) {
    HMENU system_menu = GetSystemMenu(window, FALSE);
    AppendMenuA(system_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system_menu, MF_STRING, IDM_ABOUT, "About...");
    MainDialog& dialog = *start.dialog;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dialog));
    Win32Seam& seam = seam_of(dialog);
    seam.main_dialog = window;
    seam.instance = start.instance;
    seam.app_title = start.app_title;
    SetWindowTextA(window, start.app_title);
    workflow::on_init_dialog(dialog);
    load_flag_pictures(dialog.state.profile);
    size_country_field(window);
    workflow::post_start_search(dialog);
}

INT_PTR system_command(HWND window, MainDialog& dialog, WPARAM command) {
    if (command != IDM_ABOUT) {
        return FALSE; // Move, Minimise, Close: the system's default handling
    }
    const Win32Seam& seam = seam_of(dialog);
    const AboutStart about = {seam.app_title, dialog.talk.vendor_name};
    DialogBoxParamA(seam.instance, MAKEINTRESOURCEA(IDD_ABOUT), window, about_dialog_proc,
                    reinterpret_cast<LPARAM>(&about));
    return TRUE;
}
} // namespace

INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        initialise(window, *reinterpret_cast<const MainDialogStart*>(lparam));
        return TRUE;
    }
    if (message == WM_MEASUREITEM) { // also while the controls are made, before WM_INITDIALOG
        measure_country_item(wparam, reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
        return TRUE;
    }
    MainDialog* dialog = dialog_of(window);
    if (dialog == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        workflow::on_command(*dialog, LOWORD(wparam), HIWORD(wparam), lparam);
        return TRUE;
    case WM_DRAWITEM:
        draw_country_item(dialog->state.profile, reinterpret_cast<const DRAWITEMSTRUCT*>(lparam),
                          dialog->state.busy);
        return TRUE;
    case WM_SYSCOMMAND:
        return system_command(window, *dialog, wparam);
    case WM_TIMER:
        if (wparam == WAIT_OK) {
            seam_of(*dialog).deadline_timer_fired(*dialog);
        }
        return TRUE;
    case WM_ARM_DEADLINE:
        dialog->talk.on_arm_request(static_cast<unsigned>(wparam), static_cast<unsigned>(lparam));
        return TRUE;
    case WM_CANCEL_DEADLINE:
        seam_of(*dialog).cancel_deadline_on_dialog(static_cast<unsigned>(lparam));
        return TRUE;
    case WM_START_SEARCH:
        discovery::on_start_search(*dialog);
        return TRUE;
    case WM_CONNECT_PORT:
        discovery::on_connect_port(*dialog, static_cast<int>(static_cast<INT_PTR>(wparam)));
        return TRUE;
    default:
        return FALSE;
    }
}
