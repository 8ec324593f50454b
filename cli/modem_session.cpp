#include "cli/modem_session.h"

#include "cli/failure.h"
#include "cli/json_text.h"
#include "common/text.h"
#include "procedures/procedures.h"
#include "profile/country_lists.h"

#include <memory>

namespace cli {
namespace {

Country country_of(const profile::PresentEntry& found) {
    return {found.key, found.entry.name, found.entry.code};
}

Country unknown_country(const std::string& code) {
    return {"", profile::unknown_country_name(code.c_str()), code};
}

// The present country by the dialog's rules, and, when the modem's code
// names another, that one too: a send is decided on the code.
void read_present_country(profile::Profile& profile, const modem::Conversation& talk,
                          ModemRead& modem) {
    modem.i5 = talk.i5_code;
    profile::PresentEntry found;
    const bool known = procedures::present_entry(profile, talk, found);
    modem.has_country = known || !modem.i5.empty();
    modem.country = known ? country_of(found) : unknown_country(modem.i5);
    const std::string sent =
        modem.dialect->sent(modem.country.key.c_str(), modem.country.code.c_str());
    modem.i5_differs = known && !equal_ignoring_case(sent.c_str(), modem.i5.c_str());
    if (modem.i5_differs) {
        modem.by_i5 = modem.i5.empty()                               ? Country{}
                      : procedures::code_entry(profile, talk, found) ? country_of(found)
                                                                     : unknown_country(modem.i5);
    }
}

// Read as the dialog reads it: one country ("B5)") is a list too, and "()"
// is a list of none.
void read_supported(profile::ListAnswer list, const profile::CountryList& countries,
                    ModemRead& modem) {
    modem.supported.clear();
    if (list != profile::ListAnswer::items) {
        return;
    }
    for (int i = 0; i < countries.supported_count; ++i) {
        const profile::SupportedItem& item = countries.supported_items[i];
        modem.supported.push_back({item.key, countries.supported_entries[i], item.code});
    }
}

} // namespace

ModemSession::ModemSession(ConversationLoop& loop, profile::Profile& profile)
    : loop_(loop), talk_(loop.talk()), profile_(profile) {}

template <class Procedure>
procedures::Answer ModemSession::run(Procedure& procedure, procedures::Answer answer,
                                     Ending& last) {
    while (answer.kind == procedures::Answer::Kind::converse) {
        last = loop_.converse(answer.word);
        answer = procedure.on_event(talk_, last);
    }
    return answer;
}

void ModemSession::read(ModemRead& modem) {
    char list[modem::LIST_REPLY_SIZE];
    const auto countries = std::make_unique<profile::CountryList>(); // too big for a stack
    procedures::Read reading(procedures::COMMAND_LINE, profile_, list, sizeof list, *countries);
    Ending last;
    const procedures::Answer answer = run(reading, reading.start(talk_, modem.standard_only), last);
    if (answer.kind == procedures::Answer::Kind::failed) {
        cli::fail(answer.failure);
    }
    modem.dialect = talk_.dialect;
    read_supported(reading.list(), *countries, modem);
    read_present_country(profile_, talk_, modem);
}

Outcome ModemSession::apply(const Choice& choice, bool force, bool check, ModemRead& modem) {
    if (::Failure failed =
            procedures::choose_code(talk_, choice.key.c_str(), choice.code.c_str())) {
        failed.text = "the entry " + utf8_from_1252(choice.name) + " [" +
                      utf8_from_1252(choice.key) + "]: " + failed.text;
        cli::fail(failed);
    }
    const Outcome outcome = procedures::plan_apply(profile_, talk_, choice.key.c_str(), force);
    if (check) {
        modem.has_country = true;
        modem.country = {choice.key, choice.name, choice.code};
        modem.i5_differs = false;
        return outcome;
    }
    // The note is still written when the choice cannot be saved: the modem
    // is set by now, and the failure is reported once the modem is done.
    procedures::Apply applying(procedures::COMMAND_LINE, profile_);
    Ending last;
    const procedures::Answer answer =
        run(applying,
            applying.start(talk_, choice.key.c_str(), outcome.sets_modem,
                           outcome.sets_modem || outcome.rewrites_note),
            last);
    if (outcome.sets_modem) {
        modem.i5 = talk_.i5_code;
    }
    if (answer.kind == procedures::Answer::Kind::failed) {
        cli::fail(answer.failure);
    }
    if (applying.save_failure()) {
        cli::fail(applying.save_failure(), profile_.profile_path); // after the note
    }
    modem.has_country = true;
    modem.country = {choice.key, choice.name, choice.code};
    modem.i5_differs = false;
    return outcome;
}

} // namespace cli
