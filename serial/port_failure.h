// The serial link's failures, as the one Failure value: given back by the
// calls a front end makes (create, open, write), and, for those that arise
// where no caller waits (a port that will not close, a receive thread that
// cannot start properly), handed to whoever listens on the session (its
// report callback, with the data callback's context), so they reach the user
// by the same road as the conversation's own failures. A session with no
// listener traces them.
#pragma once

#include "common/failure.h"

struct PortSession;

// A failure of `session`'s port, named as the user knows it.
Failure port_failure(const PortSession* session, Kind kind, std::string text, int error = 0);
void report_port_failure(PortSession* session, const Failure& failure);
