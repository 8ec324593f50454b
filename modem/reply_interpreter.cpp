// The reply interpreter of a conversation (Conversation::on_modem_data):
// gathers the blocks of the receive thread until a final result code
// ("ERROR" or "\r\nOK\r\n") is in, then chains the next command of the
// conversation or tells its front end how it ended.
#include "common/text.h"
#include "common/trace.h"
#include "modem/command_table.h"
#include "modem/conversation.h"
#include "modem/front_end.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace modem {
namespace {

constexpr std::string_view OK_CODE = "\r\nOK\r\n";
constexpr std::string_view ERROR_CODE = "ERROR";

enum class Verdict { none, error, ok };

// --- telling the dialog ----------------------------------------------------

// The report comes first: the dialog's box is modal on the receive thread,
// so the dialog hears of the end only once the user has closed it.
void fail(Conversation& c, const char* text) {
    c.front_end.report(c.failure(Kind::modem_reply, text));
    c.front_end.ended(command_code(c.conversation_state.load()), false);
}

// --- gathering -------------------------------------------------------------

void empty_reply(Conversation& c) {
    c.reply_length = 0;
    c.reply_buffer[0] = '\0';
}

// The receive thread turns the first NUL of each chunk it reads into a space,
// yet a block may still hold NULs; the block's text ends at its second one.
size_t block_text_length(const char* block, size_t length) {
    const char* first = static_cast<const char*>(std::memchr(block, '\0', length));
    if (first == nullptr) {
        return length;
    }
    size_t after = static_cast<size_t>(first - block) + 1;
    const char* second = static_cast<const char*>(std::memchr(block + after, '\0', length - after));
    return second == nullptr ? length : static_cast<size_t>(second - block);
}

// Appends the block's text, its first NUL made a space; false when it does not fit.
bool append_block(Conversation& c, const char* block, size_t length) {
    size_t text_length = block_text_length(block, length);
    if (c.reply_length + text_length > REPLY_LIMIT) {
        return false;
    }
    char* out = c.reply_buffer + c.reply_length;
    std::memcpy(out, block, text_length);
    if (char* nul = static_cast<char*>(std::memchr(out, '\0', text_length))) {
        *nul = ' ';
    }
    c.reply_length += text_length;
    c.reply_buffer[c.reply_length] = '\0';
    return true;
}

// Takes out every whole "RING" line (with the empty line in front of it,
// as a modem with word results sends it) and gives where the text not yet
// judged now starts.
size_t drop_ring_lines(Conversation& c, size_t judged_length) {
    constexpr std::string_view RING_LINE = "RING\r\n";
    std::string_view text(c.reply_buffer, c.reply_length);
    size_t at = 0;
    while ((at = text.find(RING_LINE, at)) != std::string_view::npos) {
        if (at > 0 && text[at - 1] != '\n') {
            at += RING_LINE.size(); // inside a line of its own: not a RING
            continue;
        }
        const size_t from = at >= 2 && text.substr(at - 2, 2) == "\r\n" ? at - 2 : at;
        const size_t end = at + RING_LINE.size();
        std::memmove(c.reply_buffer + from, c.reply_buffer + end, c.reply_length - end + 1);
        c.reply_length -= end - from;
        judged_length = std::min(judged_length, from);
        text = std::string_view(c.reply_buffer, c.reply_length);
        at = from;
    }
    return judged_length;
}

// What was gathered before this block held no result code (a verdict empties
// the buffer), so only a code that reaches into the new text can be found.
// ERROR wins over an OK anywhere in the same reply.
Verdict find_verdict(const Conversation& c, size_t judged_length) {
    std::string_view text(c.reply_buffer, c.reply_length);
    size_t error_from =
        judged_length >= ERROR_CODE.size() ? judged_length - ERROR_CODE.size() + 1 : 0;
    if (text.find(ERROR_CODE, error_from) != std::string_view::npos) {
        return Verdict::error;
    }
    size_t ok_from = judged_length >= OK_CODE.size() ? judged_length - OK_CODE.size() + 1 : 0;
    if (text.find(OK_CODE, ok_from) != std::string_view::npos) {
        return Verdict::ok;
    }
    return Verdict::none;
}

// --- answers ---------------------------------------------------------------

// The answer is one line of the reply. With its echo on, the modem first
// repeats the command, so that line is skipped.
std::string_view take_answer(const Conversation& c, std::string_view echo) {
    std::string_view text(c.reply_buffer, c.reply_length);
    size_t start = text.find_first_not_of("\r\n");
    if (start == std::string_view::npos) {
        return {};
    }
    if (text.find(echo, start) != std::string_view::npos) {
        size_t line_feed = text.find('\n', start);
        start = line_feed == std::string_view::npos ? text.size() : line_feed + 1;
    }
    size_t end = text.find("\r\n", start);
    return text.substr(start, (end == std::string_view::npos ? text.size() : end) - start);
}

template <size_t N> void copy_answer(char (&field)[N], std::string_view answer) {
    copy_text_n(field, N, answer.data(), answer.size());
}

// Letter case is ignored for ASCII letters only, whatever the locale says.
bool contains_ignoring_case(std::string_view text, std::string_view word) {
    for (size_t at = 0; at + word.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < word.size() && ascii_upper(text[at + i]) == ascii_upper(word[i])) {
            ++i;
        }
        if (i == word.size()) {
            return true;
        }
    }
    return false;
}

// A modem is ours when its identification names the vendor or the chip
// family; an empty vendor name is in every identification.
bool identify_modem(Conversation& c) {
    std::string_view answer = take_answer(c, "ATV1i3\r");
    copy_answer(c.answered_ident, answer);
    if (!contains_ignoring_case(answer, c.vendor_name) &&
        !contains_ignoring_case(answer, "ACF3_V1")) {
        return false;
    }
    copy_answer(c.modem_ident, answer);
    return true;
}

// The note this program keeps in the modem starts with "CC"; any other note
// is someone else's and reads as none.
void read_i9_note(Conversation& c) {
    std::string_view answer = take_answer(c, "ATi9\r");
    if (answer.substr(0, 2) == "CC") {
        copy_answer(c.i9_text, answer.substr(2));
    } else {
        c.i9_text[0] = '\0';
    }
}

// A list too long for country_list_reply is cut after its last whole entry,
// so no code is ever read half.
void keep_list(Conversation& c, std::string_view list) {
    if (list.size() >= LIST_REPLY_SIZE) {
        size_t comma = list.substr(0, LIST_REPLY_SIZE).rfind(',');
        list = list.substr(0, comma == std::string_view::npos ? 0 : comma);
    }
    std::memset(c.country_list_reply, 0, sizeof c.country_list_reply);
    copy_answer(c.country_list_reply, list);
}

// A list answer is in the dialect of the query it answers: "+GCI: (00,09,B5)"
// to AT+GCI=?, the list starting after the "(". A conversation already
// speaking a dialect with that query (another make's AT+GCI) stays in it.
void read_country_list(Conversation& c, uint32_t code) {
    c.speak(c.dialect->list_query.code == code ? *c.dialect : *dialect_by_list_command(code));
    keep_list(c, c.dialect->list_in(take_answer(c, c.command_text)));
}

// --- verdicts --------------------------------------------------------------

// A list query refused: the dialect's next one is asked in the same
// conversation, the front end none the wiser; after the last the front end
// hears of the refusal under the last query's code.
void refused_list(Conversation& c, const Dialect& refused) {
    if (refused.refused_list_next == 0) {
        c.front_end.list_read(refused.list_query.code, false);
        return;
    }
    if (refused.refused_list_trace != nullptr) {
        trace(refused.refused_list_trace);
    }
    empty_reply(c);
    c.send_modem_command(refused.refused_list_next);
}

void act_on_error(Conversation& c, uint32_t word) {
    uint32_t code = command_code(word);
    switch (code) {
    case CMD_SET_COUNTRY:
        fail(c, "Failure to set the Country Code!");
        break;
    case CMD_READ_I5:
        c.i5_code[0] = '\0'; // no stale code survives a failed read
        fail(c, "Failure to get the Country Code!");
        break;
    case CMD_RESET:
        fail(c, "Failure to reset the modem!");
        break;
    case CMD_READ_I9:
        c.i9_text[0] = '\0';
        c.front_end.ended(CMD_READ_I9, false);
        break;
    case CMD_WRITE_I9:
    case CMD_CLEAR_I9:
        fail(c, "Failure to clear/set the I9 string!");
        break;
    case CMD_WAKE:
        empty_reply(c);
        if (c.retry_count.fetch_add(1) + 1 < 2) {
            c.send_modem_command(word); // the same wake-up, the same follow-up
        } else {
            fail(c, "The modem refused the wake-up command!");
        }
        break;
    default: {
        if (const Dialect* listing = dialect_by_list_command(code)) {
            refused_list(c, *listing);
            break;
        }
        if (c.is_front_end_command(code)) {
            c.front_end_answer[0] = '\0';
            c.front_end.answered(code, false);
            break;
        }
        char text[40];
        format_text(text, sizeof text, "Bad internal state! - %d", static_cast<int>(code));
        fail(c, text);
        break;
    }
    }
}

void act_on_ok(Conversation& c, uint32_t word) {
    uint32_t code = command_code(word);
    switch (code) {
    case CMD_SET_COUNTRY:
        c.send_modem_command(CMD_RESET);
        break;
    case CMD_READ_I5:
        copy_answer(c.i5_code, take_answer(c, "ATi5\r"));
        c.front_end.code_read();
        break;
    case CMD_RESET:
        c.send_modem_command(CMD_READ_I5);
        break;
    case CMD_READ_I9:
        read_i9_note(c);
        c.front_end.ended(CMD_READ_I9, true);
        break;
    case CMD_WRITE_I9:
        c.front_end.ended(CMD_WRITE_I9, true);
        break;
    case CMD_CLEAR_I9:
        c.send_modem_command(CMD_WRITE_I9);
        break;
    case CMD_WAKE:
        c.send_modem_command(follow_up_code(word));
        break;
    case CMD_IDENTIFY:
        c.front_end.identified(identify_modem(c) ? c.modem_ident : nullptr);
        break;
    default:
        if (dialect_by_list_command(code) != nullptr) {
            read_country_list(c, code);
            c.front_end.list_read(code, true);
        } else if (c.is_front_end_command(code)) {
            copy_answer(c.front_end_answer, take_answer(c, c.command_text));
            c.front_end.answered(code, true);
        }
        break; // an OK for no command is nobody's business
    }
}

// A verdict acts only if it takes the pending deadline. When there is none,
// the deadline's expiry already owns the command (it may be retrying or
// closing the port right now), or no command was sent: the reply answers
// nothing and acting on it would end the conversation a second time.
void judge(Conversation& c, Verdict verdict) {
    bool claimed = c.claim_reply_deadline();
    if (verdict == Verdict::error) {
        if (!claimed) {
            trace("ERROR rxd with no reply deadline pending, ignored\n");
            return;
        }
        trace("WAIT_OK timer killed, ERROR rxd\n");
        act_on_error(c, c.conversation_state.load());
        return;
    }
    if (!claimed) {
        trace("WAIT_OK timer kill failed, OK rxd\n");
        return;
    }
    trace("WAIT_OK timer killed, OK rxd\n");
    c.retry_count = 0;
    act_on_ok(c, c.conversation_state.load());
}

} // namespace

void Conversation::on_modem_data(const char* block, uint32_t length) {
    if (block == nullptr || length > REPLY_LIMIT) {
        return; // too long to be a reply of ours: dropped without a word
    }
    size_t judged_length = reply_length;
    if (!append_block(*this, block, length)) {
        fail(*this, "Internal Storage Depletion, disconnecting from port");
        // What was gathered can no longer make a reply; kept, it would make
        // every later block run out of room too.
        empty_reply(*this);
        return;
    }
    if (ignore_ring) {
        judged_length = drop_ring_lines(*this, judged_length);
    }
    Verdict verdict = find_verdict(*this, judged_length);
    if (verdict != Verdict::none) {
        judge(*this, verdict);
        empty_reply(*this); // anything after the result code goes with it
    }
}

void Conversation::receive(void* context, const char* block, uint32_t length) {
    static_cast<Conversation*>(context)->on_modem_data(block, length);
}

void Conversation::port_failed(void* context, const Failure& failure) {
    static_cast<Conversation*>(context)->front_end.report(failure);
}

} // namespace modem
