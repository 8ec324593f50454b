#include "cli/commands.h"

#include "cli/console.h"
#include "cli/conversation_loop.h"
#include "cli/country_choice.h"
#include "cli/device_wait.h"
#include "cli/json_text.h"
#include "cli/modem_session.h"
#include "cli/output.h"
#include "cli/port_claim.h"
#include "cli/port_probes.h"
#include "cli/port_search.h"
#include "cli/profile_location.h"
#include "cli/report.h"
#include "common/text.h"
#include "procedures/procedures.h"
#include "profile/file_replace.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/saved_choice.h"
#include "resources/string_texts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace cli {
namespace {

// A scan's progress on stderr, only when a person watches it there.
class Progress {
  public:
    explicit Progress(bool quiet) : shown_(!quiet && stderr_is_terminal()) {}
    ~Progress() { clear(); }
    void port(const std::string& port) {
        if (shown_) {
            std::fprintf(stderr, "\r\033[Kscanning %s ...", visible_text(port).c_str());
            std::fflush(stderr);
        }
    }
    void clear() {
        if (shown_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }

  private:
    bool shown_;
};

// The port's name in a port failure's message, taken off for the scan's list.
std::string reason_only(const std::string& port, const std::string& message) {
    const std::string prefix = port + ": ";
    return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
}

// Runs `work` on the modem at `port`; a failure or an interruption there
// names the port.
template <class Work> void on_port(const std::string& port, Work work) {
    try {
        work();
    } catch (Failure& failure) {
        failure.port = port;
        throw;
    } catch (Interrupted& interrupted) {
        interrupted.port = port;
        throw;
    }
}

// The modem a command works on: its conversation, its claim on the port,
// and what it said.
struct Target {
    std::string port;
    std::unique_ptr<ConversationLoop> loop;
    std::unique_ptr<PortClaim> claim;
    ModemRead modem;
};

const char* const ANY_MODEM_HINT =
    "; a modem of another make may be used with --any-modem, as a standard AT+GCI modem";

// The ports a command tries: those named, or those the search finds.
std::vector<SearchedPort> ports_to_try(const Options& options) {
    if (options.ports.empty()) {
        return search_ports(options.probe_all);
    }
    std::vector<SearchedPort> named;
    for (const std::string& port : options.ports) {
        named.push_back({port, ""});
    }
    return named;
}

// The ports to probe, apart from those the search passed over (with why).
struct Candidates {
    std::vector<std::string> ports;
    std::vector<PortNote> skipped;
};
Candidates split_candidates(const std::vector<SearchedPort>& ports) {
    Candidates split;
    for (const SearchedPort& port : ports) {
        if (port.skipped.empty()) {
            split.ports.push_back(port.path);
        } else {
            split.skipped.push_back({port.path, port.skipped});
        }
    }
    return split;
}

// " (skipped: /dev/ttyUSB0: a USB-serial adapter ...; ...)" for a failure's
// message, so that a search that found nothing says what it passed over.
std::string listed(const char* kind, const std::vector<PortNote>& notes) {
    std::string text;
    for (const PortNote& note : notes) {
        text +=
            (text.empty() ? " (" + std::string(kind) + ": " : "; ") + note.port + ": " + note.text;
    }
    return text.empty() ? "" : text + ")";
}

// A getty is given BORROW_SECONDS to let go of a port, or what is left of
// --wait when that is longer.
Borrowing borrowing_of(const Options& options, std::chrono::steady_clock::time_point waited) {
    Borrowing borrowing;
    borrowing.allowed = options.borrow;
    borrowing.hinted = options.command != "scan";
    borrowing.until =
        std::max(std::chrono::steady_clock::now() + std::chrono::seconds(BORROW_SECONDS), waited);
    return borrowing;
}

// The modem a command works on: the port named first, or the first modem in
// the search's order. The search probes every candidate at once; with
// --borrow it borrows them from a getty too, as it probes only modems' ports.
// `waited` is when reapply's --wait runs out; `search` is kept across its tries.
Target find_modem(ConversationLoop& loop, profile::Profile& profile, const Options& options,
                  PortSearch& search, std::chrono::steady_clock::time_point waited = {}) {
    const bool named = !options.ports.empty();
    std::vector<SearchedPort> ports = ports_to_try(options);
    if (named) {
        ports.resize(1); // the port named first
    }
    const Candidates split = split_candidates(ports);
    const std::vector<std::string>& candidates = split.ports;
    ScanResult passed;
    passed.skipped = split.skipped;
    Target target;
    bool rejected = false;
    {
        PortProbes probes(loop, candidates, options.any_modem, borrowing_of(options, waited),
                          search);
        Progress progress(options.verbose);
        for (size_t i = 0; i < candidates.size() && !target.claim; ++i) {
            progress.port(candidates[i]);
            ProbedPort& probed = probes.result(i);
            if (!probed.unavailable.empty()) {
                if (named) {
                    Failure failure(EXIT_PORT, probed.unavailable, "", probed.port);
                    failure.holder = probed.holder;
                    throw failure;
                }
                passed.unavailable.push_back(
                    {probed.port, reason_only(probed.port, probed.unavailable)});
            } else if (probed.claim) {
                probes.drop_after(i);
                target.port = probed.port;
                target.loop = std::move(probed.loop);
                target.claim = std::move(probed.claim);
                target.modem.standard_only = probed.probe == Probe::standard;
            } else if (named) {
                throw Failure(EXIT_NO_MODEM,
                              probed.port +
                                  (probed.probe == Probe::silent
                                       ? ": nothing answered"
                                       : ": the device failed the identification test" +
                                             (probed.ident.empty()
                                                  ? std::string()
                                                  : " (" + utf8_from_1252(probed.ident) + ")") +
                                             ANY_MODEM_HINT),
                              "", probed.port);
            } else {
                rejected = rejected || probed.probe == Probe::rejected;
            }
        }
    }
    if (!target.claim) {
        throw Failure(EXIT_NO_MODEM, "no modem found" + listed("unavailable", passed.unavailable) +
                                         listed("skipped", passed.skipped) +
                                         (rejected ? ANY_MODEM_HINT : ""));
    }
    target.modem.ident = target.loop->talk().modem_ident;
    on_port(target.port, [&] { ModemSession(*target.loop, profile).read(target.modem); });
    return target;
}

// Every candidate is probed at once; the modems found are then read one
// after another, in the order of the ports.
int scan(ConversationLoop& loop, profile::Profile& profile, const Options& options,
         Report& report) {
    ScanResult result;
    const std::vector<SearchedPort> ports = ports_to_try(options);
    const Candidates split = split_candidates(ports);
    const std::vector<std::string>& candidates = split.ports;
    result.skipped = split.skipped;
    PortSearch search;
    {
        PortProbes probes(loop, candidates, options.any_modem, borrowing_of(options, {}), search);
        Progress progress(options.verbose);
        for (size_t i = 0; i < candidates.size(); ++i) {
            progress.port(candidates[i]);
            probes.result(i);
        }
        progress.clear();
        for (size_t i = 0; i < candidates.size(); ++i) {
            ProbedPort& probed = probes.result(i);
            const std::string& port = probed.port;
            if (!probed.unavailable.empty()) {
                result.unavailable.push_back({port, reason_only(port, probed.unavailable)});
            } else if (probed.claim) {
                FoundModem found{port, {}};
                found.modem.ident = probed.ident;
                found.modem.standard_only = probed.probe == Probe::standard;
                try {
                    on_port(port, [&] { ModemSession(*probed.loop, profile).read(found.modem); });
                } catch (const Failure& failure) {
                    print_message(port + ": " + failure.what());
                    found.modem.has_country = false;
                }
                probed.claim.reset();
                result.modems.push_back(found);
            } else if (probed.probe == Probe::rejected) {
                result.rejected.push_back({port, probed.ident, !probed.ident.empty()});
            }
        }
    }
    if (!result.modems.empty()) {
        report.scan(result, nullptr);
        return EXIT_DONE;
    }
    const bool only_unavailable = !ports.empty() && result.unavailable.size() == ports.size();
    // A scan of one port failed on that port.
    const Failure failure(only_unavailable ? EXIT_PORT : EXIT_NO_MODEM,
                          ports.empty() ? "no port to search"
                                        : "no modem found" + listed("skipped", result.skipped) +
                                              (result.rejected.empty() ? "" : ANY_MODEM_HINT),
                          "", ports.size() == 1 ? ports.front().path : "");
    report.scan(result, &failure);
    return failure.exit;
}

int show(ConversationLoop& loop, profile::Profile& profile, const Options& options,
         Report& report) {
    PortSearch search;
    Target target = find_modem(loop, profile, options, search);
    report.show(target.port, target.modem);
    return EXIT_DONE;
}

std::string names_of(const std::vector<ProfileEntry>& entries) {
    std::string names;
    for (const ProfileEntry& entry : entries) {
        names += (names.empty() ? "" : ", ") + utf8_from_1252(entry.name) + " [" +
                 utf8_from_1252(entry.key) + "]";
    }
    return names;
}

// What may be sent is the procedures' to judge (an AT*nc modem is sent the
// entry's code and its key, in the note; an AT+GCI modem only the key), so
// the check waits for the read, which tells the dialect. A key too long to
// send is refused by the apply itself.
void require_sendable(const Choice& choice, const ModemRead& modem) {
    const procedures::Unsendable why =
        procedures::sendable(choice.key.c_str(), choice.code.c_str(), *modem.dialect);
    if (why != procedures::Unsendable::key && why != procedures::Unsendable::code) {
        return;
    }
    throw Failure(EXIT_USAGE,
                  "the entry " + utf8_from_1252(choice.name) + " [" + utf8_from_1252(choice.key) +
                      "] has the " +
                      (why == procedures::Unsendable::code ? "code " + utf8_from_1252(choice.code)
                                                           : std::string("key")) +
                      "; only letters and digits are sent to a modem");
}

Choice chosen_entry(const profile::Profile& profile, const Options& options) {
    const std::vector<ProfileEntry> entries = profile_entries(profile);
    const bool by_key = !options.key.empty();
    const std::string wanted = by_key ? options.key : options.country;
    const CountryMatch match = by_key ? match_key(entries, wanted) : match_country(entries, wanted);
    if (match.found.empty()) {
        throw Failure(EXIT_USAGE,
                      std::string(by_key ? "no country has the key " : "unknown country ") +
                          wanted + "; see \"tarvelle-cli countries\"");
    }
    if (match.found.size() > 1) {
        throw Failure(EXIT_USAGE, "\"" + wanted + "\" is ambiguous: " + names_of(match.found));
    }
    const ProfileEntry& entry = match.found.front();
    return {entry.key, entry.name, entry.code};
}

// The modem must list the entry: a country it does not support cannot be set.
void require_listed(const Choice& choice, const ModemRead& modem) {
    std::string listed;
    for (const Country& country : modem.supported) {
        if (!country.key.empty() && equal_ignoring_case(country.key.c_str(), choice.key.c_str())) {
            return;
        }
        listed += (listed.empty() ? "" : ", ") + utf8_from_1252(country.name) +
                  (country.key.empty() ? "" : " [" + utf8_from_1252(country.key) + "]");
    }
    throw Failure(EXIT_USAGE, "the modem does not list " + utf8_from_1252(choice.name) + " [" +
                                  utf8_from_1252(choice.key) +
                                  "]; it lists: " + (listed.empty() ? "no country" : listed));
}

// The apply of set and reapply. Under --check the exit code tells whether
// the real command would change anything.
int apply(profile::Profile& profile, const Options& options, Report& report, const Choice& choice,
          Target& target) {
    const ModemRead before = target.modem;
    Outcome outcome;
    on_port(target.port, [&] {
        require_sendable(choice, target.modem);
        require_listed(choice, target.modem);
        outcome = ModemSession(*target.loop, profile)
                      .apply(choice, options.force, options.check, target.modem);
    });
    report.applied(target.port, before, target.modem, outcome);
    return options.check && outcome.changed() ? EXIT_WOULD_CHANGE : EXIT_DONE;
}

int set(ConversationLoop& loop, profile::Profile& profile, const Options& options, Report& report) {
    const Choice choice = chosen_entry(profile, options);
    PortSearch search;
    Target target = find_modem(loop, profile, options, search);
    return apply(profile, options, report, choice, target);
}

Choice saved_entry(const profile::Profile& profile) {
    char saved[profile::SAVED_CHOICE_SIZE];
    if (profile::read_saved_choice(profile, saved, sizeof saved) == 0) {
        throw Failure(EXIT_USAGE, "nothing saved to re-apply; choose a country with \"set\" first");
    }
    profile::CountryRecord record{};
    if (!profile::read_entry(profile, saved, record)) {
        throw Failure(EXIT_USAGE, std::string("the saved key ") + saved + " is not in the profile");
    }
    const char* listed = profile::find_listed_key(profile, saved);
    return {listed != nullptr ? listed : saved, record.name, record.code};
}

// At boot the modem may still be enumerating, or ModemManager may still be
// probing it: while the time allows, a port that is missing or busy and a
// modem that does not answer yet are tried again. A device that appears
// ends the wait at once; one that is there but held is tried again after a
// pause that starts short and doubles, and no sooner: a try that looked
// through other programs' open files waits its pause out, however many
// events the watched folders see. The pauses are the main thread's wait,
// so Ctrl-C ends them at once.
Target find_modem_waiting(ConversationLoop& loop, profile::Profile& profile,
                          const Options& options) {
    constexpr int FIRST_PAUSE_MS = 10;
    constexpr int LONGEST_PAUSE_MS = 250;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::seconds(options.wait_seconds);
    DeviceWatch watch(options.ports);
    PortSearch search;
    int pause = FIRST_PAUSE_MS;
    for (;;) {
        const unsigned looks = search.looks_made;
        const Clock::time_point tried = Clock::now();
        try {
            return find_modem(loop, profile, options, search, until);
        } catch (const Failure& failure) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if ((failure.exit != EXIT_PORT && failure.exit != EXIT_NO_MODEM) || left.count() <= 0) {
                if (options.wait_seconds == 0) {
                    throw;
                }
                Failure waited(failure.exit,
                               failure.what() + std::string(" (waited ") +
                                   std::to_string(options.wait_seconds) + " s)",
                               failure.step, failure.port);
                waited.holder = failure.holder;
                throw waited;
            }
            // A busy port whose look took long (a user holding many
            // descriptors) is looked at again only after four times as
            // long, so the wait spends most of its time asleep.
            const bool looked = search.looks_made != looks;
            const long long took =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - tried).count();
            const int milliseconds = static_cast<int>(std::min<long long>(
                left.count(),
                std::max<long long>(pause, looked && failure.exit == EXIT_PORT ? 4 * took : 0)));
            const bool appeared = !looked && watch.wait(loop, milliseconds);
            if (looked) {
                loop.pause(milliseconds);
            }
            pause = appeared ? FIRST_PAUSE_MS : std::min(pause * 2, LONGEST_PAUSE_MS);
        }
    }
}

// The ATi5 code decides, not the modem's note: a modem can keep its note
// and lose its country.
int reapply(ConversationLoop& loop, profile::Profile& profile, const Options& options,
            Report& report) {
    const Choice choice = saved_entry(profile);
    Target target = find_modem_waiting(loop, profile, options);
    return apply(profile, options, report, choice, target);
}

int dispatch(ConversationLoop& loop, profile::Profile& profile, const Options& options,
             Report& report) {
    if (options.command == "countries") {
        report.countries(profile_entries(profile));
        return EXIT_DONE;
    }
    if (options.command == "scan") {
        return scan(loop, profile, options, report);
    }
    if (options.command == "show") {
        return show(loop, profile, options, report);
    }
    if (options.command == "set") {
        return set(loop, profile, options, report);
    }
    return reapply(loop, profile, options, report);
}

} // namespace

int run_command(const Options& options) {
    Report report(options.json, options.check);
    profile::Profile profile;
    profile.writer.lock_pause = pause_for_lock;
    int exit;
    try {
        use_profile(profile, options.profile);
        if (options.check) {
            // Every profile write goes nowhere: not the choice, nor an
            // unknown code's entry.
            profile.writer.write_target = profile::drop_writes;
        }
        ConversationLoop loop;
        loop.log_traffic(options.verbose);
        copy_text(loop.talk().vendor_name, TEXT_VENDOR);
        exit = dispatch(loop, profile, options, report);
    } catch (Failure& failure) {
        // A named port is the one a show, set or reapply failed on.
        if (failure.port.empty() && options.ports.size() == 1 && options.command != "scan") {
            failure.port = options.ports.front();
        }
        report.failure(failure);
        exit = failure.exit;
    } catch (const Interrupted& interrupted) {
        // A command given one port was interrupted on it.
        const std::string port = !interrupted.port.empty() || options.ports.size() != 1
                                     ? interrupted.port
                                     : options.ports.front();
        if (interrupted.signal_number != BROKEN_PIPE) {
            report.interrupted(interrupted.signal_number, port);
        }
        exit = interrupted_exit(interrupted.signal_number);
    }
    flush_output();
    return output_lost() ? interrupted_exit(BROKEN_PIPE) : exit;
}

} // namespace cli
