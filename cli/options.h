// The command line's arguments: the command, its country or key, and the
// options, which may stand before or after the command.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct Options {
    std::string command; // scan, show, set, reapply, countries
    std::string country; // set COUNTRY
    std::string key;     // set --key KEY
    std::vector<std::string> ports;
    std::string profile;
    bool json = false;
    bool verbose = false;
    bool force = false;
    bool help = false;
    bool version = false;
    // --check: every read of the real command, and its decision, but nothing
    // sent past the reads and nothing written to the profile.
    bool check = false;
    // reapply --wait: how long to wait for the modem to appear, be free and
    // answer; 0 tries once.
    int wait_seconds = 0;
    // --any-modem: a device that fails the identification test but answers
    // is taken as a modem of the standard AT+GCI kind.
    bool any_modem = false;
    // --probe-all: a search also probes devices that do not declare AT
    // commands (USB-serial adapters, other CDC-ACM devices, unknown ones).
    bool probe_all = false;
};

// The longest --wait taken: an hour is far beyond any modem's start.
constexpr int MAX_WAIT_SECONDS = 3600;

// Fills `options` from the arguments after the program name. Gives false
// with `error` set when they do not make a valid command line.
bool parse_options(const std::vector<std::string>& arguments, Options& options, std::string& error);

// The usage text of --help.
const char* usage_text();

// The text of --version: the program's name and version, then its copyright.
std::string version_text();

} // namespace cli
