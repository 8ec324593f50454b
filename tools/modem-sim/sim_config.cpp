#include "tools/modem-sim/sim_config.h"

#include "tools/modem-sim/escapes.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace modem_sim {
namespace {

const char* const kDefaultNcList = "00,09,B5)";
const char* const kDefaultGciList = "+GCI: (00,09,B5)";

bool parse_count(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9)
        return false;
    int number = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        number = number * 10 + (c - '0');
    }
    if (number < low || number > high)
        return false;
    value = number;
    return true;
}

bool parse_flag(const std::string& text, bool& value) {
    if (text != "0" && text != "1")
        return false;
    value = text == "1";
    return true;
}

// One fault item: a name, optionally ":N".
bool parse_fault_item(const std::string& item, FaultSpec& fault) {
    size_t colon = item.find(':');
    std::string name = item.substr(0, colon);
    std::string arg = colon == std::string::npos ? "" : item.substr(colon + 1);
    bool has_arg = colon != std::string::npos;
    bool* flag = name == "error"    ? &fault.error
                 : name == "silent" ? &fault.silent
                 : name == "hangup" ? &fault.hangup
                 : name == "unplug" ? &fault.unplug
                                    : nullptr;
    if (flag != nullptr) {
        *flag = true;
        return !has_arg;
    }
    if (name == "delay")
        return parse_count(arg, 0, 600000, fault.delay_ms);
    if (name == "skip")
        return parse_count(arg, 1, 1000000000, fault.skip);
    if (name == "split")
        return parse_count(arg, 1, 1000000, fault.split);
    if (name == "long")
        return parse_count(arg, 0, 1000000, fault.long_length);
    if (name == "nul" || name == "garbage") {
        int& count = name == "nul" ? fault.nul : fault.garbage;
        if (!has_arg) {
            count = name == "nul" ? 1 : 8;
            return true;
        }
        return parse_count(arg, 1, 1000000, count);
    }
    if (name.size() > 1 && name[0] == 'x' && !has_arg)
        return parse_count(name.substr(1), 1, 1000000000, fault.limit);
    return false;
}

bool apply_setting(const std::string& key, const std::string& value, Config& config,
                   std::string& problem) {
    int number = 0;
    if (key == "echo")
        return parse_flag(value, config.echo);
    if (key == "verbose")
        return parse_flag(value, config.verbose);
    if (key == "dialect") {
        if (value != "nc" && value != "gci")
            return false;
        config.dialect = value == "nc" ? Dialect::nc : Dialect::gci;
        return true;
    }
    if (key == "note_max")
        return parse_count(value, 0, 10000, number) && (config.note_max = number, true);
    if (key == "split_gap_ms")
        return parse_count(value, 0, 60000, config.split_gap_ms);
    if (key == "codes") {
        config.codes = codes_from_list(value);
        return true;
    }
    std::string* text = key == "ident"       ? &config.ident
                        : key == "country"   ? &config.country
                        : key == "note"      ? &config.note
                        : key == "supported" ? &config.supported
                                             : nullptr;
    if (text) {
        *text = value;
        return true;
    }
    if (key.rfind("info.", 0) == 0)
        return parse_count(key.substr(5), 0, 255, number) && (config.infos[number] = value, true);
    if (key.rfind("fault.", 0) == 0 && key.size() > 6) {
        FaultSpec fault;
        if (!parse_fault(value, fault, problem))
            return false;
        config.faults[key.substr(6)] = fault;
        return true;
    }
    if (key.rfind("reply.", 0) == 0 && key.size() > 6) {
        config.replies[key.substr(6)] = value;
        return true;
    }
    if (key.rfind("copy.", 0) == 0 && key.size() > 5) {
        const size_t arrow = value.find(" > ");
        if (arrow == std::string::npos || arrow == 0 || arrow + 3 == value.size()) {
            problem = "copy needs FROM > TO";
            return false;
        }
        config.copies[key.substr(5)] = {value.substr(0, arrow), value.substr(arrow + 3)};
        return true;
    }
    problem = "unknown key " + key;
    return false;
}

} // namespace

std::string trim(const std::string& text) {
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parse_fault(const std::string& value, FaultSpec& fault, std::string& error) {
    std::istringstream items(value);
    std::string item;
    bool any = false;
    while (items >> item) {
        if (!parse_fault_item(lower(item), fault)) {
            error = "bad fault item " + item;
            return false;
        }
        any = true;
    }
    if (!any)
        error = "empty fault";
    return any;
}

std::vector<std::string> codes_from_list(const std::string& list) {
    size_t open = list.find('(');
    std::string body = open == std::string::npos ? list : list.substr(open + 1);
    std::vector<std::string> codes;
    std::string code;
    for (size_t i = 0; i <= body.size(); ++i) {
        char c = i < body.size() ? body[i] : ',';
        if (c == ',' || c == ')') {
            code = trim(code);
            if (!code.empty())
                codes.push_back(code);
            code.clear();
        } else {
            code.push_back(c);
        }
    }
    return codes;
}

bool parse_config_text(const std::string& text, Config& config, std::string& error) {
    return for_each_setting(text, error,
                            [&](int line, const std::string& key, const std::string& raw) {
                                std::string value, problem;
                                if (!unescape_value(raw, value, problem) ||
                                    !apply_setting(key, value, config, problem)) {
                                    error = "line " + std::to_string(line) + ": " +
                                            (problem.empty() ? "bad value for " + key : problem);
                                    return false;
                                }
                                return true;
                            });
}

bool read_text_file(const std::string& path, std::string& text, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return true;
}

bool load_config(const std::string& path, Config& config, std::string& error) {
    std::string text;
    if (!read_text_file(path, text, error)) {
        return false;
    }
    if (!parse_config_text(text, config, error)) {
        error = path + ": " + error;
        return false;
    }
    finish_config(config);
    return true;
}

void finish_config(Config& config) {
    if (config.supported.empty())
        config.supported = config.dialect == Dialect::nc ? kDefaultNcList : kDefaultGciList;
    if (config.codes.empty())
        config.codes = codes_from_list(config.supported);
}

} // namespace modem_sim
