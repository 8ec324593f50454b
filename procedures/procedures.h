// The three things a front end does with a modem, written once below both
// front ends: the probe (is it a modem of ours?), the read (its countries,
// its present code and note) and the apply (set a country, then record it).
// Each procedure is a short series of conversations; the dialog is driven by
// posted notifications and the command line by its loop's endings, so every
// step here is a call that starts a conversation or a decision taken on what
// one left behind. Nothing here knows a window or a console.
//
// Where the moved values and decisions live now:
// - code_to_send is the conversation's, set here by choose_code (an entry's
//   code for an AT*nc modem, its key for an AT+GCI one) and nowhere else;
// - the retry count is cleared here when a procedure starts, never by a
//   front end;
// - the list answer becomes the country list's items here (take_list), the
//   dialect handed to the profile's CCTestMembers as a parameter;
// - the modem's note (ATi9##, ATi9cc<key>#) is written from here: profile/
//   knows the file and the countries and sends no command;
// - the end of an apply (the key check, the saved choice, the note) is
//   decided here (finish_apply).
//
// The dialog's deliberate differences from the command line are named
// options (Options), so both front ends run the same code.
#pragma once

#include "common/failure.h"
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
    // The choice applied to an AT+GCI modem is remembered in the profile too.
    bool save_gci_choice;
    // The note names the key only when it is the key (in any letter case),
    // as the read takes it; otherwise a note that contains the key does.
    bool exact_note;
};

// The dialog: no ranges, one list query, the choice remembered for AT*nc
// modems only, and a note that contains the key left as it is.
constexpr Options DIALOG{false, false, false, false};
// The command line: everything a standard modem may answer.
constexpr Options COMMAND_LINE{true, true, true, true};

// --- the probe ----------------------------------------------------------

enum class Probe { modem, rejected, silent };

// Wakes the modem and asks its identification (ATV1i3).
void start_probe(modem::Conversation& talk);
// What a probe found. `notified`: it ended with a notification (else its
// deadline gave up); `word`: the state word then; `accepted`: the
// notification's value; `silent_port`: the wake-up went unanswered twice.
Probe probe_result(bool notified, uint32_t word, intptr_t accepted, bool silent_port);
// A probe's identification deadline ran out: the device answered the
// wake-up but not ATV1i3. Closes the port; false when the deadline was no
// longer pending (the verdict came first and goes on with the probe).
bool identify_deadline(modem::Conversation& talk, unsigned sequence);

// --- the read -----------------------------------------------------------

// Wakes the modem and asks its countries (AT*nc?; refused, AT+GCI=?).
void start_read(modem::Conversation& talk);
// After the list's notification (`id`: CMD_LIST_NC or CMD_LIST_GCI): whether
// AT+GCI=? must be asked next, for a modem whose AT*nc? listed nothing or
// for a device taken only as a standard modem.
bool wants_standard_list(const modem::Conversation& talk, unsigned id, const Options& options,
                         bool standard_only);
// Turns the list answer into the country list's items, unless `listed` is
// false (the modem lists by neither query) or the answer is no list at all;
// gives how it was taken. The list's items are then profile::supported_*.
// The answer is cut up in `working_copy` (`size` bytes); a longer answer is
// cut to what it holds.
profile::ListAnswer take_list(const modem::Conversation& talk, bool listed, const Options& options,
                              char* working_copy, size_t size);
// Wakes the modem and asks AT+GCI=? (after wants_standard_list).
void start_standard_list(modem::Conversation& talk);
// The next steps of the read: the present code (a wake-up, then ATi5), then
// the note (ATi9).
void read_present_code(modem::Conversation& talk);
void read_note(modem::Conversation& talk);
// The modem's present entry, from what the read left behind.
bool present_entry(const modem::Conversation& talk, profile::PresentEntry& found);
// The entry the modem's present code (ATi5) alone names.
bool code_entry(const modem::Conversation& talk, profile::PresentEntry& found);

// --- the apply ----------------------------------------------------------

// Puts into code_to_send what the set-country command sends for the entry
// (`key`, `code`): its code to an AT*nc modem, its key to an AT+GCI modem.
// Kind::key_unusable, with nothing set, when what is sent holds anything but
// letters and digits: for an AT*nc modem the code and the key (which goes
// into the note), for an AT+GCI modem the key alone; or when the key is too
// long to send whole.
Failure choose_code(modem::Conversation& talk, const char* key, const char* code);
// Whether the modem's note names an entry other than `key`'s: the read takes
// the note's entry before the modem's code, so such a note must be
// rewritten even when the code is already the entry's.
bool note_names_other_entry(const modem::Conversation& talk, const char* key);
// Wakes the modem and sends the set-country command; the modem is then
// reset and its code read back (ATz, ATi5).
void start_apply(modem::Conversation& talk);

enum class ApplyEnd {
    abandoned,    // no usable key: whatever the modem holds, it is not the choice
    done,         // the modem holds the choice; nothing more to send
    writing_note, // ATi9## was sent; the note write ends with its notification
};
struct Finish {
    ApplyEnd end;
    // abandoned: Kind::key_unusable. Otherwise why the profile does not
    // remember the choice (none when it does, or was not asked to): the
    // apply goes on regardless, and each front end's table says whether the
    // user hears of it.
    Failure failure;
};
// After the read-back that ends the set-country conversation: checks the
// key, remembers the choice, then starts rewriting the note unless it names
// the key already or `write_note` is false. The choice is saved before the
// note is touched, so a note that fails leaves it recorded.
Finish finish_apply(modem::Conversation& talk, const char* key, const Options& options,
                    bool write_note = true);

} // namespace procedures
