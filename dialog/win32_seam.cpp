#include "dialog/win32_seam.h"

#include <vector>

#include "common/text.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"

LRESULT Win32Seam::send_to(int control, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendDlgItemMessageA(main_dialog, control, message, wparam, lparam);
}

void Win32Seam::post(unsigned message, uintptr_t wparam, intptr_t lparam) {
    PostMessageA(main_dialog, message, wparam, lparam);
}

// The deadline requests may come from the receive thread; posting them keeps
// their order and leaves every SetTimer/KillTimer to the dialog's thread.
void Win32Seam::arm_deadline(unsigned milliseconds, unsigned sequence) {
    PostMessageA(main_dialog, WM_ARM_DEADLINE, milliseconds, static_cast<LPARAM>(sequence));
}

void Win32Seam::cancel_deadline(unsigned sequence) {
    PostMessageA(main_dialog, WM_CANCEL_DEADLINE, 0, static_cast<LPARAM>(sequence));
}

void Win32Seam::start_deadline(unsigned milliseconds, unsigned sequence) {
    SetTimer(main_dialog, WAIT_OK, milliseconds, nullptr);
    armed_sequence_ = sequence;
}

bool Win32Seam::on_front_end_thread() {
    return GetWindowThreadProcessId(main_dialog, nullptr) == GetCurrentThreadId();
}

void Win32Seam::message_box(const char* text, const char* caption, unsigned flags, bool owned) {
    MessageBoxA(owned ? main_dialog : nullptr, text, caption, flags);
}

int Win32Seam::load_string(unsigned id, char* buffer, int size) {
    return LoadStringA(instance, id, buffer, size);
}

void Win32Seam::set_text(int control, const char* text) {
    SetDlgItemTextA(main_dialog, control, text);
}

void Win32Seam::enable(int control, bool enabled) {
    EnableWindow(GetDlgItem(main_dialog, control), enabled ? TRUE : FALSE);
}

void Win32Seam::show(int control, bool visible) {
    ShowWindow(GetDlgItem(main_dialog, control), visible ? SW_SHOW : SW_HIDE);
}

void Win32Seam::set_focus(int control) {
    SetFocus(GetDlgItem(main_dialog, control));
}

void Win32Seam::set_icon(int control, unsigned icon_id) {
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(icon_id));
    send_to(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void Win32Seam::combo_reset(int control) {
    send_to(control, CB_RESETCONTENT, 0, 0);
}

int Win32Seam::combo_add(int control, const char* text) {
    return static_cast<int>(send_to(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int Win32Seam::combo_selected(int control) {
    return static_cast<int>(send_to(control, CB_GETCURSEL, 0, 0));
}

void Win32Seam::combo_select(int control, int index) {
    send_to(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// CB_GETLBTEXT takes no size, so an item longer than the caller's buffer is
// fetched whole into a buffer of its own length and cut from there.
int Win32Seam::combo_text(int control, int index, char* buffer, size_t size) {
    LRESULT length = send_to(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || size == 0) {
        return -1;
    }
    std::vector<char> whole(static_cast<size_t>(length) + 1, '\0');
    send_to(control, CB_GETLBTEXT, static_cast<WPARAM>(index),
            reinterpret_cast<LPARAM>(whole.data()));
    return static_cast<int>(copy_text(buffer, size, whole.data()));
}

int Win32Seam::combo_find_exact(int control, int start_after, const char* text) {
    return static_cast<int>(send_to(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(start_after),
                                    reinterpret_cast<LPARAM>(text)));
}

void Win32Seam::end_dialog() {
    HWND owner = GetParent(main_dialog);
    EndDialog(main_dialog, 1);
    PostMessageA(owner, WM_DESTROY, 0, 0);
}

void Win32Seam::post_destroy_to_owner() {
    PostMessageA(GetParent(main_dialog), WM_DESTROY, 0, 0);
}

void Win32Seam::cancel_deadline_on_dialog(unsigned sequence) {
    if (sequence != armed_sequence_) {
        return; // a newer deadline runs now; it is not this one to stop
    }
    KillTimer(main_dialog, WAIT_OK);
    armed_sequence_ = 0;
}

void Win32Seam::deadline_timer_fired(MainDialog& dialog) {
    KillTimer(main_dialog, WAIT_OK);
    unsigned sequence = armed_sequence_;
    armed_sequence_ = 0;
    if (sequence != 0) {
        workflow::on_deadline_expired(dialog, sequence);
    }
}

void Win32Seam::paint_now() {
    RedrawWindow(main_dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}
