// Start-up, the minimised owner window, the message loop and shutdown. The
// owner window exists only to own the main dialog and give the program a
// taskbar entry; the program ends when the dialog's closing path posts it
// WM_DESTROY.
#include "app/app_values.h"

#include "common/text.h"
#include "dialog/dialog_seam.h"
#include "dialog/main_dialog_win32.h"
#include "dialog/win32_seam.h"
#include "resources/resource.h"

#include <memory>

namespace {
const char MAIN_CLASS[] = "CTarvelleWin";
const char BUILT_IN_TITLE[] = "Tarvelle";

int run_message_loop() {
    MSG message = {}; // read for the exit code even when GetMessageA fails
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
} // namespace

int app_main(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    if (register_main_class(instance) == 0) {
        return 0;
    }
    Win32Seam seam; // outlives the dialog, its front end
    auto dialog = std::make_unique<MainDialog>(seam);
    AppShell shell;
    shell.instance = instance;
    shell.dialog = dialog.get();
    if (create_main_window(shell, show_command) == 0) {
        return 0;
    }
    int exit_code = run_message_loop();
    dialog.reset(); // its port, then its conversation
    unload_3d_controls(shell);
    return exit_code;
}

ATOM register_main_class(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    window_class.lpszClassName = MAIN_CLASS;
    return RegisterClassA(&window_class);
}

// The show command plays no part: the owner is always shown minimised.
int create_main_window(AppShell& shell, int) {
    HINSTANCE instance = shell.instance;
    load_3d_controls(shell);
    if (LoadStringA(instance, IDS_TITLE, shell.app_title, APP_TITLE_SIZE) == 0) {
        copy_text(shell.app_title, BUILT_IN_TITLE);
    }
    shell.owner_window = CreateWindowExA(0, MAIN_CLASS, shell.app_title, WS_OVERLAPPEDWINDOW,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                         nullptr, nullptr, instance, nullptr);
    if (shell.owner_window == nullptr) {
        return 0;
    }
    ShowWindow(shell.owner_window, SW_SHOWMINIMIZED);
    UpdateWindow(shell.owner_window);
    const MainDialogStart start = {instance, shell.app_title, shell.dialog};
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), shell.owner_window, main_dialog_proc,
                    reinterpret_cast<LPARAM>(&start));
    return 1;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATEAPP:
        // Clicking the taskbar entry raises the main dialog or the About box.
        if (wparam != 0) {
            BringWindowToTop(GetLastActivePopup(window));
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
