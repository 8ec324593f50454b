// The main dialog's procedure: Win32 messages in, workflow calls out.
#pragma once

#include <windows.h>

struct MainDialog;

// What the application shell hands the main dialog (the lParam of
// DialogBoxParamA): the module its resources come from, the caption, and
// the dialog's object, made with a Win32Seam, which the shell keeps until
// the message loop has ended. The window keeps it in its user data.
struct MainDialogStart {
    HINSTANCE instance;
    const char* app_title;
    MainDialog* dialog;
};

INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// What the About box shows beside its resources (the lParam of DialogBoxParamA).
struct AboutStart {
    const char* app_title;
    const char* vendor_name; // "" when the string table has none
};

// The About box, opened from the main dialog's system menu.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
