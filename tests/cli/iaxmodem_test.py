#!/usr/bin/env python3
"""tarvelle-cli against iaxmodem, a soft modem of another maker: a real AT
interpreter that no one here wrote, on a pty it makes without any IAX server.
It speaks only the standard dialect, answers AT*nc? with a bare OK, lists
"+GCI:(00-FF)", and reads back a country other than the one it was set to.
Run as cli_test.py is: iaxmodem_test.py CASE --cli PATH --sim PATH --work DIR."""

import grp
import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from cli_test import expect, main, read, write


def start_iaxmodem(bench):
    """iaxmodem with its line linked at WORK/ttyIAX; gives (process, link).
    It reads its configuration from /etc/iaxmodem/<name> but takes the name
    as given, so "../..<path>" reaches a file of ours and /etc is untouched."""
    if shutil.which("iaxmodem") is None:
        expect(os.environ.get("CI") != "true", "iaxmodem is missing: scripts/setup.sh installs it")
        print("skipped: iaxmodem is not installed")
        sys.exit(77)
    # It cuts the line's path short of 64 bytes: a folder with a short name.
    short = tempfile.mkdtemp(prefix="iax")
    link, config = (os.path.join(short, n) for n in ("ttyIAX", "iaxmodem.cfg"))
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:  # a UDP port of its own
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    owner = "%s:%s" % (pwd.getpwuid(os.getuid()).pw_name, grp.getgrgid(os.getgid()).gr_name)
    write(config, "device\t%s\nowner\t%s\nmode\t660\nport\t%d\nrefresh\t300\nserver\t127.0.0.1\n"
          "peername\ttarvelle-test\nsecret\tunused\ncodec\tslinear\n" % (link, owner, port))
    proc = subprocess.Popen(["iaxmodem", "../.." + config], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    deadline = time.monotonic() + 10
    while not os.path.lexists(link) and proc.poll() is None and time.monotonic() < deadline:
        time.sleep(0.05)  # iaxmodem says nothing once the link is there
    expect(os.path.lexists(link), "iaxmodem made no link", proc.poll())
    return proc, link


def iaxmodem_is_a_standard_modem(bench):
    proc, link = start_iaxmodem(bench)
    try:
        out = bench.run("show", "--any-modem", "--port", link)
        expect(out["dialect"] == "gci" and out["ident"] == "www.soft-switch.org", "modem", out)
        # Every profile key that is a number up to FF, in the profile's order.
        expect([c["key"] for c in out["supported"]] == ["00", "B5", "80", "81", "3D"],
               "the range's countries", out["supported"])
        expect(out["country"]["key"] == "00", "AT+GCI? gives the present country", out)
        before = read(bench.profile, "rb")
        error = bench.run("set", "--key", "B5", "--any-modem", "--port", link, code=1)["error"]
        expect(error["step"] == "AT+GCI?" and "reads back" in error["message"] and
               "after B5 was sent" in error["message"], "the read-back is no success", error)
        expect(read(bench.profile, "rb") == before, "nothing saved")
    finally:
        proc.terminate()  # iaxmodem removes its link
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        shutil.rmtree(os.path.dirname(link), ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(iaxmodem_is_a_standard_modem))
