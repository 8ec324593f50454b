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
// The open dialog's seam: the one start handed it.
Win32Seam& seam() {
    return static_cast<Win32Seam&>(dialog_seam());
}

void initialise(HWND dialog, const MainDialogStart& start) {
    HMENU system_menu = GetSystemMenu(dialog, FALSE);
    AppendMenuA(system_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system_menu, MF_STRING, IDM_ABOUT, "About...");
    Win32Seam& seam = *start.seam;
    seam.main_dialog = dialog;
    seam.instance = start.instance;
    seam.app_title = start.app_title;
    open_dialog(seam);
    SetWindowTextA(dialog, start.app_title);
    workflow::on_init_dialog();
    load_flag_pictures(dialog_state().profile);
    size_country_field(dialog);
    workflow::post_start_search();
}

INT_PTR system_command(HWND dialog, WPARAM command) {
    if (command != IDM_ABOUT) {
        return FALSE; // Move, Minimise, Close: the system's default handling
    }
    DialogBoxParamA(seam().instance, MAKEINTRESOURCEA(IDD_ABOUT), dialog, about_dialog_proc,
                    reinterpret_cast<LPARAM>(seam().app_title));
    return TRUE;
}
} // namespace

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, *reinterpret_cast<const MainDialogStart*>(lparam));
        return TRUE;
    case WM_COMMAND:
        workflow::on_command(LOWORD(wparam), HIWORD(wparam), lparam);
        return TRUE;
    case WM_DRAWITEM:
        draw_country_item(dialog_state().profile, reinterpret_cast<const DRAWITEMSTRUCT*>(lparam),
                          dialog_state().busy);
        return TRUE;
    case WM_MEASUREITEM:
        measure_country_item(wparam, reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_SYSCOMMAND:
        return system_command(dialog, wparam);
    case WM_TIMER:
        if (wparam == WAIT_OK) {
            seam().deadline_timer_fired();
        }
        return TRUE;
    case WM_ARM_DEADLINE:
        dialog_conversation().on_arm_request(static_cast<unsigned>(wparam),
                                             static_cast<unsigned>(lparam));
        return TRUE;
    case WM_CANCEL_DEADLINE:
        seam().cancel_deadline_on_dialog(static_cast<unsigned>(lparam));
        return TRUE;
    case WM_START_SEARCH:
        discovery::on_start_search();
        return TRUE;
    case WM_CONNECT_PORT:
        discovery::on_connect_port(static_cast<int>(static_cast<INT_PTR>(wparam)));
        return TRUE;
    default:
        return FALSE;
    }
}
