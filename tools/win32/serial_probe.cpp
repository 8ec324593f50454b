// A console program that drives the serial link the way the dialog does, for
// the Wine tests, the benchmark and the run script:
//
//   serial_probe ports                       try COM1..COM9, print "COMn open" or "COMn error E"
//   serial_probe talk PORT [COMMAND [MS]]    send COMMAND and CR, wait up to MS for the final
//   result serial_probe idle PORT SECONDS           hold the port open and silent, then close it
//
// Exit codes: 0 done, 1 bad arguments, 2 the port did not open, 3 no final result in time.
#include "common/text.h"
#include "common/trace.h"
#include "serial/port_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

namespace {

constexpr int EXIT_ARGUMENTS = 1;
constexpr int EXIT_NOT_OPEN = 2;
constexpr int EXIT_NO_REPLY = 3;
constexpr int PORT_COUNT = 9;

// What the receive thread gathered. The thread writes it; the main thread
// reads it only after the reply event or after port_close has ended the thread.
struct Gathered {
    char text[8192];
    size_t length;
    HANDLE reply_event; // set once a final result code has arrived
};

Gathered gathered;

bool has_final_result(const char* text) {
    return std::strstr(text, "\r\nOK\r\n") != nullptr ||
           std::strstr(text, "\r\nERROR\r\n") != nullptr;
}

void on_data(void*, const char* block, uint32_t length) {
    const size_t room = sizeof gathered.text - 1 - gathered.length;
    const size_t take = length < room ? length : room;
    std::memcpy(gathered.text + gathered.length, block, take);
    gathered.length += take;
    gathered.text[gathered.length] = '\0';
    // The first NUL of each block arrives as a blank, later ones stay: look
    // for the result in the text as a C string would see it from the start.
    if (has_final_result(gathered.text)) {
        SetEvent(gathered.reply_event);
    }
}

// The session's trace lines, for a look when a test fails.
void trace_to_stderr(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

void print_escaped(const char* label, const char* bytes, size_t length) {
    std::printf("%s \"", label);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') {
            std::fputs("\\r", stdout);
        } else if (c == '\n') {
            std::fputs("\\n", stdout);
        } else if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
            std::printf("\\x%02X", c);
        } else {
            std::putchar(c);
        }
    }
    std::printf("\"\n");
}

double now_ms() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int parse_number(const char* text, int low, int high) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        return -1;
    }
    return static_cast<int>(value);
}

int run_ports() {
    for (int n = 1; n <= PORT_COUNT; ++n) {
        char name[16];
        format_text(name, sizeof name, "\\\\.\\COM%d", n);
        const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            std::printf("COM%d error %lu\n", n, GetLastError());
        } else {
            std::printf("COM%d open\n", n);
            CloseHandle(handle);
        }
    }
    return 0;
}

PortSlot slot; // the one port this probe talks to

bool open_port(int port) {
    slot.port_number = port;
    if (port_create(slot, 0, on_data, nullptr) || port_open(slot)) {
        std::printf("open COM%d failed\n", port);
        return false;
    }
    std::printf("open COM%d\n", port);
    std::fflush(stdout);
    return true;
}

void close_port() {
    const double started = now_ms();
    port_close(slot);
    std::printf("close_ms %.2f\n", now_ms() - started);
}

int run_talk(int port, const char* command, int timeout_ms) {
    if (!open_port(port)) {
        return EXIT_NOT_OPEN;
    }
    char line[256];
    const size_t length = format_text(line, sizeof line, "%s\r", command);
    const double started = now_ms();
    port_write(slot, line, static_cast<uint32_t>(length));
    const bool replied = WaitForSingleObject(gathered.reply_event, timeout_ms) == WAIT_OBJECT_0;
    const double reply_ms = now_ms() - started;
    close_port(); // the receive thread has ended: the gathered text is ours now
    print_escaped("received", gathered.text, gathered.length);
    if (!replied) {
        std::printf("no final result within %d ms\n", timeout_ms);
        return EXIT_NO_REPLY;
    }
    std::printf("reply_ms %.2f\n", reply_ms);
    return 0;
}

int run_idle(int port, int seconds) {
    if (!open_port(port)) {
        return EXIT_NOT_OPEN;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    // Nothing will set this event: the wait is the hold itself.
    WaitForSingleObject(gathered.reply_event, static_cast<DWORD>(seconds) * 1000);
    std::printf("held\n");
    std::fflush(stdout);
    close_port();
    print_escaped("received", gathered.text, gathered.length);
    return 0;
}

int usage() {
    std::fputs("usage: serial_probe ports | talk PORT [COMMAND [MS]] | idle PORT SECONDS\n",
               stderr);
    return EXIT_ARGUMENTS;
}

} // namespace

int main(int argc, char** argv) {
    set_trace_sink(trace_to_stderr);
    gathered.reply_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (gathered.reply_event == nullptr) {
        return EXIT_ARGUMENTS;
    }
    const char* mode = argc > 1 ? argv[1] : "";
    const int port = argc > 2 ? parse_number(argv[2], 1, 255) : -1;
    if (std::strcmp(mode, "ports") == 0 && argc == 2) {
        return run_ports();
    }
    if (std::strcmp(mode, "talk") == 0 && port > 0 && argc <= 5) {
        const int timeout_ms = argc > 4 ? parse_number(argv[4], 1, 600000) : 5000;
        if (timeout_ms < 0) {
            return usage();
        }
        return run_talk(port, argc > 3 ? argv[3] : "ATV1i3", timeout_ms);
    }
    if (std::strcmp(mode, "idle") == 0 && port > 0 && argc == 4) {
        const int seconds = parse_number(argv[3], 1, 3600);
        return seconds < 0 ? usage() : run_idle(port, seconds);
    }
    return usage();
}
