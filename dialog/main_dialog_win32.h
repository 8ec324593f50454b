// The main dialog's procedure: Win32 messages in, workflow calls out.
#pragma once

#include <windows.h>

class Win32Seam;

// What the application shell hands the main dialog (the lParam of
// DialogBoxParamA): the module its resources come from, the caption, and
// the seam the dialog works through, which the shell keeps until the
// dialog's conversation has ended (close_dialog).
struct MainDialogStart {
    HINSTANCE instance;
    const char* app_title;
    Win32Seam* seam;
};

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The About box, opened from the main dialog's system menu; the lParam of
// DialogBoxParamA is the program's title.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
