#include "cli/report.h"

#include "cli/output.h"

#include "cli/json_text.h"

#include <cstdio>
#include <string>

namespace cli {
namespace {

std::string quoted(const std::string& text) {
    return json_string(text, false);
}

const char* dialect(const ModemRead& modem) {
    return modem.dialect->name;
}

const char* dialect_text(const ModemRead& modem) {
    return modem.dialect->label;
}

std::string country_json(const Country& country) {
    return "{\"key\": " + (country.key.empty() ? std::string("null") : json_string(country.key)) +
           ", \"name\": " + json_string(country.name) + ", \"code\": " + json_string(country.code) +
           "}";
}

std::string present_json(const ModemRead& modem) {
    return modem.has_country ? country_json(modem.country) : "null";
}

// "United Kingdom [B4]", or the modem's code for a country no entry has.
std::string country_text(const Country& country) {
    return utf8_from_1252(country.name) + " [" +
           utf8_from_1252(country.key.empty() ? "code " + country.code : country.key) + "]";
}

std::string present_text(const ModemRead& modem) {
    return modem.has_country ? country_text(modem.country) : "unknown";
}

// Where the modem's code names another country than its note or the saved
// choice: the country the code names, which a reapply goes by.
std::string i5_json(const ModemRead& modem) {
    if (!modem.i5_differs) {
        return "";
    }
    return ", \"i5\": " + (modem.by_i5.code.empty() ? "null" : country_json(modem.by_i5));
}

std::string i5_text(const ModemRead& modem) {
    return modem.by_i5.code.empty() ? "no code" : country_text(modem.by_i5);
}

// A failure's message names its port once: a port's own failures start with it.
std::string message_of(const Failure& failure) {
    const std::string message = failure.what();
    const std::string prefix = failure.port + ": ";
    return failure.port.empty() || message.compare(0, prefix.size(), prefix) == 0
               ? message
               : prefix + message;
}

std::string null_or(const std::string& text) {
    return text.empty() ? std::string("null") : quoted(text);
}

// The process that holds a busy port, when one was found.
std::string holder_json(const Holder& holder) {
    if (holder.pid == 0) {
        return "";
    }
    return ", \"holder\": {\"pid\": " + std::to_string(holder.pid) +
           ", \"name\": " + quoted(holder.name) +
           ", \"borrowable\": " + (holder.borrowable ? "true" : "false") + "}";
}

std::string failure_json(const Failure& failure) {
    return "{\"exit\": " + std::to_string(failure.exit) +
           ", \"message\": " + quoted(message_of(failure)) +
           ", \"step\": " + null_or(failure.step) + ", \"port\": " + null_or(failure.port) +
           holder_json(failure.holder) + "}";
}

template <class Item, class Write>
std::string json_list(const std::vector<Item>& items, Write write) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + write(items[i]);
    }
    return out + "]";
}

// Every line passes through visible_text: whatever a device, the profile or
// an argument put in it, it cannot work the terminal it lands on.
void print_line(const std::string& line) {
    write_out(visible_text(line) + "\n");
}

} // namespace

void print_message(const std::string& message) {
    write_err("tarvelle-cli: " + visible_text(message) + "\n");
}

void Report::print_object(const std::string& fields) {
    print_line(std::string("{\"version\": 1, \"check\": ") + (check_ ? "true" : "false") + ", " +
               fields + "}");
}

void Report::scan(const ScanResult& result, const Failure* failure) {
    if (json_) {
        std::string out = "\"modems\": " + json_list(result.modems, [](const FoundModem& m) {
                              return "{\"port\": " + quoted(m.port) +
                                     ", \"ident\": " + json_string(m.modem.ident) +
                                     ", \"dialect\": \"" + dialect(m.modem) +
                                     "\", \"country\": " + present_json(m.modem) + "}";
                          });
        out += ", \"rejected\": " + json_list(result.rejected, [](const PortNote& n) {
                   return "{\"port\": " + quoted(n.port) + ", \"ident\": " +
                          (n.has_text ? json_string(n.text) : std::string("null")) + "}";
               });
        const auto reason = [](const PortNote& n) {
            return "{\"port\": " + quoted(n.port) + ", \"reason\": " + quoted(n.text) + "}";
        };
        out += ", \"unavailable\": " + json_list(result.unavailable, reason);
        out += ", \"skipped\": " + json_list(result.skipped, reason);
        if (failure != nullptr) {
            out += ", \"error\": " + failure_json(*failure);
        }
        print_object(out);
    } else {
        for (const FoundModem& m : result.modems) {
            print_line("modem        " + m.port + ": " + utf8_from_1252(m.modem.ident) + "; " +
                       dialect_text(m.modem) + "; set to " + present_text(m.modem));
        }
        for (const PortNote& n : result.rejected) {
            print_line("rejected     " + n.port + ": " +
                       (n.has_text ? utf8_from_1252(n.text) : "no identification"));
        }
        for (const PortNote& n : result.unavailable) {
            print_line("unavailable  " + n.port + ": " + n.text);
        }
        for (const PortNote& n : result.skipped) {
            print_line("skipped      " + n.port + ": " + n.text);
        }
    }
    if (failure != nullptr) {
        print_message(message_of(*failure));
    }
}

void Report::show(const std::string& port, const ModemRead& modem) {
    if (json_) {
        print_object("\"port\": " + quoted(port) + ", \"ident\": " + json_string(modem.ident) +
                     ", \"dialect\": \"" + dialect(modem) +
                     "\", \"country\": " + present_json(modem) + i5_json(modem) +
                     ", \"supported\": " + json_list(modem.supported, country_json));
        return;
    }
    print_line("port:      " + port);
    print_line("modem:     " + utf8_from_1252(modem.ident));
    print_line(std::string("dialect:   ") + dialect_text(modem));
    print_line("country:   " + present_text(modem));
    if (modem.i5_differs) {
        print_line("ATi5 code: " + i5_text(modem));
    }
    print_line("supported:");
    for (const Country& country : modem.supported) {
        print_line("  " + country_text(country));
    }
}

void Report::applied(const std::string& port, const ModemRead& before, const ModemRead& after,
                     const Outcome& outcome) {
    if (json_) {
        print_object("\"port\": " + quoted(port) + ", \"dialect\": \"" + dialect(after) +
                     "\", \"country\": " + country_json(after.country) +
                     ", \"before\": " + present_json(before) + i5_json(before) +
                     ", \"supported\": " + json_list(after.supported, country_json) +
                     ", \"changed\": " + (outcome.changed() ? "true" : "false"));
        return;
    }
    const std::string country = country_text(after.country);
    if (outcome.sets_modem) {
        print_line(port + (check_ ? ": would set " + country + " (now " + present_text(before) + ")"
                                  : ": set to " + country));
    } else {
        std::string done;
        if (outcome.rewrites_note) {
            done += check_ ? "; would rewrite its note" : "; its note rewritten";
        }
        if (outcome.saves_choice) {
            done += check_ ? "; would save it as the choice" : "; saved as the choice";
        }
        if (done.empty()) {
            done = check_ ? "; nothing to do" : "; nothing sent";
        }
        print_line(port + ": already set to " + country + done);
    }
    if (before.i5_differs) {
        print_line(port + ": its ATi5 code named " + i5_text(before));
    }
}

void Report::countries(const std::vector<ProfileEntry>& entries) {
    if (json_) {
        print_object("\"countries\": " + json_list(entries, [](const ProfileEntry& e) {
                         return "{\"key\": " + json_string(e.key) +
                                ", \"name\": " + json_string(e.name) +
                                ", \"picture\": " + json_string(e.picture) +
                                ", \"code\": " + json_string(e.code) + "}";
                     }));
        return;
    }
    for (const ProfileEntry& e : entries) {
        char line[64];
        std::snprintf(line, sizeof line, "%-12s %-6s %-10s ", utf8_from_1252(e.key).c_str(),
                      utf8_from_1252(e.picture).c_str(), utf8_from_1252(e.code).c_str());
        print_line(line + utf8_from_1252(e.name));
    }
}

void Report::failure(const Failure& failure) {
    if (json_) {
        print_object("\"error\": " + failure_json(failure));
    }
    print_message(message_of(failure));
}

void Report::interrupted(int signal_number, const std::string& port) {
    failure(Failure(interrupted_exit(signal_number),
                    "interrupted (signal " + std::to_string(signal_number) +
                        "); the port was closed and its settings restored",
                    "", port));
}

} // namespace cli
