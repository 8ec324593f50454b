// Program-wide values of the application shell, set at start-up on the
// user-interface thread and read by the dialogs.
#pragma once

#include <windows.h>

constexpr int APP_TITLE_SIZE = 200;
constexpr int STRING_SCRATCH_SIZE = 200;

namespace app {
extern HINSTANCE instance;                       // every resource load uses it
extern char app_title[APP_TITLE_SIZE];           // the program's title
extern HWND owner_window;                        // the minimised owner of the main dialog
extern HMODULE ctl3d_module;                     // the 3-D controls library, or 0
extern char string_scratch[STRING_SCRATCH_SIZE]; // a resource string, loaded just before use
} // namespace app

// Start-up and shutdown (app_main.cpp).
int app_main(HINSTANCE instance, HINSTANCE previous_instance, LPSTR command_line, int show_command);
ATOM register_main_class(HINSTANCE instance);
int create_main_window(HINSTANCE instance, int show_command);
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The optional 3-D controls library of old systems (ctl3d.cpp).
void load_3d_controls();
void unload_3d_controls();

// The About box (about_dialog.cpp), opened from the main dialog's system menu.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
