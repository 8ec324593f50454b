// The application shell's values: made by app_main on the user-interface
// thread for the program's run, and handed to what needs them.
#pragma once

#include <windows.h>

struct MainDialog;

constexpr int APP_TITLE_SIZE = 200;

struct AppShell {
    HINSTANCE instance = nullptr;        // every resource load uses it
    char app_title[APP_TITLE_SIZE] = ""; // the program's title
    HWND owner_window = nullptr;         // the minimised owner of the main dialog
    HMODULE ctl3d_module = nullptr;      // the 3-D controls library, or 0
    MainDialog* dialog = nullptr;        // the main dialog, kept by app_main
};

// Start-up and shutdown (app_main.cpp).
int app_main(HINSTANCE instance, HINSTANCE previous_instance, LPSTR command_line, int show_command);
ATOM register_main_class(HINSTANCE instance);
// Shows the owner window and runs the main dialog until it ends.
int create_main_window(AppShell& shell, int show_command);
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The optional 3-D controls library of old systems (ctl3d.cpp).
void load_3d_controls(AppShell& shell);
void unload_3d_controls(AppShell& shell);
