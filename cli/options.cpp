#include "cli/options.h"

#include "resources/string_texts.h"

#include <cstring>

namespace cli {
namespace {

const char* const commands[] = {"scan", "show", "set", "reapply", "countries"};

bool known_command(const std::string& word) {
    for (const char* command : commands) {
        if (word == command) {
            return true;
        }
    }
    return false;
}

// "--port X" and "--port=X" both give X; false when the value is missing.
bool take_value(const std::vector<std::string>& arguments, size_t& at, const std::string& name,
                std::string& value) {
    const std::string& word = arguments[at];
    if (word.size() > name.size() && word.compare(0, name.size() + 1, name + "=") == 0) {
        value = word.substr(name.size() + 1);
        return true;
    }
    if (at + 1 >= arguments.size()) {
        return false;
    }
    value = arguments[++at];
    return true;
}

bool is_option(const std::string& word, const char* name) {
    const std::string prefix = std::string(name) + "=";
    return word == name || word.compare(0, prefix.size(), prefix) == 0;
}

// What a command allows beyond the global options.
std::string check_command(const Options& o, size_t positionals) {
    if (o.command.empty()) {
        return "no command given";
    }
    if (o.command == "set") {
        if (o.country.empty() == o.key.empty()) {
            return "set takes either a COUNTRY or --key KEY";
        }
    } else if (positionals > 1 || !o.key.empty() || o.force) {
        return o.command + " takes no country, --key or --force";
    }
    if (o.ports.size() > 1 && o.command != "scan") {
        return o.command + " takes one --port";
    }
    if ((!o.ports.empty() || o.probe_all) && o.command == "countries") {
        return "countries takes no --port or --probe-all";
    }
    if (o.wait_seconds > 0 && o.command != "reapply") {
        return "only reapply takes --wait";
    }
    return "";
}

// A whole number of seconds, 0 to MAX_WAIT_SECONDS.
bool parse_seconds(const std::string& text, int& seconds) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    seconds = std::stoi(text);
    return seconds <= MAX_WAIT_SECONDS;
}

// The command, then the country of "set".
bool take_positional(const std::string& word, size_t index, Options& options, std::string& error) {
    if (index == 0) {
        if (!known_command(word)) {
            error = "unknown command " + word;
            return false;
        }
        options.command = word;
    } else if (options.command == "set" && options.country.empty()) {
        options.country = word;
    } else {
        error = "unexpected argument " + word;
        return false;
    }
    return true;
}

} // namespace

bool parse_options(const std::vector<std::string>& arguments, Options& options,
                   std::string& error) {
    size_t positionals = 0;
    bool options_ended = false; // after "--", a word such as "-x" is a country
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::string& word = arguments[at];
        std::string value;
        if (options_ended || word.empty() || word[0] != '-' || word == "-") {
            if (!take_positional(word, positionals++, options, error)) {
                return false;
            }
        } else if (word == "--") {
            options_ended = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "--json") {
            options.json = true;
        } else if (word == "--verbose" || word == "-v") {
            options.verbose = true;
        } else if (word == "--check") {
            options.check = true;
        } else if (word == "--force") {
            options.force = true;
        } else if (word == "--any-modem") {
            options.any_modem = true;
        } else if (word == "--probe-all") {
            options.probe_all = true;
        } else if (is_option(word, "--wait")) {
            if (!take_value(arguments, at, "--wait", value) ||
                !parse_seconds(value, options.wait_seconds)) {
                error =
                    "--wait needs a number of seconds, at most " + std::to_string(MAX_WAIT_SECONDS);
                return false;
            }
        } else if (is_option(word, "--port") || is_option(word, "--profile") ||
                   is_option(word, "--key")) {
            const std::string name = word.substr(0, word.find('='));
            if (!take_value(arguments, at, name, value) || value.empty()) {
                error = name + " needs a value";
                return false;
            }
            if (name == "--port") {
                options.ports.push_back(value);
            } else if (name == "--profile") {
                options.profile = value;
            } else {
                options.key = value;
            }
        } else {
            error = "unknown option " + word;
            return false;
        }
    }
    if (options.help || options.version) {
        return true;
    }
    error = check_command(options, positionals);
    return error.empty();
}

const char* usage_text() {
    return "usage: tarvelle-cli [--profile FILE] [--json] [--verbose] [--any-modem] [--probe-all]\n"
           "                    [--check] COMMAND\n"
           "       tarvelle-cli --help | --version\n"
           "  scan [--port PORT]...          find modems: port, identification, dialect, country\n"
           "  show [--port PORT]             the modem's supported countries and present country\n"
           "  set COUNTRY [--port PORT] [--force]   apply a country (picture code, name or start)\n"
           "  set --key KEY [--port PORT] [--force] apply the profile entry with that key\n"
           "  reapply [--port PORT] [--wait SECONDS]\n"
           "                                 apply the saved choice if the modem lost it,\n"
           "                                 waiting for the modem to appear and be free\n"
           "  countries                      the profile's countries\n"
           "\n"
#ifdef _WIN32
           "PORT is a COM port such as COM3 (up to COM255). Without --port the search\n"
           "covers the ports Windows lists and COM1 to COM9.\n"
#else
           "PORT is a device path such as /dev/ttyACM0. Without --port the search covers\n"
           "/dev/serial/by-id/*, /dev/ttyACM* and /dev/ttyUSB*, and probes only the devices\n"
           "that declare AT commands (CDC-ACM, protocols 1 to 6); --probe-all probes the\n"
           "others it finds too (USB-serial adapters, other CDC-ACM devices). A port that\n"
           "another program has open is never used.\n"
#endif
           "--any-modem also takes a device that fails the identification test, as a\n"
           "modem of the standard AT+GCI kind.\n"
           "--check reads the modem and decides as the command would, then stops: it sends\n"
           "no set command, no ATz and no note, and writes nothing to the profile.\n"
           "\"--\" ends the options.\n"
           "Exit codes: 0 done, 1 the modem failed, 2 usage or country, 3 no modem found,\n"
           "4 port missing, busy or not accessible, 5 with --check: set or reapply would\n"
           "change the modem, its note or the saved choice, 6 the profile could not be\n"
           "read or written, 128+N ended by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP,\n"
           "141 output closed).\n";
}

std::string version_text() {
    // The About box's "Version 1.4" gives the number, so the two never differ.
    const char* number = TEXT_VERSION + std::strlen("Version ");
    return std::string("tarvelle-cli (" TEXT_TITLE ") ") + number + "\n" TEXT_COPYRIGHT "\n";
}

} // namespace cli
