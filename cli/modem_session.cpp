#include "cli/modem_session.h"

#include "cli/failure.h"
#include "cli/json_text.h"
#include "common/text.h"
#include "modem/command_table.h"
#include "modem/notifications.h"
#include "procedures/procedures.h"
#include "profile/country_lists.h"
#include "profile/gci_answers.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "profile/saved_choice.h"

#include <iterator>

namespace cli {
namespace {

// The standard query of the present country, "+GCI: B5", for AT+GCI modems
// that refuse ATi5. The dialog never sends it, so it is the command line's
// own command, beside the dialog's table.
constexpr uint32_t CMD_READ_GCI = 43;
constexpr modem::CommandRow standard_rows[] = {
    {CMD_READ_GCI, "AT+GCI?\r", nullptr, modem::Fill::none, 1000},
};

// The conversation that ended with ATi5 refused.
bool refused_i5(const Ending& ending) {
    return ending.notified && ending.id == NOTIFY_DISCONNECT &&
           command_code(ending.word) == CMD_READ_I5;
}

Country country_of(const profile::PresentEntry& found) {
    return {found.key, found.entry.name, found.entry.code};
}

Country unknown_country(const std::string& code) {
    return {"", profile::unknown_country_name(code.c_str()), code};
}

// The present country by the dialog's rules, and, when the modem's code
// names another, that one too: a send is decided on the code.
void read_present_country(const modem::Conversation& talk, ModemRead& modem) {
    modem.i5 = talk.i5_code;
    profile::PresentEntry found;
    const bool known = procedures::present_entry(talk, found);
    modem.has_country = known || !modem.i5.empty();
    modem.country = known ? country_of(found) : unknown_country(modem.i5);
    const std::string sent = modem.gci ? modem.country.key : modem.country.code;
    modem.i5_differs = known && !equal_ignoring_case(sent.c_str(), modem.i5.c_str());
    if (modem.i5_differs) {
        modem.by_i5 = modem.i5.empty()                      ? Country{}
                      : procedures::code_entry(talk, found) ? country_of(found)
                                                            : unknown_country(modem.i5);
    }
}

// Read as the dialog reads it: one country ("B5)") is a list too, and "()"
// is a list of none.
void read_supported(const modem::Conversation& talk, bool listed, ModemRead& modem) {
    modem.supported.clear();
    char list[modem::LIST_REPLY_SIZE];
    if (procedures::take_list(talk, listed, procedures::COMMAND_LINE, list, sizeof list) !=
        profile::ListAnswer::items) {
        return;
    }
    for (int i = 0; i < profile::supported_count; ++i) {
        const profile::SupportedItem& item = profile::supported_items[i];
        modem.supported.push_back({item.key, profile::supported_entries[i], item.code});
    }
}

} // namespace

ModemSession::ModemSession(ConversationLoop& loop, bool any_modem)
    : loop_(loop), talk_(loop.talk()), any_modem_(any_modem) {
    talk_.own_rows = standard_rows;
    talk_.own_row_count = std::size(standard_rows);
}

Ending ModemSession::converse(uint32_t word) {
    return loop_.converse(word);
}

// An ending that came with no failure of its own (an answer that was not
// the one awaited) fails as a refusal of the command outstanding.
void ModemSession::fail(const Ending& ending) {
    cli::fail(ending.failure ? ending.failure : talk_.failure(Kind::modem_reply, ""));
}

void ModemSession::start_probe() {
    procedures::start_probe(talk_);
}

Probe ModemSession::probe_result(const Ending& ending, std::string& ident) {
    ident.clear();
    switch (
        procedures::probe_result(ending.notified, ending.word, ending.value, ending.silent_port)) {
    case procedures::Probe::silent:
        return Probe::silent;
    case procedures::Probe::modem:
        ident = talk_.modem_ident;
        return Probe::modem;
    case procedures::Probe::rejected:
        break;
    }
    // A device that refused the wake-up or stayed silent at ATV1i3 gave no
    // identification to take.
    if (!ending.notified || command_code(ending.word) != CMD_IDENTIFY) {
        return Probe::rejected;
    }
    ident = talk_.answered_ident;
    if (any_modem_) {
        copy_text(talk_.modem_ident, talk_.answered_ident);
        return Probe::standard;
    }
    return Probe::rejected;
}

void ModemSession::read(ModemRead& modem) {
    procedures::start_read(talk_);
    Ending ending = loop_.wait();
    if (!ending.notified || (ending.id != CMD_LIST_NC && ending.id != CMD_LIST_GCI)) {
        fail(ending);
    }
    if (procedures::wants_standard_list(talk_, ending.id, procedures::COMMAND_LINE,
                                        modem.standard_only)) {
        procedures::start_standard_list(talk_);
        ending = loop_.wait();
        if (!ending.notified || ending.id != CMD_LIST_GCI) {
            fail(ending);
        }
    }
    if (modem.standard_only && ending.value == 0) {
        throw Failure(EXIT_NO_MODEM,
                      "the device refuses AT+GCI=?: --any-modem takes only modems of the "
                      "standard AT+GCI kind",
                      "AT+GCI=?");
    }
    modem.gci = talk_.use_gci != 0;
    read_supported(talk_, ending.value != 0, modem);
    procedures::read_present_code(talk_);
    take_present_code(loop_.wait(), modem);
    // A refused ATi9 only means there is no note.
    procedures::read_note(talk_);
    ending = loop_.wait();
    if (!ending.notified || ending.id != NOTIFY_DISCONNECT) {
        fail(ending);
    }
    read_present_country(talk_, modem);
}

void ModemSession::take_present_code(const Ending& ending, const ModemRead& modem) {
    if (ending.notified && ending.id == NOTIFY_I5_READ) {
        return;
    }
    if (!modem.gci || !refused_i5(ending)) {
        fail(ending);
    }
    const Ending asked = converse(wake_then(CMD_READ_GCI));
    if (!asked.notified || asked.id != CMD_READ_GCI || asked.value == 0) {
        fail(asked);
    }
    // An answer that names no code leaves the present country unknown.
    const std::string_view code = profile::gci_present_code(talk_.front_end_answer);
    copy_text_n(talk_.i5_code, sizeof talk_.i5_code, code.data(), code.size());
}

Outcome ModemSession::apply(const Choice& choice, bool force, bool check, ModemRead& modem) {
    if (::Failure failed =
            procedures::choose_code(talk_, choice.key.c_str(), choice.code.c_str())) {
        failed.text = "the entry " + utf8_from_1252(choice.name) + " [" +
                      utf8_from_1252(choice.key) + "]: " + failed.text;
        cli::fail(failed);
    }
    const std::string code = talk_.code_to_send;
    Outcome outcome;
    outcome.sets_modem = force || !equal_ignoring_case(modem.i5.c_str(), code.c_str());
    outcome.rewrites_note = procedures::note_names_other_entry(talk_, choice.key.c_str());
    // Saving rewrites the profile only when the key differs as it is spelt.
    char saved[profile::SAVED_CHOICE_SIZE];
    profile::read_saved_choice(saved, sizeof saved);
    outcome.saves_choice = choice.key != saved;
    if (check) {
        modem.has_country = true;
        modem.country = {choice.key, choice.name, choice.code};
        modem.i5_differs = false;
        return outcome;
    }
    if (outcome.sets_modem) {
        procedures::start_apply(talk_);
        take_present_code(loop_.wait(), modem);
        modem.i5 = talk_.i5_code;
        if (!equal_ignoring_case(modem.i5.c_str(), code.c_str())) {
            throw Failure(EXIT_MODEM,
                          "the modem reads back " +
                              (modem.i5.empty() ? "nothing" : utf8_from_1252(modem.i5)) +
                              " after " + code + " was sent",
                          talk_.step());
        }
    }
    // The note is still written when the choice cannot be saved: the modem
    // is set by now, and the failure is reported once the modem is done.
    const procedures::Finish finish =
        procedures::finish_apply(talk_, choice.key.c_str(), procedures::COMMAND_LINE,
                                 outcome.sets_modem || outcome.rewrites_note);
    if (finish.end == procedures::ApplyEnd::abandoned) {
        cli::fail(finish.failure);
    }
    if (finish.end == procedures::ApplyEnd::writing_note) {
        const Ending ending = loop_.wait();
        if (!ending.notified || ending.id != NOTIFY_DISCONNECT || ending.value == 0) {
            fail(ending);
        }
    }
    if (finish.failure) {
        cli::fail(finish.failure); // the choice was not saved
    }
    modem.has_country = true;
    modem.country = {choice.key, choice.name, choice.code};
    modem.i5_differs = false;
    return outcome;
}

} // namespace cli
