"""What the command line's tests rely on in iaxmodem's answers, checked on a
raw line so a changed iaxmodem shows up here and not as a puzzling CLI
failure. Exit 77 (skipped) when iaxmodem is not installed."""

import os
import select
import sys
import termios
import time
import tty

from iaxmodem_peer import IaxModem, installed

# (command, the answer line between the echo and the result code, result code)
CONVERSATION = [
    ("ATV1i3", "www.soft-switch.org", "OK"),
    ("AT*nc?", None, "OK"),  # the vendor's list command: a bare OK, no list
    ("AT+GCI=?", "+GCI:(00-FF)", "OK"),
    ("AT+GCI?", "+GCI:00", "OK"),
    ("ATi5", None, "ERROR"),  # no present-code command of the vendor's kind
    ("AT+GCI=B4", None, "OK"),
    ("ATz", None, "OK"),
    ("AT+GCI?", "+GCI:14", "OK"),  # it keeps something other than what was sent
]


def ask(fd, command, timeout=5.0):
    os.write(fd, (command + "\r").encode())
    reply, deadline = b"", time.monotonic() + timeout
    while not (reply.endswith(b"OK\r\n") or reply.endswith(b"ERROR\r\n")):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise AssertionError("no result code for %s; got %r" % (command, reply))
        reply += os.read(fd, 256)
    lines = [line for line in reply.decode().split("\r\n") if line]
    return lines[1:]  # the echo comes first


def main():
    if not installed():
        print("iaxmodem is not installed")
        return 77
    work = sys.argv[1]
    failures = []
    with IaxModem(work) as modem:
        fd = os.open(modem.link, os.O_RDWR | os.O_NOCTTY)
        try:
            tty.setraw(fd, termios.TCSANOW)
            for command, answer, result in CONVERSATION:
                want = ([answer] if answer else []) + [result]
                got = ask(fd, command)
                if got != want:
                    failures.append("%s: wanted %r, got %r" % (command, want, got))
        finally:
            os.close(fd)
    link_left = os.path.lexists(modem.link)
    if link_left:
        failures.append("the link outlived iaxmodem")
    print("\n".join(failures) or "iaxmodem answered as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
