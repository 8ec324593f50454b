// The dialog seam of the Win32 shell: the portable core's requests become
// window messages, timers, message boxes and control calls on main_dialog.
#pragma once

#include <windows.h>

#include "dialog/dialog_seam.h"

// Private messages that carry a deadline request to the dialog's thread,
// which alone may set or kill the dialog's timer. lParam: the sequence.
constexpr UINT WM_ARM_DEADLINE = WM_USER + 110; // wParam: milliseconds
constexpr UINT WM_CANCEL_DEADLINE = WM_USER + 111;

class Win32Seam : public DialogSeam {
  public:
    void post(unsigned message, uintptr_t wparam, intptr_t lparam) override;
    void arm_deadline(unsigned milliseconds, unsigned sequence) override;
    void cancel_deadline(unsigned sequence) override;
    void start_deadline(unsigned milliseconds, unsigned sequence) override;
    bool on_front_end_thread() override;
    void message_box(const char* text, const char* caption, unsigned flags, bool owned) override;
    int load_string(unsigned id, char* buffer, int size) override;
    void set_text(int control, const char* text) override;
    void enable(int control, bool enabled) override;
    void show(int control, bool visible) override;
    void set_focus(int control) override;
    void set_icon(int control, unsigned icon_id) override;
    void combo_reset(int control) override;
    int combo_add(int control, const char* text) override;
    int combo_selected(int control) override;
    void combo_select(int control, int index) override;
    int combo_text(int control, int index, char* buffer, size_t size) override;
    int combo_find_exact(int control, int start_after, const char* text) override;
    void end_dialog() override;
    void paint_now() override;
    void post_destroy_to_owner() override;

    // Handlers on the dialog's thread for WM_CANCEL_DEADLINE and the WM_TIMER
    // of WAIT_OK (of `dialog`, made with this seam); WM_ARM_DEADLINE goes to
    // the conversation's on_arm_request.
    void cancel_deadline_on_dialog(unsigned sequence);
    void deadline_timer_fired(MainDialog& dialog);

    HWND main_dialog = nullptr;   // the running main dialog; set at its initialisation
    HINSTANCE instance = nullptr; // the module of its resources
    const char* app_title = "";   // the shell's, for the whole run

  private:
    LRESULT send_to(int control, UINT message, WPARAM wparam, LPARAM lparam);
    // The sequence of the deadline whose timer runs now, 0 when none. Touched
    // on the dialog's thread only.
    unsigned armed_sequence_ = 0;
};
