// The dialog's private messages, beside the notifications of the modem
// conversation (modem/notifications.h) that it handles.
#pragma once

#include "modem/notifications.h"

constexpr unsigned MSG_USER = 0x0400; // WM_USER

// Private messages the dialog posts to itself
constexpr unsigned WM_START_SEARCH = MSG_USER + 100; // 1124
constexpr unsigned WM_CONNECT_PORT = MSG_USER + 101; // 1125
