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
    return modem.gci ? "gci" : "nc";
}

const char* dialect_text(const ModemRead& modem) {
    return modem.gci ? "AT+GCI" : "AT*nc";
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

std::string failure_json(const Failure& failure) {
    return "{\"exit\": " + std::to_string(failure.exit) +
           ", \"message\": " + quoted(failure.what()) +
           ", \"step\": " + (failure.step.empty() ? std::string("null") : quoted(failure.step)) +
           "}";
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

void Report::scan(const ScanResult& result, const Failure* failure) {
    if (json_) {
        std::string out = "{\"modems\": " + json_list(result.modems, [](const FoundModem& m) {
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
        print_line(out + "}");
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
        print_message(failure->what());
    }
}

void Report::show(const std::string& port, const ModemRead& modem) {
    if (json_) {
        print_line("{\"port\": " + quoted(port) + ", \"ident\": " + json_string(modem.ident) +
                   ", \"dialect\": \"" + dialect(modem) +
                   "\", \"country\": " + present_json(modem) +
                   ", \"supported\": " + json_list(modem.supported, country_json) + "}");
        return;
    }
    print_line("port:      " + port);
    print_line("modem:     " + utf8_from_1252(modem.ident));
    print_line(std::string("dialect:   ") + dialect_text(modem));
    print_line("country:   " + present_text(modem));
    print_line("supported:");
    for (const Country& country : modem.supported) {
        print_line("  " + country_text(country));
    }
}

void Report::applied(const std::string& port, const ModemRead& modem, bool changed) {
    if (json_) {
        print_line("{\"port\": " + quoted(port) + ", \"dialect\": \"" + dialect(modem) +
                   "\", \"country\": " + country_json(modem.country) +
                   ", \"changed\": " + (changed ? "true" : "false") + "}");
        return;
    }
    print_line(port + (changed ? ": set to " : ": already set to ") + country_text(modem.country) +
               (changed ? "" : "; nothing sent"));
}

void Report::countries(const std::vector<ProfileEntry>& entries) {
    if (json_) {
        print_line("{\"countries\": " +
                   json_list(entries,
                             [](const ProfileEntry& e) {
                                 return "{\"key\": " + json_string(e.key) +
                                        ", \"name\": " + json_string(e.name) +
                                        ", \"picture\": " + json_string(e.picture) +
                                        ", \"code\": " + json_string(e.code) + "}";
                             }) +
                   "}");
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
        print_line("{\"error\": " + failure_json(failure) + "}");
    }
    print_message(failure.what());
}

void Report::interrupted(int signal_number) {
    failure(Failure(interrupted_exit(signal_number),
                    "interrupted (signal " + std::to_string(signal_number) +
                        "); the port was closed and its settings restored"));
}

} // namespace cli
