// The posix backend of the port session: a tty in raw mode through termios.
// Transfers are non-blocking with poll() standing in for overlapped waits;
// the receive thread polls the port together with an eventfd that the close
// signals, which is what clearing the event mask does for a COM port.
#include "serial/device.h"
#include "serial/tty_family.h"

#include "common/text.h"
#include "common/trace.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

struct PortDevice {
    int fd = -1;
    int stop_fd = -1; // readable once the close has asked the receive thread to stop
    bool closed = false;
    PortTimeouts timeouts{0xFFFFFFFF, 0, 1000, 0, 1000};
    termios found{}; // the line settings as the port had them before it was opened
    bool found_read = false;
};

// A transfer that could not finish at once: what is left of it.
struct Transfer {
    bool writing = false;
    char* read_to = nullptr;
    const char* write_from = nullptr;
    uint32_t remaining = 0;
    uint32_t done = 0;
};

struct PortBlock {
    std::mutex hold;
    Transfer transfer;
};

struct PortWaiter {
    int fd;
    int stop_fd;
};

namespace {

void default_lookup(uint8_t port, char* path, size_t capacity) {
    format_text(path, capacity, "/dev/ttyS%d", static_cast<int>(port) - 1);
}

bool speed_code(uint32_t speed, speed_t* code) {
    switch (speed) {
    case 9600:
        *code = B9600;
        return true;
    case 19200:
        *code = B19200;
        return true;
    case 38400:
        *code = B38400;
        return true;
    case 57600:
        *code = B57600;
        return true;
    case 115200:
        *code = B115200;
        return true;
    default:
        return false;
    }
}

tcflag_t size_bits(uint8_t byte_size) {
    switch (byte_size) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

void apply_line(termios& tio, const LineSettings& line) {
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    // The program watches no modem lines, so carrier must not gate the port.
    tio.c_cflag |= size_bits(line.byte_size) | CREAD | CLOCAL;
    if (line.parity == 1 || line.parity == 2) {
        tio.c_cflag |= PARENB | (line.parity == 1 ? PARODD : 0);
    }
    if (line.stop_bits != 0) {
        tio.c_cflag |= CSTOPB;
    }
    if ((line.flow_control & FLOW_RTS_CTS) != 0) {
        tio.c_cflag |= CRTSCTS;
    }
    // termios has no DSR handshake; FLOW_DTR_DSR is left to the modem's defaults.
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if ((line.flow_control & FLOW_XON_XOFF) != 0) {
        tio.c_iflag |= IXON | IXOFF;
    }
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 0; // reads never wait: they take what is queued
    tio.c_cc[VTIME] = 0;
}

// Waits for `events` on the port for at most `milliseconds`; false on time-out.
bool poll_port(int fd, short events, uint32_t milliseconds, uint32_t* error) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, static_cast<int>(milliseconds));
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            *error = static_cast<uint32_t>(errno);
            return false;
        }
    }
}

bool finish_read(PortDevice* device, Transfer* block, uint32_t* error) {
    *error = 0;
    if (!poll_port(device->fd, POLLIN, device->timeouts.read_constant, error)) {
        return *error == 0; // the read deadline passed: done, with nothing
    }
    const ssize_t n = read(device->fd, block->read_to, block->remaining);
    if (n < 0) {
        *error = static_cast<uint32_t>(errno);
        return false;
    }
    block->done = static_cast<uint32_t>(n);
    return true;
}

bool finish_write(PortDevice* device, Transfer* block, uint32_t* error) {
    *error = 0;
    const PortTimeouts& t = device->timeouts;
    const uint32_t deadline = t.write_constant + t.write_multiplier * block->remaining;
    while (block->remaining > 0) {
        if (!poll_port(device->fd, POLLOUT, deadline, error)) {
            return *error == 0; // the write deadline passed: done, with what went out
        }
        const ssize_t n = write(device->fd, block->write_from, block->remaining);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *error = static_cast<uint32_t>(errno);
            return false;
        }
        if (n > 0) {
            block->write_from += n;
            block->remaining -= static_cast<uint32_t>(n);
            block->done += static_cast<uint32_t>(n);
        }
    }
    return true;
}

// The line is gone (the other end hung up): nothing more will arrive, so the
// thread sleeps until the close instead of polling a dead port.
WaitResult wait_for_stop(int stop_fd) {
    pollfd entry{stop_fd, POLLIN, 0};
    while (poll(&entry, 1, -1) < 0 && errno == EINTR) {
    }
    return WaitResult::stopped;
}

} // namespace

PortBlock* block_create() {
    return new (std::nothrow) PortBlock;
}

void block_release(PortBlock* block) {
    delete block;
}

void block_hold(PortBlock* block) {
    block->hold.lock();
}

void block_let_go(PortBlock* block) {
    block->hold.unlock();
}

namespace {

// Opens the device, takes it for this program alone and remembers its line
// settings; -1 with `error` set when it cannot be had.
int open_exclusive(const char* path, uint32_t* error) {
    dev_t device = 0;
    std::string what;
    if (!is_tty_family(path, device, what)) {
        *error = static_cast<uint32_t>(errno);
        return -1;
    }
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = static_cast<uint32_t>(errno);
        return -1;
    }
    // A COM port is opened for exclusive use; another holder makes it "in use".
    if (!is_same_tty(fd, device)) {
        *error = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = static_cast<uint32_t>(errno);
    } else {
        // Further opens of the tty fail while we talk, except for root, whom
        // the kernel lets through regardless.
        ioctl(fd, TIOCEXCL);
        return fd;
    }
    close(fd);
    return -1;
}

} // namespace

PortDevice* device_open(uint8_t port, const char* named, PortPathLookup lookup, uint32_t* error) {
    char path[PORT_PATH_SIZE];
    if (named[0] != '\0') {
        copy_text(path, named);
    } else {
        (lookup != nullptr ? lookup : default_lookup)(port, path, sizeof path);
    }
    *error = 0;
    const int fd = open_exclusive(path, error);
    if (fd < 0) {
        return nullptr;
    }
    const int stop_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    PortDevice* device = stop_fd >= 0 ? new (std::nothrow) PortDevice : nullptr;
    if (device == nullptr) {
        *error = ENOMEM;
        if (stop_fd >= 0) {
            close(stop_fd);
        }
        close(fd);
        return nullptr;
    }
    device->fd = fd;
    device->stop_fd = stop_fd;
    device->found_read = tcgetattr(fd, &device->found) == 0;
    return device;
}

// poll() always reports input, so there is no event mask to set.
bool device_watch_rx(PortDevice* device) {
    return device != nullptr && !device->closed;
}

void device_stop_watch(PortDevice* device) {
    // An eventfd write fails only when its counter would overflow, which a
    // handful of stop requests never reach.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(device->stop_fd, &one, sizeof one);
}

// A tty's queues are the kernel's own; their size cannot be asked for.
bool device_set_queues(PortDevice* /*device*/, uint32_t /*receive*/, uint32_t /*send*/) {
    return true;
}

bool device_purge(PortDevice* device) {
    return tcflush(device->fd, TCIOFLUSH) == 0;
}

bool device_set_timeouts(PortDevice* device, const PortTimeouts& timeouts) {
    device->timeouts = timeouts;
    return true;
}

bool device_configure(PortDevice* device, const LineSettings& line) {
    speed_t code;
    if (!speed_code(line.speed, &code)) {
        return false;
    }
    termios tio{};
    if (tcgetattr(device->fd, &tio) != 0) {
        tio = termios{}; // unreadable settings: start from nothing, set every field we use
    }
    apply_line(tio, line);
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    return tcsetattr(device->fd, TCSANOW, &tio) == 0;
}

// A pseudo-terminal (a simulated modem) has no modem-control lines, so the
// ioctl fails there; the caller ignores the result, as a modem without DTR
// simply never sees the drop.
bool device_set_dtr(PortDevice* device, bool on) {
    int bits = TIOCM_DTR;
    return ioctl(device->fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

// A tty reports no framing or overrun bits through this interface: 0.
uint32_t device_clear_errors(PortDevice* device, uint32_t* queued) {
    if (queued != nullptr) {
        int count = 0;
        *queued = ioctl(device->fd, FIONREAD, &count) == 0 && count > 0
                      ? static_cast<uint32_t>(count)
                      : 0;
    }
    return 0;
}

IoStart device_read(PortDevice* device, PortBlock* block, char* buffer, uint32_t count,
                    uint32_t* done, uint32_t* error) {
    const ssize_t n = read(device->fd, buffer, count);
    if (n > 0) {
        *done = static_cast<uint32_t>(n);
        return IoStart::done;
    }
    if (n < 0 && errno == EAGAIN) {
        block->transfer = Transfer{false, buffer, nullptr, count, 0};
        return IoStart::pending;
    }
    // A read of queued bytes that gives nothing means the other end hung up.
    *error = n == 0 ? static_cast<uint32_t>(EIO) : static_cast<uint32_t>(errno);
    return IoStart::failed;
}

IoStart device_write(PortDevice* device, PortBlock* block, const char* buffer, uint32_t count,
                     uint32_t* done, uint32_t* error) {
    const ssize_t n = count > 0 ? write(device->fd, buffer, count) : 0;
    if (n == static_cast<ssize_t>(count)) {
        *done = count;
        return IoStart::done;
    }
    if (n < 0 && errno != EAGAIN) {
        *error = static_cast<uint32_t>(errno);
        return IoStart::failed;
    }
    const uint32_t sent = n > 0 ? static_cast<uint32_t>(n) : 0;
    block->transfer = Transfer{true, nullptr, buffer + sent, count - sent, sent};
    return IoStart::pending;
}

bool device_finish(PortDevice* device, PortBlock* block, uint32_t* done, uint32_t* error) {
    Transfer* transfer = &block->transfer;
    const bool ok = transfer->writing ? finish_write(device, transfer, error)
                                      : finish_read(device, transfer, error);
    *done = transfer->done;
    *transfer = Transfer{};
    return ok;
}

bool device_close(PortDevice* device, uint32_t* error) {
    if (device->closed) {
        return true;
    }
    device->closed = true;
    // The line is left as it was found, for the next program that opens it.
    if (device->found_read) {
        tcsetattr(device->fd, TCSANOW, &device->found);
    }
    ioctl(device->fd, TIOCNXCL);
    const bool ok = close(device->fd) == 0;
    *error = ok ? 0 : static_cast<uint32_t>(errno);
    close(device->stop_fd);
    return ok;
}

uintptr_t device_raw_handle(const PortDevice* device) {
    return static_cast<uintptr_t>(device->fd);
}

void device_release(PortDevice* device) {
    uint32_t error = 0;
    device_close(device, &error);
    delete device;
}

PortWaiter* waiter_create(PortDevice* device) {
    return new (std::nothrow) PortWaiter{device->fd, device->stop_fd};
}

WaitResult waiter_wait(PortWaiter* waiter) {
    pollfd entries[2] = {{waiter->fd, POLLIN, 0}, {waiter->stop_fd, POLLIN, 0}};
    if (poll(entries, 2, -1) < 0) {
        return errno == EINTR ? WaitResult::nothing : wait_for_stop(waiter->stop_fd);
    }
    if (entries[1].revents != 0) {
        return WaitResult::stopped;
    }
    int queued = 0;
    if (ioctl(waiter->fd, FIONREAD, &queued) == 0 && queued > 0) {
        return WaitResult::received;
    }
    // Readable with nothing queued, or hung up: a tty reports that for good
    // once its other end is gone.
    return wait_for_stop(waiter->stop_fd);
}

void waiter_release(PortWaiter* waiter) {
    delete waiter;
}
