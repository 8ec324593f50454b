// One modem on one port, worked through the same procedures as the
// dialog's: the read of its countries and its present setting, and the
// apply; what they answer becomes the command line's results and failures.
// Portable; the port itself is the caller's PortClaim.
#pragma once

#include "cli/conversation_loop.h"
#include "procedures/procedures.h"

#include <string>
#include <vector>

namespace cli {

// A country as the command line reports it.
struct Country {
    std::string key; // the profile key; "" when no entry has the code
    std::string name;
    std::string code; // the entry's code, or the modem's own for an unknown one
};

// A device that answers but fails the identification test is `rejected`,
// or, when --any-modem allows it, `standard`: taken as an AT+GCI modem.
using Probe = procedures::Found;

struct ModemRead {
    std::string ident;
    // The dialect it speaks, known once it is read.
    const modem::Dialect* dialect = &modem::nc_dialect();
    // Taken by --any-modem although it failed the identification test: it
    // is read as an AT+GCI modem or not at all.
    bool standard_only = false;
    std::vector<Country> supported;
    bool has_country = false; // the modem gave a present code
    Country country;          // the present country, as the dialog finds it
    std::string i5;           // the modem's present code as it answered ATi5
    // The present country is not the one the modem's code names: its note,
    // or the saved choice, named another. `by_i5` is the country the code
    // alone names, which decides whether a country is sent again; its code
    // is empty when the modem gave none.
    bool i5_differs = false;
    Country by_i5;
};

// The profile entry to apply, found by key.
struct Choice {
    std::string key;
    std::string name;
    std::string code; // the entry's code
};

// What an apply changes, or under --check would change.
using Outcome = procedures::Plan;

// The read and the apply of one modem (procedures/procedures.h) run on the
// loop, over the run's profile, their answers turned into what the command
// line reports. The probe runs on many ports at once (cli/port_probes.h).
class ModemSession {
  public:
    ModemSession(ConversationLoop& loop, profile::Profile& profile);

    // The read, then the present entry as the dialog decides it. Throws
    // Failure(EXIT_MODEM), or Failure(EXIT_NO_MODEM) for a standard-only
    // device that refuses AT+GCI=?.
    void read(ModemRead& modem);

    // Applies `choice` unless the modem's ATi5 code is already its code
    // (`force` applies regardless), and records it as the saved choice. A
    // note that names another entry is rewritten even when the code is the
    // choice's: the next read would take the note's entry.
    // With `check` it decides the same and stops there: nothing is sent and
    // nothing saved, and `modem` tells the country it would be set to.
    // Throws Failure(EXIT_MODEM).
    Outcome apply(const Choice& choice, bool force, bool check, ModemRead& modem);

  private:
    // Runs the procedure's conversations until it answers done or failed;
    // `last` gets the ending that led there.
    template <class Procedure>
    procedures::Answer run(Procedure& procedure, procedures::Answer answer, Ending& last);

    ConversationLoop& loop_;
    modem::Conversation& talk_;
    profile::Profile& profile_;
};

} // namespace cli
