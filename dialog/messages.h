// The window messages, timer and box flags of the main dialog, with the
// values the Win32 calls take, so the dialog's portable workflow can name
// them. The conversation's notifications (modem/notifications.h) arrive as
// MSG_COMMAND with the id in the low word of wParam.
#pragma once

#include "modem/notifications.h"

constexpr unsigned MSG_COMMAND = 0x0111; // WM_COMMAND
constexpr unsigned MSG_USER = 0x0400;    // WM_USER

// Private messages the dialog posts to itself
constexpr unsigned WM_START_SEARCH = MSG_USER + 100; // 1124
constexpr unsigned WM_CONNECT_PORT = MSG_USER + 101; // 1125

// The reply deadline: timer id on the main dialog.
constexpr unsigned WAIT_OK = 1;

// Message-box flags.
constexpr unsigned BOX_OK = 0x00000000;            // MB_OK
constexpr unsigned BOX_ICONWARNING = 0x00000030;   // MB_ICONWARNING
constexpr unsigned BOX_SETFOREGROUND = 0x00010000; // MB_SETFOREGROUND
