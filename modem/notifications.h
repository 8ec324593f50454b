// The numbers a conversation's events are known by. The conversation calls
// its front end's typed events (modem/front_end.h); each front end hands
// them on to its own thread under these ids (the ids are not control ids, so
// a front end tells them apart by the id alone), and both hand them to the
// procedures under the same ids (procedures::Event).
#pragma once

constexpr unsigned NOTIFY_DISCONNECT = 101;
constexpr unsigned NOTIFY_I5_READ = 104;
// The list results carry the list commands' own codes, CMD_LIST_NC (37) and
// CMD_LIST_GCI (95); see modem/command_table.h.
