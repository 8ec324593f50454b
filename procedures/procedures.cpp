#include "procedures/procedures.h"

#include "common/text.h"
#include "common/trace.h"
#include "profile/lookups.h"
#include "modem/notifications.h"
#include "profile/saved_choice.h"
#include "serial/port_session.h"

#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

namespace procedures {
namespace {

// Saves the choice and traces how long that took, which syncs a file: a
// timing of the apply's steps tells the file's share from the program's.
Failure timed_save(profile::Profile& profile, const char* key) {
    const auto started = std::chrono::steady_clock::now();
    Failure saved = profile::save_choice(profile, key);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    tracef("CC choice saved in %lld us\n", static_cast<long long>(took.count()));
    return saved;
}

Answer converse(uint32_t word) {
    return {Answer::Kind::converse, word, {}, false};
}

Answer done() {
    return {Answer::Kind::done, 0, {}, false};
}

// The conversation's own failure when it reported one: the cause, which the
// dialog has shown already. Otherwise the procedure's, at the command it
// stopped at: a refusal, or the deadline's silence.
Answer failed(modem::Conversation& talk, const Event& event, Kind kind = Kind::modem_reply,
              const std::string& text = "") {
    if (kind == Kind::modem_reply && event.failure) {
        return {Answer::Kind::failed, event.word, event.failure, event.notified};
    }
    int milliseconds = 0;
    if (!event.notified && kind == Kind::modem_reply) {
        kind = Kind::reply_deadline;
        const modem::CommandRow* row = talk.find_command(event.word);
        milliseconds = row != nullptr ? static_cast<int>(row->deadline_ms) : 0;
    }
    return {Answer::Kind::failed, event.word, talk.failure(kind, text.c_str(), milliseconds),
            event.notified};
}
bool notified_as(const Event& event, unsigned id) {
    return event.notified && event.id == id;
}

// Every procedure starts from a clear retry count.
void prepare(modem::Conversation& talk) {
    talk.retry_count = 0;
}

// A modem that refused ATi5 may be asked its dialect's own present-code
// query instead (AT+GCI? of an AT+GCI modem).
bool asks_standard_code(const modem::Conversation& talk, const Options& options,
                        const Event& event) {
    return options.standard_code_query && talk.dialect->present_query != nullptr &&
           notified_as(event, NOTIFY_DISCONNECT) && command_code(event.word) == CMD_READ_I5;
}

// The dialect's present-code query goes as a command of the conversation's
// own, beside the table's: the dialog never sends one.
Answer ask_standard_code(modem::Conversation& talk) {
    talk.own_rows = talk.dialect->present_query;
    talk.own_row_count = 1;
    return converse(wake_then(talk.dialect->present_query->code));
}

// The query's code, in place of the ATi5 code; false when it was not
// answered. An answer that names no code leaves the present code empty.
bool take_standard_code(modem::Conversation& talk, const Event& event) {
    const modem::CommandRow* query = talk.dialect->present_query;
    if (query == nullptr || !notified_as(event, query->code) || event.value == 0) {
        return false;
    }
    const std::string_view code = talk.dialect->present_code(talk.front_end_answer);
    copy_text_n(talk.i5_code, sizeof talk.i5_code, code.data(), code.size());
    return true;
}

} // namespace

Answer Probe::start(modem::Conversation& talk) {
    talk.answered_ident[0] = '\0';
    talk.retry_count = 0;
    found_ = Found::silent;
    answered_ = false;
    return converse(wake_then(CMD_IDENTIFY));
}

Answer Probe::on_event(modem::Conversation& talk, const Event& event) {
    // Silence at the wake-up: nothing there. Silence at ATV1i3, or a refused
    // wake-up: something answered, but gave no identification. An
    // identification that fails the test comes back with 0 in place of the
    // accepted text.
    answered_ = event.notified && command_code(event.word) == CMD_IDENTIFY;
    if (!event.notified) {
        found_ = event.silent_port ? Found::silent : Found::rejected;
    } else if (answered_ && event.value != 0) {
        found_ = Found::modem;
    } else if (answered_ && any_modem_) {
        copy_text(talk.modem_ident, talk.answered_ident);
        found_ = Found::standard;
    } else {
        found_ = Found::rejected;
    }
    return done();
}

const char* Probe::ident(const modem::Conversation& talk) const {
    if (found_ == Found::modem || found_ == Found::standard) {
        return talk.modem_ident;
    }
    return answered_ ? talk.answered_ident : "";
}

bool identify_deadline(modem::Conversation& talk, unsigned sequence) {
    if (!talk.claim_expired(sequence)) {
        return false;
    }
    port_close(talk.port);
    return true;
}

Answer Read::start(modem::Conversation& talk, bool standard_only) {
    prepare(talk);
    standard_only_ = standard_only;
    took_list_ = false;
    list_ = profile::ListAnswer::not_a_list;
    stage_ = Stage::list;
    if (standard_only) {
        talk.speak(modem::standard_dialect());
        return converse(wake_then(talk.dialect->list_query.code));
    }
    return converse(wake_then(modem::first_dialect().list_query.code));
}

Answer Read::on_event(modem::Conversation& talk, const Event& event) {
    took_list_ = false;
    const Stage stage = stage_;
    stage_ = Stage::over;
    switch (stage) {
    case Stage::list:
        return on_list(talk, event, true);
    case Stage::standard_list:
        return on_list(talk, event, false);
    case Stage::present_code:
        return on_present_code(talk, event);
    case Stage::standard_code:
        if (!take_standard_code(talk, event)) {
            return failed(talk, event);
        }
        stage_ = Stage::note;
        return converse(CMD_READ_I9);
    case Stage::note:
        // A refused ATi9 only means there is no note.
        return notified_as(event, NOTIFY_DISCONNECT) ? done() : failed(talk, event);
    case Stage::over:
        break;
    }
    return failed(talk, event);
}

// A list query refused with ERROR has gone on to the next dialect's
// (AT*nc? to AT+GCI=?) by itself, in the same conversation. A bare OK to it
// lists nothing, so the next one is asked where the options say so.
Answer Read::on_list(modem::Conversation& talk, const Event& event, bool first) {
    const modem::Dialect* listing =
        event.notified ? modem::dialect_by_list_command(event.id) : nullptr;
    if (listing == nullptr || (!first && listing->refused_list_next != 0)) {
        return failed(talk, event);
    }
    if (listing->refused_list_next != 0 && options_.second_list_query &&
        profile::judge_list_answer(talk.country_list_reply) == profile::ListAnswer::not_a_list) {
        stage_ = Stage::standard_list;
        return converse(wake_then(listing->refused_list_next));
    }
    if (standard_only_ && event.value == 0) {
        return failed(talk, event, Kind::not_standard);
    }
    // With value 0 the modem lists its countries by neither query.
    list_ = take_list(profile_, talk, event.value != 0, options_, list_copy_, size_, countries_);
    took_list_ = true;
    stage_ = Stage::present_code;
    return converse(wake_then(CMD_READ_I5));
}

Answer Read::on_present_code(modem::Conversation& talk, const Event& event) {
    if (notified_as(event, NOTIFY_I5_READ)) {
        stage_ = Stage::note;
        return converse(CMD_READ_I9);
    }
    if (asks_standard_code(talk, options_, event)) {
        stage_ = Stage::standard_code;
        return ask_standard_code(talk);
    }
    return failed(talk, event);
}
profile::ListAnswer take_list(profile::Profile& profile, const modem::Conversation& talk,
                              bool listed, const Options& options, char* working_copy, size_t size,
                              profile::CountryList& countries) {
    using profile::ListAnswer;
    const ListAnswer answer =
        listed ? profile::judge_list_answer(talk.country_list_reply) : ListAnswer::not_a_list;
    if (answer == ListAnswer::not_a_list) {
        if (!listed) {
            working_copy[0] = '\0'; // nothing was listed
        }
        return answer; // the country list keeps its items
    }
    // A longer list is cut; the parser drops the item cut in the middle,
    // since no comma or ")" follows it. "()" is parsed as no text at all:
    // its "(" is no country.
    copy_text(working_copy, size, answer == ListAnswer::items ? talk.country_list_reply : "");
    const modem::Dialect& listing = *talk.dialect;
    const bool keys = listing.codes_are_keys;
    if (options.expand_ranges && listing.expand_ranges != nullptr &&
        std::strchr(working_copy, '-') != nullptr) {
        // "00-FF)": every profile country whose key falls in a range.
        std::string expanded = listing.expand_ranges(working_copy, profile.profile_keys);
        profile::CCTestMembers(profile, countries, expanded.data(), keys);
    } else {
        profile::CCTestMembers(profile, countries, working_copy, keys);
    }
    return answer;
}

bool present_entry(profile::Profile& profile, const modem::Conversation& talk,
                   profile::PresentEntry& found) {
    return profile::find_present_entry(profile, talk.i5_code, talk.i9_text,
                                       talk.dialect->codes_are_keys, found);
}

bool code_entry(profile::Profile& profile, const modem::Conversation& talk,
                profile::PresentEntry& found) {
    return profile::find_code_entry(profile, talk.i5_code, talk.dialect->codes_are_keys, found);
}

Unsendable sendable(const char* key, const char* code, const modem::Dialect& dialect) {
    // Anything but letters and digits could end the command and start
    // another, such as a dial. A modem whose codes are keys (AT+GCI) is sent
    // the key alone, so its entry may have any code, or none. A key longer than the note and
    // the code field hold would be sent cut, naming some other country; the
    // profile's walks never stop on one.
    if (!profile::is_sendable(key)) {
        return Unsendable::key;
    }
    if (!dialect.codes_are_keys && !profile::is_sendable(code)) {
        return Unsendable::code;
    }
    return usable_key(key) ? Unsendable::none : Unsendable::long_key;
}

bool usable_key(const char* key) {
    const size_t length = key != nullptr ? std::strlen(key) : 0;
    return length > 0 && length <= profile::MAX_KEY_LENGTH;
}

Failure choose_code(modem::Conversation& talk, const char* key, const char* code) {
    switch (sendable(key, code, *talk.dialect)) {
    case Unsendable::none:
        break;
    case Unsendable::key:
        return talk.failure(Kind::key_unusable, "its key is not letters and digits");
    case Unsendable::code:
        return talk.failure(Kind::key_unusable, "its code is not letters and digits");
    case Unsendable::long_key:
        return talk.failure(Kind::key_unusable, "its key is too long to send to a modem");
    }
    copy_text(talk.code_to_send, talk.dialect->sent(key, code));
    return {};
}

Plan plan_apply(const profile::Profile& profile, const modem::Conversation& talk, const char* key,
                bool force) {
    Plan plan;
    plan.sets_modem = force || !equal_ignoring_case(talk.i5_code, talk.code_to_send);
    char saved[profile::SAVED_CHOICE_SIZE];
    profile::read_saved_choice(profile, saved, sizeof saved);
    plan.saves_choice = std::strcmp(key, saved) != 0;
    profile::CountryRecord named{};
    plan.rewrites_note = talk.dialect->keeps_note && !equal_ignoring_case(talk.i9_text, key) &&
                         profile::read_entry(profile, talk.i9_text, named) == 1;
    return plan;
}

Answer Apply::start(modem::Conversation& talk, const char* key, bool send, bool write_note) {
    prepare(talk);
    key_ = key;
    write_note_ = write_note;
    save_failure_ = Failure{};
    if (!send) {
        stage_ = Stage::over;
        return finish(talk);
    }
    stage_ = Stage::set;
    return converse(wake_then(CMD_SET_COUNTRY));
}

Answer Apply::on_event(modem::Conversation& talk, const Event& event) {
    const Stage stage = stage_;
    stage_ = Stage::over;
    switch (stage) {
    case Stage::set:
        if (asks_standard_code(talk, options_, event)) {
            stage_ = Stage::standard_code;
            return ask_standard_code(talk);
        }
        if (!notified_as(event, NOTIFY_I5_READ)) {
            return failed(talk, event);
        }
        break;
    case Stage::standard_code:
        if (!take_standard_code(talk, event)) {
            return failed(talk, event);
        }
        break;
    case Stage::note:
        return notified_as(event, NOTIFY_DISCONNECT) && event.value != 0 ? done()
                                                                         : failed(talk, event);
    case Stage::over:
        return failed(talk, event);
    }
    if (options_.check_read_back && !equal_ignoring_case(talk.i5_code, talk.code_to_send)) {
        return failed(talk, event, Kind::read_back,
                      std::string("the modem reads back ") +
                          (talk.i5_code[0] != '\0' ? talk.i5_code : "nothing") + " after " +
                          talk.code_to_send + " was sent");
    }
    return finish(talk);
}

// After the read-back that ends the set-country conversation: checks the
// key, remembers the choice, then starts rewriting the note unless it names
// the key already.
Answer Apply::finish(modem::Conversation& talk) {
    // No entry chosen, or a key too long for the modem's note: whatever the
    // modem was set to, it is not a choice the program can record.
    if (!usable_key(key_)) {
        return {Answer::Kind::failed, talk.conversation_state.load(),
                talk.failure(Kind::key_unusable, "no usable key to record"), true};
    }
    const modem::Dialect& spoken = *talk.dialect;
    // The modem is set by now, so the choice is remembered first: a note
    // that then fails leaves it recorded. The note is written even when the
    // save fails.
    save_failure_ = Failure{};
    if (spoken.saving == modem::ChoiceSaving::always || options_.save_gci_choice) {
        save_failure_ = timed_save(profile_, key_);
    }
    // A modem that keeps no note (AT+GCI) has none to rewrite, nor has one
    // whose note names the key already. Otherwise the note is cleared, then written
    // from i9_text when the clear is answered.
    const bool names_key = options_.exact_note ? equal_ignoring_case(talk.i9_text, key_)
                                               : std::strstr(talk.i9_text, key_) != nullptr;
    if (!spoken.keeps_note || !write_note_ || names_key) {
        return done();
    }
    copy_text(talk.i9_text, key_);
    stage_ = Stage::note;
    return converse(CMD_CLEAR_I9);
}

} // namespace procedures
