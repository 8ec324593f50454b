// The main dialog's procedure: Win32 messages in, workflow calls out.
#pragma once

#include <windows.h>

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
