#include "tools/modem-sim/at_engine.h"

#include <cctype>
#include <cstdio>

namespace modem_sim {
namespace {

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool starts_with_nocase(const std::string& text, size_t at, const char* prefix) {
    for (size_t k = 0; prefix[k]; ++k) {
        if (at + k >= text.size() || upper(text[at + k]) != upper(prefix[k]))
            return false;
    }
    return true;
}

// Walks the commands after "AT", left to right, on a copy of the state.
class LineRunner {
  public:
    LineRunner(const std::string& body, const Config& config, ModemState& state)
        : body_(body), config_(config), state_(state) {}

    bool run(Answer& answer) {
        answer.name = "at";
        while (pos_ < body_.size()) {
            if (body_[pos_] == ' ') {
                ++pos_;
                continue;
            }
            if (!run_one(answer))
                return false;
        }
        return true;
    }

  private:
    bool run_one(Answer& answer) {
        char letter = upper(body_[pos_++]);
        switch (letter) {
        case 'E':
        case 'V':
        case 'Q':
            return run_switch(letter, answer);
        case 'I':
            return run_info(answer);
        case 'Z':
            answer.name = "z";
            state_.echo = config_.echo;
            state_.verbose = config_.verbose;
            pos_ = body_.size(); // a reset ends the line
            return true;
        case '*':
            return run_nc(answer);
        case '+':
            return run_extended(answer);
        case 'S':
            return run_register(answer);
        case '&':
            return run_ampersand(answer);
        case 'H':
        case 'X':
        case 'M':
        case 'L':
        case 'B':
        case 'W':
            return run_setting(letter, answer);
        default:
            answer.name = std::string(1, static_cast<char>(std::tolower(letter)));
            return false;
        }
    }

    std::string take_digits() {
        size_t start = pos_;
        while (pos_ < body_.size() && std::isdigit(static_cast<unsigned char>(body_[pos_])))
            ++pos_;
        return body_.substr(start, pos_ - start);
    }

    std::string take_rest() {
        std::string rest = trim(body_.substr(pos_));
        pos_ = body_.size();
        return rest;
    }

    // E0/E1, V0/V1, Q0: a missing digit means 0, as on any Hayes modem.
    bool run_switch(char letter, Answer& answer) {
        std::string digits = take_digits();
        int value = digits.empty() ? 0 : std::stoi(digits.substr(0, 3));
        answer.name =
            std::string(1, static_cast<char>(std::tolower(letter))) + std::to_string(value);
        if (value > 1 || (letter == 'Q' && value != 0))
            return false;
        if (letter == 'E')
            state_.echo = value == 1;
        if (letter == 'V')
            state_.verbose = value == 1;
        return true;
    }

    bool run_info(Answer& answer) {
        std::string digits = take_digits();
        int number = digits.empty() ? 0 : std::stoi(digits.substr(0, 3));
        answer.name = "i" + std::to_string(number);
        if (number == 9)
            return run_note(answer);
        if (number == 5) {
            answer.lines.push_back(state_.country);
            return true;
        }
        if (number == 3 && !config_.infos.count(3)) {
            answer.lines.push_back(config_.ident);
            return true;
        }
        auto info = config_.infos.find(number);
        if (info == config_.infos.end())
            return false;
        answer.lines.push_back(info->second);
        return true;
    }

    // ATI9 reads the note, ATI9## clears it, ATI9cc<text># stores "CC<text>".
    bool run_note(Answer& answer) {
        if (starts_with_nocase(body_, pos_, "##")) {
            answer.name = "i9clear";
            pos_ += 2;
            state_.note.clear();
            return true;
        }
        if (starts_with_nocase(body_, pos_, "CC")) {
            answer.name = "i9set";
            size_t hash = body_.find('#', pos_ + 2);
            if (hash == std::string::npos)
                return false;
            std::string text = body_.substr(pos_ + 2, hash - pos_ - 2);
            pos_ = hash + 1;
            if (text.size() + 2 > config_.note_max)
                return false;
            state_.note = "CC" + text;
            return true;
        }
        if (!state_.note.empty())
            answer.lines.push_back(state_.note);
        return true;
    }

    // Settings a getty sends a modem and the modem need not model: H0 (on
    // hook), X4, M0, L1 and the like are taken with any number.
    bool run_setting(char letter, Answer& answer) {
        answer.name = std::string(1, static_cast<char>(std::tolower(letter))) + take_digits();
        return true;
    }

    // &F, &C1, &D2, &K3 ...: any letter after "&", with its number.
    bool run_ampersand(Answer& answer) {
        if (pos_ >= body_.size() || !std::isalpha(static_cast<unsigned char>(body_[pos_]))) {
            answer.name = "&";
            return false;
        }
        answer.name = "&";
        answer.name += static_cast<char>(std::tolower(static_cast<unsigned char>(body_[pos_++])));
        answer.name += take_digits();
        return true;
    }

    // S<n>=<v> stores a register, S<n>? reads it back (three digits, 0 for
    // one never written).
    bool run_register(Answer& answer) {
        const std::string number = take_digits();
        answer.name = "s";
        if (number.empty() || number.size() > 3 || pos_ >= body_.size())
            return false;
        const int index = std::stoi(number);
        if (body_[pos_] == '?') {
            ++pos_;
            answer.name = "sread";
            char text[8];
            std::snprintf(text, sizeof text, "%03d", state_.registers[index]);
            answer.lines.push_back(text);
            return true;
        }
        if (body_[pos_] != '=')
            return false;
        ++pos_;
        const std::string value = take_digits();
        if (value.empty() || value.size() > 3 || std::stoi(value) > 255)
            return false;
        state_.registers[index] = std::stoi(value);
        return true;
    }

    // AT+FCLASS=? answers the scenario's list of service classes, and
    // AT+FCLASS=<n> takes a class it lists; AT+FCLASS? reads class 0.
    bool run_extended(Answer& answer) {
        if (!starts_with_nocase(body_, pos_, "FCLASS"))
            return run_gci(answer);
        pos_ += 6;
        const std::string rest = take_rest();
        answer.name = rest == "=?" ? "fclasslist" : rest == "?" ? "fclassread" : "fclassset";
        if (rest == "=?") {
            answer.lines.push_back(config_.fclass);
            return !config_.fclass.empty();
        }
        if (rest == "?") {
            answer.lines.push_back("0");
            return true;
        }
        // A class the modem lists may be chosen: "=1" for "0,1,2.0".
        const std::string chosen = rest.size() > 1 && rest[0] == '=' ? rest.substr(1) : "";
        for (const std::string& listed : codes_from_list(config_.fclass))
            if (!chosen.empty() && listed == chosen)
                return true;
        return false;
    }

    // An extended command the modem does not model is named as the known
    // ones are: AT+FTM=? is "ftmlist", AT+FOO? "fooread", AT+FOO=1 "fooset".
    static std::string extended_name(const std::string& rest) {
        const size_t end = rest.find_first_of("=?");
        const std::string name = lower(rest.substr(0, end));
        if (end == std::string::npos)
            return name;
        return name + (rest.compare(end, 2, "=?") == 0 ? "list"
                       : rest[end] == '?'              ? "read"
                                                       : "set");
    }

    // Gives the code as the modem lists it, or "" when it does not support it.
    std::string supported_code(const std::string& code) const {
        for (const std::string& known : config_.codes) {
            if (known.size() == code.size() && starts_with_nocase(code, 0, known.c_str()))
                return known;
        }
        return "";
    }

    bool set_country(const std::string& code) {
        std::string known = supported_code(code);
        if (known.empty())
            return false;
        state_.country = known;
        return true;
    }

    bool run_nc(Answer& answer) {
        if (!starts_with_nocase(body_, pos_, "NC")) {
            answer.name = "*";
            return false;
        }
        pos_ += 2;
        std::string rest = take_rest();
        answer.name = rest == "?" ? "nclist" : "ncset";
        if (config_.dialect != Dialect::nc)
            return false;
        if (rest == "?") {
            answer.lines.push_back(config_.supported);
            return true;
        }
        return set_country(rest);
    }

    bool run_gci(Answer& answer) {
        if (!starts_with_nocase(body_, pos_, "GCI")) {
            answer.name = extended_name(take_rest()); // a canned reply may answer it
            return false;
        }
        pos_ += 3;
        std::string rest = take_rest();
        answer.name = rest == "=?" ? "gcilist" : rest == "?" ? "gciread" : "gciset";
        if (config_.dialect != Dialect::gci)
            return false;
        if (rest == "=?") {
            answer.lines.push_back(config_.supported);
            return true;
        }
        if (rest == "?") {
            answer.lines.push_back("+GCI: " + state_.country);
            return true;
        }
        return rest.size() > 1 && rest[0] == '=' && set_country(trim(rest.substr(1)));
    }

    const std::string& body_;
    const Config& config_;
    ModemState& state_;
    size_t pos_ = 0;
};

} // namespace

ModemState initial_state(const Config& config) {
    ModemState state;
    state.echo = config.echo;
    state.verbose = config.verbose;
    state.country = config.country;
    state.note = config.note;
    return state;
}

Answer run_command_line(const std::string& line, const Config& config, ModemState& state) {
    Answer answer;
    std::string text = trim(line);
    if (!starts_with_nocase(text, 0, "AT")) {
        answer.name = lower(text); // not a modem command: only canned replies answer it
        return answer;
    }
    std::string body = text.substr(2);
    ModemState trial = state;
    answer.ok = LineRunner(body, config, trial).run(answer);
    if (answer.ok)
        state = trial;
    else
        answer.lines.clear();
    return answer;
}

std::string command_name(const std::string& line, const Config& config, const ModemState& state) {
    ModemState scratch = state;
    return run_command_line(line, config, scratch).name;
}

} // namespace modem_sim
