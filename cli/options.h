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
};

// Fills `options` from the arguments after the program name. Gives false
// with `error` set when they do not make a valid command line.
bool parse_options(const std::vector<std::string>& arguments, Options& options, std::string& error);

// The usage text of --help.
const char* usage_text();

} // namespace cli
