#include "procedures/procedures.h"

#include "common/text.h"
#include "common/trace.h"
#include "profile/gci_answers.h"
#include "profile/lookups.h"
#include "profile/profile_values.h"
#include "profile/saved_choice.h"
#include "serial/port_session.h"

#include <chrono>
#include <cstring>
#include <string>

namespace procedures {
namespace {

// Saves the choice and traces how long that took, which syncs a file: a
// timing of the apply's steps tells the file's share from the program's.
Failure timed_save(const char* key) {
    const auto started = std::chrono::steady_clock::now();
    Failure saved = profile::save_choice(key);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    tracef("CC choice saved in %lld us\n", static_cast<long long>(took.count()));
    return saved;
}

} // namespace

void start_probe(modem::Conversation& talk) {
    talk.answered_ident[0] = '\0';
    talk.retry_count = 0;
    talk.send(wake_then(CMD_IDENTIFY));
}

Probe probe_result(bool notified, uint32_t word, intptr_t accepted, bool silent_port) {
    if (!notified) {
        // Silence at the wake-up: nothing there. Silence at ATV1i3: something
        // answered, but gave no identification.
        return silent_port ? Probe::silent : Probe::rejected;
    }
    // A refused wake-up ends before ATV1i3; an identification that fails the
    // test comes back with 0 in place of the accepted text.
    return command_code(word) == CMD_IDENTIFY && accepted != 0 ? Probe::modem : Probe::rejected;
}

bool identify_deadline(modem::Conversation& talk, unsigned sequence) {
    if (!talk.claim_expired(sequence)) {
        return false;
    }
    port_close(talk.session());
    return true;
}

void start_read(modem::Conversation& talk) {
    talk.retry_count = 0;
    talk.send(wake_then(CMD_LIST_NC));
}

bool wants_standard_list(const modem::Conversation& talk, unsigned id, const Options& options,
                         bool standard_only) {
    // An AT*nc? refused with ERROR has gone on to AT+GCI=? already.
    return options.second_list_query && id == CMD_LIST_NC &&
           (standard_only ||
            profile::judge_list_answer(talk.country_list_reply) == profile::ListAnswer::not_a_list);
}

void start_standard_list(modem::Conversation& talk) {
    talk.send(wake_then(CMD_LIST_GCI));
}

profile::ListAnswer take_list(const modem::Conversation& talk, bool listed, const Options& options,
                              char* working_copy, size_t size) {
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
    const bool gci = talk.use_gci != 0;
    if (options.expand_ranges && gci && std::strchr(working_copy, '-') != nullptr) {
        // "00-FF)": every profile country whose key falls in a range.
        std::string expanded = profile::expand_gci_ranges(working_copy, profile::profile_keys);
        profile::CCTestMembers(expanded.data(), gci);
    } else {
        profile::CCTestMembers(working_copy, gci);
    }
    return answer;
}

void read_present_code(modem::Conversation& talk) {
    talk.send(wake_then(CMD_READ_I5));
}

void read_note(modem::Conversation& talk) {
    talk.send(CMD_READ_I9);
}

bool present_entry(const modem::Conversation& talk, profile::PresentEntry& found) {
    return profile::find_present_entry(talk.i5_code, talk.i9_text, talk.use_gci != 0, found);
}

bool code_entry(const modem::Conversation& talk, profile::PresentEntry& found) {
    return profile::find_code_entry(talk.i5_code, talk.use_gci != 0, found);
}

Failure choose_code(modem::Conversation& talk, const char* key, const char* code) {
    // What is sent must be letters and digits: anything else could end the
    // command and start another, such as a dial. An AT*nc modem is sent the
    // entry's code, and its key goes into the note; an AT+GCI modem is sent
    // the key alone, so its entry may have any code, or none. A key longer
    // than the note and the code field hold would be sent cut, naming some
    // other country; the profile's walks never stop on one.
    const bool gci = talk.use_gci != 0;
    if (!profile::is_sendable(key) || (!gci && !profile::is_sendable(code)) ||
        std::strlen(key) > profile::MAX_KEY_LENGTH) {
        return talk.failure(Kind::key_unusable, "its key or code cannot be sent to a modem");
    }
    copy_text(talk.code_to_send, gci ? key : code);
    return {};
}

bool note_names_other_entry(const modem::Conversation& talk, const char* key) {
    profile::CountryRecord named{};
    return talk.use_gci == 0 && !equal_ignoring_case(talk.i9_text, key) &&
           profile::read_entry(talk.i9_text, named) == 1;
}

void start_apply(modem::Conversation& talk) {
    talk.retry_count = 0;
    talk.send(wake_then(CMD_SET_COUNTRY));
}

Finish finish_apply(modem::Conversation& talk, const char* key, const Options& options,
                    bool write_note) {
    // No entry chosen, or a key too long for the modem's note: whatever the
    // modem was set to, it is not a choice the program can record.
    const size_t key_length = key != nullptr ? std::strlen(key) : 0;
    if (key_length == 0 || key_length > profile::MAX_KEY_LENGTH) {
        return {ApplyEnd::abandoned, talk.failure(Kind::key_unusable, "no usable key to record")};
    }
    const bool gci = talk.use_gci != 0;
    // The modem is set by now, so the choice is remembered first: a note
    // that then fails leaves it recorded. The note is written even when the
    // save fails.
    Failure saved;
    if (!gci || options.save_gci_choice) {
        saved = timed_save(key);
    }
    // An AT+GCI modem keeps no note; an AT*nc modem whose note names the
    // key has nothing to rewrite. Otherwise the note is cleared, then written
    // from i9_text when the clear is answered.
    const bool names_key = options.exact_note ? equal_ignoring_case(talk.i9_text, key)
                                              : std::strstr(talk.i9_text, key) != nullptr;
    const bool note = !gci && write_note && !names_key;
    if (note) {
        copy_text(talk.i9_text, key);
        talk.send(CMD_CLEAR_I9);
    }
    return {note ? ApplyEnd::writing_note : ApplyEnd::done, saved};
}

} // namespace procedures
