// The three things a front end does with a modem, written once below both
// front ends: the probe (is it a modem of ours?), the read (its countries,
// its present code and note) and the apply (set a country, then record it).
// Each is a small state machine over whole conversations. A front end starts
// one, sends the word it answers with, and feeds it the event that ended
// that conversation (a notification, or the deadline giving up); the machine
// answers with the next conversation to start, done, or failed. The front end
// only presents: the order of the conversations and every decision in it are
// here. Nothing here knows a window or a console.
//
// The chains inside one conversation stay in the command table and the reply
// interpreter (modem/): the wake-up and its follow-up, the set command with
// ATz and ATi5, the note's clear and write, with their deadlines and boxes.
//
// Where the moved values and decisions live now:
// - code_to_send is the conversation's, set here by choose_code (an entry's
//   code for an AT*nc modem, its key for an AT+GCI one) and nowhere else;
//   what may be sent is judged by sendable, the key's length by usable_key;
// - the retry count is cleared here when a procedure starts, never by a
//   front end;
// - the list answer becomes the country list's items here (take_list), the
//   dialect handed to the profile's CCTestMembers as a parameter;
// - the modem's note (ATi9##, ATi9cc<key>#) is written from here: profile/
//   knows the file and the countries and sends no command;
// - the end of an apply (the key check, the saved choice, the note) is
//   decided here (Apply).
//
// The dialog's deliberate differences from the command line are named
// options (Options), so both front ends run the same code.
#pragma once

#include "common/failure.h"
#include "modem/command_table.h"
#include "modem/conversation.h"
#include "profile/country_lists.h"
#include "profile/present_country.h"

#include <cstddef>
#include <cstdint>

namespace procedures {

struct Options {
    // An AT+GCI list's ranges ("20-2F") stand for the profile's keys within them.
    bool expand_ranges;
    // A bare OK to AT*nc? lists nothing; AT+GCI=? is asked next.
    bool second_list_query;
    // The choice applied in a dialect that saves it only if asked
    // (ChoiceSaving::if_asked: AT+GCI) is remembered in the profile too.
    bool save_gci_choice;
    // The note names the key only when it is the key (in any letter case),
    // as the read takes it; otherwise a note that contains the key does.
    bool exact_note;
    // A modem that refuses ATi5 is asked its present code with its
    // dialect's own query, where it has one (AT+GCI? of an AT+GCI modem).
    bool standard_code_query;
    // After the set, the code ATi5 reads back must be the code sent.
    bool check_read_back;
};

// The dialog: no ranges, one list query, the choice remembered for AT*nc
// modems only, a note that contains the key left as it is, ATi5 the only
// present code, and whatever the modem reads back taken as set.
constexpr Options DIALOG{false, false, false, false, false, false};
// The command line: everything a standard modem may answer.
constexpr Options COMMAND_LINE{true, true, true, true, true, true};

// How a conversation handed control back to its front end.
struct Event {
    bool notified = false;    // a notification came; otherwise the deadline gave up
    unsigned id = 0;          // the notification's id (NOTIFY_*, CMD_LIST_*, an own command)
    intptr_t value = 0;       // and its value
    uint32_t word = 0;        // the state word then: its low byte is the command outstanding
    bool silent_port = false; // a probe's wake-up went unanswered twice
    // The first failure the conversation reported to its front end on its
    // way here (a refused command, a write the port refused, the deadline);
    // none when it reported none. A front end that keeps them hands it in.
    Failure failure;
};

struct Answer {
    enum class Kind { converse, done, failed };
    Kind kind = Kind::done;
    // converse: the word the front end sends next; failed: the state word
    // when it stopped.
    uint32_t word = 0;
    // failed: why, at the procedure's step. The conversation's own failure
    // when it reported one (the dialog has shown it already); otherwise the
    // procedure's: modem_reply (ended without the answer it was for),
    // reply_deadline, not_standard, read_back or key_unusable.
    Failure failure;
    // failed: it stopped at a notification (else the deadline gave up).
    bool notified = false;
};

// --- the probe ----------------------------------------------------------

// A device that answers but fails the identification test is `rejected`,
// or, when any device is taken, `standard`: an AT+GCI modem of another make.
enum class Found { modem, standard, rejected, silent };

class Probe {
  public:
    explicit Probe(bool any_modem = false) : any_modem_(any_modem) {}
    // Wakes the modem and asks its identification (ATV1i3).
    Answer start(modem::Conversation& talk);
    // Always done: the probe's verdict is then found().
    Answer on_event(modem::Conversation& talk, const Event& event);
    Found found() const { return found_; }
    // The identification line: the accepted one, or the one a device that
    // failed the test gave ("" when it gave none).
    const char* ident(const modem::Conversation& talk) const;

  private:
    bool any_modem_;
    Found found_ = Found::silent;
    bool answered_ = false;
};

// A probe's identification deadline ran out: the device answered the
// wake-up but not ATV1i3. Closes the port; false when the deadline was no
// longer pending (the verdict came first and goes on with the probe).
bool identify_deadline(modem::Conversation& talk, unsigned sequence);

// --- the read -----------------------------------------------------------

// The wake-up and AT*nc? (refused: AT+GCI=?), the wake-up and ATi5, then
// ATi9. The list answer is cut up in `list_copy` (`size` bytes) into
// `countries`, and looked up in `profile`; all three must outlive the read.
class Read {
  public:
    Read(const Options& options, profile::Profile& profile, char* list_copy, size_t size,
         profile::CountryList& countries)
        : options_(options), profile_(profile), list_copy_(list_copy), size_(size),
          countries_(countries) {}
    // `standard_only`: a device taken only as a standard modem, read as an
    // AT+GCI modem or not at all.
    Answer start(modem::Conversation& talk, bool standard_only = false);
    Answer on_event(modem::Conversation& talk, const Event& event);
    // True on the answer that follows the list's arrival: the items of the
    // country list given are then as list() says.
    bool took_list() const { return took_list_; }
    profile::ListAnswer list() const { return list_; }

  private:
    enum class Stage { list, standard_list, present_code, standard_code, note, over };
    Answer on_list(modem::Conversation& talk, const Event& event, bool first);
    Answer on_present_code(modem::Conversation& talk, const Event& event);

    const Options& options_;
    profile::Profile& profile_;
    char* list_copy_;
    size_t size_;
    profile::CountryList& countries_;
    bool standard_only_ = false;
    Stage stage_ = Stage::over;
    bool took_list_ = false;
    profile::ListAnswer list_ = profile::ListAnswer::not_a_list;
};

// Turns the list answer into the items of `countries`, unless `listed` is
// false (the modem lists by neither query) or the answer is no list at all;
// gives how it was taken. The answer is cut up in `working_copy` (`size`
// bytes); a longer answer is cut to what it holds.
profile::ListAnswer take_list(profile::Profile& profile, const modem::Conversation& talk,
                              bool listed, const Options& options, char* working_copy, size_t size,
                              profile::CountryList& countries);
// The modem's present entry, from what the read left behind.
bool present_entry(profile::Profile& profile, const modem::Conversation& talk,
                   profile::PresentEntry& found);
// The entry the modem's present code (ATi5) alone names.
bool code_entry(profile::Profile& profile, const modem::Conversation& talk,
                profile::PresentEntry& found);

// --- the apply ----------------------------------------------------------

// Why an entry cannot be sent: its key or its code holds anything but
// letters and digits, or its key is too long to send whole.
enum class Unsendable { none, key, code, long_key };
// What is sent must be letters and digits: for an AT*nc modem the code and
// the key (which goes into the note), for an AT+GCI modem the key alone
// (modem::Dialect::codes_are_keys).
Unsendable sendable(const char* key, const char* code, const modem::Dialect& dialect);
// A key the program can send and record: not empty, and no longer than the
// modem's note and the code field hold.
bool usable_key(const char* key);

// Puts into code_to_send what the set-country command sends for the entry
// (`key`, `code`): its code to an AT*nc modem, its key to an AT+GCI modem.
// Kind::key_unusable, with nothing set, when sendable refuses it.
Failure choose_code(modem::Conversation& talk, const char* key, const char* code);

// What an apply of `key` changes on a modem just read, code_to_send chosen.
struct Plan {
    // The set-country command is sent: the modem's present code (ATi5) is
    // not the one to send, or the caller sends it regardless.
    bool sets_modem = false;
    // The saved choice names another key (as it is spelt), or none.
    bool saves_choice = false;
    // The modem's note names another entry. The read takes the note's entry
    // before the modem's code, so such a note is rewritten even when the
    // code is already the entry's.
    bool rewrites_note = false;
    bool changed() const { return sets_modem || saves_choice || rewrites_note; }
};
// `force`: the set-country command is sent whatever the modem holds.
Plan plan_apply(const profile::Profile& profile, const modem::Conversation& talk, const char* key,
                bool force);

// The wake-up and the set command, then ATz and the read-back of ATi5 (one
// conversation); then the choice saved, and the note rewritten (ATi9##,
// then ATi9cc<key>#) unless it names the key already. The choice is saved
// before the note is touched, so a note that fails leaves it recorded.
// code_to_send is chosen (choose_code) before the start. The choice is
// saved in `profile`, which must outlive the apply.
class Apply {
  public:
    Apply(const Options& options, profile::Profile& profile)
        : options_(options), profile_(profile) {}
    // `key`: the chosen entry's key, which must outlive the apply; `send`:
    // the set-country command is sent (else only the end runs);
    // `write_note`: the note may be rewritten. The dialog sends and writes
    // always; the command line as its plan_apply says.
    Answer start(modem::Conversation& talk, const char* key, bool send = true,
                 bool write_note = true);
    Answer on_event(modem::Conversation& talk, const Event& event);
    // Once done: why the profile does not remember the choice; none when it
    // does (or was not asked to). The apply goes on regardless, and each
    // front end's table says whether the user hears of it.
    const Failure& save_failure() const { return save_failure_; }

  private:
    enum class Stage { set, standard_code, note, over };
    Answer finish(modem::Conversation& talk);

    const Options& options_;
    profile::Profile& profile_;
    const char* key_ = nullptr;
    Stage stage_ = Stage::over;
    bool write_note_ = true;
    Failure save_failure_;
};

} // namespace procedures
