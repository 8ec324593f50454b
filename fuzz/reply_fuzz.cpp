// The reply gathering and interpreter on arbitrary modem bytes, cut into
// arbitrary blocks, in every conversation state, with and without the
// modem's echo, with expiring deadlines in between. Whatever arrives, the
// gathered reply and every answer text stay in their buffers and terminated.
#include "fuzz/fuzz_input.h"
#include "common/text.h"
#include "common/trace.h"
#include "modem/command_table.h"
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "serial/port_session.h"

#include <cstring>
#include <memory>

namespace {

// A front end that takes every request and does nothing with it: the
// conversation runs as if on the dialog's own thread, which is where the
// receive thread's work must be safe too.
class QuietFrontEnd : public FrontEnd {
  public:
    void identified(const char*) override {}
    void list_read(unsigned, bool) override {}
    void code_read() override {}
    void ended(unsigned, bool) override {}
    void answered(unsigned, bool) override {}
    void report(const Failure&) override {}
    void arm_deadline(unsigned, unsigned) override {}
    void cancel_deadline(unsigned) override {}
    void start_deadline(unsigned, unsigned) override {}
    bool on_front_end_thread() override { return true; }
};

QuietFrontEnd front;
PortSession* no_port = nullptr; // the line below takes every write without a session
modem::Conversation talk{front, no_port};

// What the modem echoes next: the last command written, when echo is on.
std::string pending_echo;
bool echo_on = false;

const uint32_t STATES[] = {CMD_IDLE,
                           CMD_SET_COUNTRY,
                           CMD_READ_I5,
                           CMD_RESET,
                           CMD_READ_I9,
                           CMD_WRITE_I9,
                           CMD_CLEAR_I9,
                           CMD_WAKE,
                           CMD_IDENTIFY,
                           CMD_LIST_NC,
                           CMD_LIST_GCI,
                           wake_then(CMD_IDENTIFY),
                           wake_then(CMD_LIST_NC),
                           wake_then(CMD_READ_I5),
                           wake_then(CMD_SET_COUNTRY)};
constexpr size_t STATE_COUNT = sizeof STATES / sizeof STATES[0];

void deliver(std::string_view bytes) {
    // The receive thread's block: exactly its bytes and the NUL after them.
    std::unique_ptr<char[]> block(new char[bytes.size() + 1]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    block[bytes.size()] = '\0';
    talk.on_modem_data(block.get(), static_cast<uint32_t>(bytes.size()));
}

template <size_t N> bool terminated(const char (&text)[N]) {
    return std::memchr(text, '\0', N) != nullptr;
}

void check_values() {
    FUZZ_CHECK(talk.reply_length <= modem::REPLY_LIMIT);
    FUZZ_CHECK(talk.reply_buffer[talk.reply_length] == '\0');
    FUZZ_CHECK(terminated(talk.i5_code) && terminated(talk.i9_text));
    FUZZ_CHECK(terminated(talk.country_list_reply) && terminated(talk.modem_ident));
    FUZZ_CHECK(terminated(talk.command_text));
}

} // namespace

// The serial port of the program, here a line that takes every write.
Failure port_write(PortSession*, const char* buffer, uint32_t count) {
    if (echo_on) {
        pending_echo.assign(buffer, count);
    }
    return {};
}
int port_close(PortSession*) {
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        set_trace_sink([](const char*) {});
        return true;
    }();
    (void)ready;

    FuzzInput input(data, size);
    uint8_t state = input.byte();
    uint8_t flags = input.byte();
    talk.reset();
    echo_on = (flags & 1) != 0;
    pending_echo.clear();
    talk.speak((flags >> 1) & 1 ? modem::gci_dialect() : modem::nc_dialect());
    copy_text(talk.vendor_name, (flags & 4) ? "" : "Quorvant");
    copy_text(talk.code_to_send, (flags & 8) ? "B5" : "");
    copy_text(talk.i9_text, (flags & 16) ? "B4" : "");
    // Any state word, a known one most of the time.
    uint32_t word = state < 0xF0 ? STATES[state % STATE_COUNT] : state;
    talk.conversation_state = word;
    if (const modem::CommandRow* row = modem::find_table_command(word)) {
        talk.build_command_text(*row);
        port_write(talk.port, talk.command_text,
                   static_cast<uint32_t>(std::strlen(talk.command_text)));
    }
    // Without a pending deadline every verdict must be ignored.
    if ((flags & 32) == 0) {
        talk.arm_reply_deadline(1000);
    }

    // Blocks: a control byte, then that many bytes (127: all that is left).
    // Its top bit lets the pending deadline expire before the block arrives.
    while (!input.empty()) {
        uint8_t control = input.byte();
        if (control & 0x80) {
            talk.on_reply_timer(talk.deadline_sequence.load());
            check_values();
        }
        if (!pending_echo.empty()) {
            std::string echo = std::move(pending_echo);
            pending_echo.clear();
            deliver(echo);
            check_values();
        }
        size_t length = control & 0x7F;
        deliver(length == 0x7F ? input.rest() : input.block(length));
        check_values();
    }
    return 0;
}
