// The serial link tells the user of a few failures itself (a port that will
// not close, a receive thread that cannot start properly). It reports them
// to whoever listens on the session (its report callback, with the data
// callback's context), so they reach the user by the same road as the
// conversation's own failures. A session with no listener traces them.
#pragma once

#include "common/report_step.h"

struct PortSession;

void report_port_failure(PortSession* session, Step step, const char* text);
