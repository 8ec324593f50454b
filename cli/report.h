// What the commands print: results on stdout, as text or as JSON, and
// failures on stderr (with a JSON error object on stdout under --json).
#pragma once

#include "cli/country_choice.h"
#include "cli/failure.h"
#include "cli/modem_session.h"

#include <string>
#include <vector>

namespace cli {

struct FoundModem {
    std::string port;
    ModemRead modem;
};
struct PortNote {
    std::string port;
    std::string text;     // a rejected device's identification, or why a port is unavailable
                          // or skipped
    bool has_text = true; // false: a rejected device that gave no identification
};
struct ScanResult {
    std::vector<FoundModem> modems;
    std::vector<PortNote> rejected;
    std::vector<PortNote> unavailable;
    std::vector<PortNote> skipped; // found, but not probed: they declare no AT commands
};

class Report {
  public:
    // `check`: the command runs under --check, and its JSON says so.
    explicit Report(bool json, bool check = false) : json_(json), check_(check) {}

    void scan(const ScanResult& result, const Failure* failure);
    void show(const std::string& port, const ModemRead& modem);
    // `before` as the read found the modem, `after` as it is left (or,
    // under --check, would be left).
    void applied(const std::string& port, const ModemRead& before, const ModemRead& after,
                 const Outcome& outcome);
    void countries(const std::vector<ProfileEntry>& entries);
    void failure(const Failure& failure);
    // `port`: the port the command was working on, "" when none or several.
    void interrupted(int signal_number, const std::string& port);

  private:
    // A whole JSON output: its version, whether it is a dry run, `fields`.
    void print_object(const std::string& fields);

    bool json_;
    bool check_;
};

// "tarvelle-cli: <message>" on stderr, its control bytes shown as "\x1b".
void print_message(const std::string& message);

} // namespace cli
