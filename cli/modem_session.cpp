#include "cli/modem_session.h"

#include "cli/failure.h"
#include "cli/json_text.h"
#include "common/text.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/notifications.h"
#include "profile/country_lists.h"
#include "profile/profile_file.h"
#include "profile/gci_answers.h"
#include "profile/present_country.h"
#include "profile/profile_values.h"
#include "profile/saved_choice.h"

#include <cstdio>
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

// The command last written, as a user would type it: "ATz", "AT*ncB4".
std::string last_step() {
    std::string step = modem::command_text;
    while (!step.empty() && (step.front() == '\r' || step.front() == '\n')) {
        step.erase(0, 1);
    }
    while (!step.empty() && (step.back() == '\r' || step.back() == '\n')) {
        step.pop_back();
    }
    return step;
}

unsigned deadline_of(uint32_t word) {
    const modem::CommandRow* row = modem::dialog_conversation().find_command(word);
    return row != nullptr ? row->deadline_ms : 0;
}

// Why the saved choice could not be written, naming the profile once.
std::string save_failure() {
    const std::string path = profile::profile_path;
    std::string why = profile::write_failure();
    if (why.compare(0, path.size() + 2, path + ": ") == 0) {
        why.erase(0, path.size() + 2);
    }
    return "the choice could not be saved in " + path + ": " +
           (why.empty() ? "the profile could not be written" : why);
}

Country unknown_country(const std::string& code) {
    return {"", "Unknown Country - " + code, code};
}

void read_present_country(ModemRead& modem) {
    modem.i5 = modem::i5_code;
    profile::PresentEntry found;
    if (profile::find_present_entry(found)) {
        modem.has_country = true;
        modem.country = {found.key, found.entry.name, found.entry.code};
    } else {
        modem.has_country = !modem.i5.empty();
        modem.country = unknown_country(modem.i5);
    }
}

// Read as the dialog reads it: one country ("B5)") is a list too, and "()"
// is a list of none.
void read_supported(bool listed, ModemRead& modem) {
    modem.supported.clear();
    const profile::ListAnswer answer = listed
                                           ? profile::judge_list_answer(modem::country_list_reply)
                                           : profile::ListAnswer::not_a_list;
    if (answer != profile::ListAnswer::items) {
        return;
    }
    std::string list = modem::country_list_reply;
    if (modem.gci && list.find('-') != std::string::npos) {
        // "00-FF)": every profile country whose key falls in a range.
        list = profile::expand_gci_ranges(list, profile::profile_keys);
    }
    profile::CCTestMembers(list.data());
    for (int i = 0; i < profile::supported_count; ++i) {
        const profile::SupportedItem& item = profile::supported_items[i];
        modem.supported.push_back({item.key, profile::supported_entries[i], item.code});
    }
}

} // namespace

ModemSession::ModemSession(ConversationLoop& loop, bool any_modem)
    : loop_(loop), any_modem_(any_modem) {
    modem::dialog_conversation().own_rows = standard_rows;
    modem::dialog_conversation().own_row_count = std::size(standard_rows);
}

Ending ModemSession::converse(uint32_t word) {
    return loop_.converse(word);
}

void ModemSession::fail(const Ending& ending) {
    const std::string step = last_step();
    const std::string why = loop_.take_failure();
    std::string message;
    if (!ending.notified) {
        message =
            "no answer to " + step + " within " + std::to_string(deadline_of(ending.word)) + " ms";
    } else {
        message = step + " failed" + (why.empty() ? "" : ": " + why);
    }
    throw Failure(EXIT_MODEM, message, step);
}

Probe ModemSession::probe(std::string& ident) {
    modem::answered_ident[0] = '\0';
    modem::retry_count = 0;
    const Ending ending = converse(wake_then(CMD_IDENTIFY));
    ident.clear();
    if (!ending.notified) {
        // Silence at the wake-up: nothing there. Silence at ATV1i3: something
        // answered, but gave no identification.
        return ending.silent_port ? Probe::silent : Probe::rejected;
    }
    if (command_code(ending.word) != CMD_IDENTIFY) {
        return Probe::rejected; // it refused the wake-up
    }
    if (ending.value != 0) {
        ident = modem::modem_ident;
        return Probe::modem;
    }
    ident = modem::answered_ident;
    if (any_modem_) {
        copy_text(modem::modem_ident, modem::answered_ident);
        return Probe::standard;
    }
    return Probe::rejected;
}

void ModemSession::read(ModemRead& modem) {
    modem::retry_count = 0;
    Ending ending = converse(wake_then(CMD_LIST_NC));
    if (!ending.notified || (ending.id != CMD_LIST_NC && ending.id != CMD_LIST_GCI)) {
        fail(ending);
    }
    // An AT*nc? refused with ERROR has gone on to AT+GCI=? already.
    if (ending.id == CMD_LIST_NC &&
        (modem.standard_only || profile::judge_list_answer(modem::country_list_reply) ==
                                    profile::ListAnswer::not_a_list)) {
        ending = converse(wake_then(CMD_LIST_GCI));
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
    modem.gci = modem::use_gci != 0;
    read_supported(ending.value != 0, modem);
    take_present_code(converse(wake_then(CMD_READ_I5)), modem);
    // A refused ATi9 only means there is no note.
    ending = converse(CMD_READ_I9);
    if (!ending.notified || ending.id != NOTIFY_DISCONNECT) {
        fail(ending);
    }
    read_present_country(modem);
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
    const std::string_view code = profile::gci_present_code(modem::front_end_answer);
    copy_text_n(modem::i5_code, sizeof modem::i5_code, code.data(), code.size());
}

std::string ModemSession::code_for(const Choice& choice, const ModemRead& modem) {
    return modem.gci ? choice.key : choice.code;
}

bool ModemSession::apply(const Choice& choice, bool force, ModemRead& modem) {
    const std::string code = code_for(choice, modem);
    const bool changed = force || !equal_ignoring_case(modem.i5.c_str(), code.c_str());
    if (changed) {
        copy_text(modem::code_to_send, code.c_str());
        modem::retry_count = 0;
        take_present_code(converse(wake_then(CMD_SET_COUNTRY)), modem);
        modem.i5 = modem::i5_code;
        if (!equal_ignoring_case(modem.i5.c_str(), code.c_str())) {
            throw Failure(EXIT_MODEM,
                          "the modem reads back " +
                              (modem.i5.empty() ? "nothing" : utf8_from_1252(modem.i5)) +
                              " after " + code + " was sent",
                          last_step());
        }
    }
    // The note is still written when the choice cannot be saved: the modem
    // is set by now, and the failure is reported once the modem is done.
    const std::string unsaved = profile::save_choice(choice.key.c_str()) == 1 ? "" : save_failure();
    if (changed && !modem.gci && !profile::note_names_key(choice.key.c_str())) {
        loop_.take_failure();
        profile::start_note_write(choice.key.c_str());
        const Ending ending = loop_.wait();
        if (!ending.notified || ending.id != NOTIFY_DISCONNECT || ending.value == 0) {
            fail(ending);
        }
    }
    if (!unsaved.empty()) {
        throw Failure(EXIT_PROFILE, unsaved);
    }
    modem.has_country = true;
    modem.country = {choice.key, choice.name, choice.code};
    return changed;
}

} // namespace cli
