// The serial link tells the user of a few failures itself (a port that will
// not close, a receive thread that cannot start properly). It does so through
// this hook, so the session logic needs no window header: the default is
// MessageBoxA with no owner window on Win32 and a trace line natively, and
// tests put a recorder in its place.
#pragma once

constexpr unsigned SERIAL_MB_OK = 0x00;          // MB_OK
constexpr unsigned SERIAL_MB_ICONWARNING = 0x30; // MB_ICONWARNING

using SerialMessageBox = void (*)(const char* text, const char* caption, unsigned flags);

extern SerialMessageBox serial_message_box;

// The platform's own box (each device backend defines it).
void platform_message_box(const char* text, const char* caption, unsigned flags);
