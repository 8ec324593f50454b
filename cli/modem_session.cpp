#include "cli/modem_session.h"

#include "cli/failure.h"
#include "common/text.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/notifications.h"
#include "profile/country_lists.h"
#include "profile/present_country.h"
#include "profile/profile_values.h"
#include "profile/saved_choice.h"

#include <cstdio>

namespace cli {
namespace {

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
    const modem::CommandRow* row = modem::find_command(word);
    return row != nullptr ? row->deadline_ms : 0;
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
    profile::CCTestMembers(list.data());
    for (int i = 0; i < profile::supported_count; ++i) {
        const profile::SupportedItem& item = profile::supported_items[i];
        modem.supported.push_back({item.key, profile::supported_entries[i], item.code});
    }
}

} // namespace

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
    return Probe::rejected;
}

void ModemSession::read(ModemRead& modem) {
    modem::retry_count = 0;
    Ending ending = converse(wake_then(CMD_LIST_NC));
    if (!ending.notified || (ending.id != CMD_LIST_NC && ending.id != CMD_LIST_GCI)) {
        fail(ending);
    }
    modem.gci = modem::use_gci != 0;
    read_supported(ending.value != 0, modem);
    ending = converse(wake_then(CMD_READ_I5));
    if (!ending.notified || ending.id != NOTIFY_I5_READ) {
        fail(ending);
    }
    // A refused ATi9 only means there is no note.
    ending = converse(CMD_READ_I9);
    if (!ending.notified || ending.id != NOTIFY_DISCONNECT) {
        fail(ending);
    }
    read_present_country(modem);
}

std::string ModemSession::code_for(const Choice& choice, const ModemRead& modem) {
    return modem.gci ? choice.key : choice.code;
}

bool ModemSession::apply(const Choice& choice, bool force, ModemRead& modem) {
    const std::string code = code_for(choice, modem);
    const bool changed = force || !equal_ignoring_case(modem.i5.c_str(), code.c_str());
    if (changed) {
        copy_text(profile::code_to_send, code.c_str());
        modem::retry_count = 0;
        const Ending ending = converse(wake_then(CMD_SET_COUNTRY));
        if (!ending.notified || ending.id != NOTIFY_I5_READ) {
            fail(ending);
        }
        modem.i5 = modem::i5_code;
        if (!equal_ignoring_case(modem.i5.c_str(), code.c_str())) {
            throw Failure(EXIT_MODEM,
                          "the modem reads back " + (modem.i5.empty() ? "nothing" : modem.i5) +
                              " after " + code + " was sent",
                          "ATi5");
        }
    }
    if (profile::save_choice(choice.key.c_str()) != 1) {
        std::fprintf(stderr, "tarvelle-cli: the choice could not be saved in %s\n",
                     profile::profile_path);
    }
    if (changed && !modem.gci && !profile::note_names_key(choice.key.c_str())) {
        loop_.take_failure();
        profile::start_note_write(choice.key.c_str());
        const Ending ending = loop_.wait();
        if (!ending.notified || ending.id != NOTIFY_DISCONNECT || ending.value == 0) {
            fail(ending);
        }
    }
    modem.has_country = true;
    modem.country = {choice.key, choice.name, choice.code};
    return changed;
}

} // namespace cli
