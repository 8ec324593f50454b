// The scenario a simulated modem plays: its settings, its answers and the
// faults it injects, read from a small "key = value" file.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace modem_sim {

enum class Dialect { nc, gci };

// What goes wrong with one command. Several items can be combined; `skip`
// lets the first N occurrences of the command through untouched, and `limit`
// restricts the faults to the N occurrences after those (-1: all of them).
struct FaultSpec {
    bool error = false;   // answer ERROR; the command has no effect
    bool silent = false;  // send nothing at all, not even the echo
    bool hangup = false;  // drop the line half-way through the reply
    bool unplug = false;  // after the reply, remove the link: later opens fail
    int delay_ms = 0;     // wait before the reply (the echo is not delayed)
    int split = 0;        // send the reply in pieces of this many bytes
    int nul = 0;          // NUL bytes put inside the answer
    int garbage = 0;      // noise bytes sent in front of the reply
    int long_length = -1; // stretch the answer line to this many characters
    int skip = 0;
    int limit = -1;

    // Whether the faults bend the command's occurrence number `index` (0: its first).
    bool applies_to(int index) const {
        return index >= skip && (limit < 0 || index - skip < limit);
    }
};

struct Config {
    bool echo = true;
    bool verbose = true;
    Dialect dialect = Dialect::nc;
    std::string ident = "ACF3_V1 simulated data modem";
    std::string country = "00";
    std::string note;
    std::string supported;          // list answer; empty: the dialect's default
    std::vector<std::string> codes; // settable codes; empty: taken from `supported`
    size_t note_max = 32;
    int split_gap_ms = 20;
    std::map<int, std::string> infos;           // ATIn answers besides 5 and 9
    std::map<std::string, FaultSpec> faults;    // by command name
    std::map<std::string, std::string> replies; // by command name: raw bytes
    // By command name: a file copied as the command arrives, before its
    // reply (what a client had written by then), and where to.
    struct FileCopy {
        std::string from, to;
    };
    std::map<std::string, FileCopy> copies;
};

// Parses scenario text into `config` (which keeps its defaults for keys not
// given). On failure `error` names the line and the problem.
bool parse_config_text(const std::string& text, Config& config, std::string& error);
bool load_config(const std::string& path, Config& config, std::string& error);

// Fills in what depends on other keys: the default list and the code list.
void finish_config(Config& config);

// "error x1", "delay:500 split:3", ...
bool parse_fault(const std::string& value, FaultSpec& fault, std::string& error);

// The codes of a list answer: "+GCI: (00,09,B5)" and "00,09,B5)" both give
// 00, 09 and B5.
std::vector<std::string> codes_from_list(const std::string& list);

// Splits "key = value" lines; '#' starts a comment line. Used by the state
// file too. Calls `take(line_number, key, raw_value)`; stops at its false.
template <typename Take>
bool for_each_setting(const std::string& text, std::string& error, Take take);

std::string trim(const std::string& text);
std::string lower(std::string text);

// The whole file as text; false with `error` set when it cannot be read.
bool read_text_file(const std::string& path, std::string& text, std::string& error);

template <typename Take>
bool for_each_setting(const std::string& text, std::string& error, Take take) {
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(text.substr(start, end - start));
        ++number;
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = "line " + std::to_string(number) + ": expected key = value";
            return false;
        }
        std::string key = lower(trim(line.substr(0, equals)));
        if (!take(number, key, trim(line.substr(equals + 1))))
            return false;
    }
    return true;
}

} // namespace modem_sim
