// Turns an answer into the bytes the modem sends and when: result codes in
// verbose or numeric form, and the scripted faults that bend them.
#pragma once

#include "tools/modem-sim/at_engine.h"
#include "tools/modem-sim/sim_config.h"

#include <string>
#include <vector>

namespace modem_sim {

// One write to the line, `delay_ms` after the step before it.
struct Step {
    int delay_ms = 0;
    std::string bytes;
    bool hangup = false; // after writing, drop the line
    bool unplug = false; // after writing, remove the link to the line
};

// "\r\n<line>\r\n" per information line then "\r\nOK\r\n" or "\r\nERROR\r\n";
// numeric: "<line>\r\n" then "0\r" or "4\r".
std::string format_answer(const Answer& answer, bool verbose);

// The steps for one command: `echo` (already decided by the caller) first,
// then the reply. `fault` may be null.
std::vector<Step> build_plan(const std::string& echo, Answer answer, bool verbose,
                             const FaultSpec* fault, int split_gap_ms);

// A canned reply goes out exactly as written, in one write.
std::vector<Step> canned_plan(const std::string& bytes);

} // namespace modem_sim
