// The modem's command interpreter: one command line in, the answer out.
// Knows nothing of ports, time or faults.
#pragma once

#include "tools/modem-sim/sim_config.h"

#include <map>
#include <string>
#include <vector>

namespace modem_sim {

// What a modem keeps between commands. Country and note live in its
// non-volatile memory and survive a reset; echo and verbose do not.
struct ModemState {
    bool echo = true;
    bool verbose = true;
    std::string country;
    std::string note;
    std::map<int, int> registers; // S registers written since the start
};

ModemState initial_state(const Config& config);

struct Answer {
    std::string name;               // command name used by fault.* and reply.*
    std::vector<std::string> lines; // information text, one entry per line
    bool ok = false;
};

// Runs one command line (leading CR/LF and the final CR already removed).
// `state` changes only when the whole line is answered OK, as a modem that
// refuses a line carries out none of it.
Answer run_command_line(const std::string& line, const Config& config, ModemState& state);

// The name a line would get, without running it.
std::string command_name(const std::string& line, const Config& config, const ModemState& state);

} // namespace modem_sim
