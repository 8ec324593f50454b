// The numbers a conversation's events are known by. The conversation calls
// its front end's typed events (modem/front_end.h); the dialog's seam posts
// them as WM_COMMAND with the id in the low word of wParam (the ids are not
// control ids, so the dialog tells them apart by the id alone), and both
// front ends hand them to the procedures under the same ids
// (procedures::Event). Beside them: the reply deadline's timer id and the
// box flags the dialog's seam shows failures with.
#pragma once

// WM_COMMAND / WM_TIMER message numbers, so the portable core can post them.
constexpr unsigned MSG_COMMAND = 0x0111; // WM_COMMAND
constexpr unsigned MSG_TIMER = 0x0113;   // WM_TIMER

// Notification ids (low word of wParam)
constexpr unsigned NOTIFY_DISCONNECT = 101;
constexpr unsigned NOTIFY_I5_READ = 104;
// The list results carry the list commands' own codes, CMD_LIST_NC (37) and
// CMD_LIST_GCI (95); see modem/command_table.h.

// The reply deadline: timer id on the main dialog.
constexpr unsigned WAIT_OK = 1;

// Message-box flags, with the values the Win32 box takes.
constexpr unsigned BOX_OK = 0x00000000;            // MB_OK
constexpr unsigned BOX_ICONWARNING = 0x00000030;   // MB_ICONWARNING
constexpr unsigned BOX_SETFOREGROUND = 0x00010000; // MB_SETFOREGROUND
