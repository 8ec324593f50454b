#!/usr/bin/env python3
"""--borrow against Debian's real mgetty and HylaFAX faxgetty on a simulated
modem, under a supervisor that starts the getty again when it exits. A getty
locks its line under its /dev name: the pty is bind-mounted onto an empty
file /dev/ttyTV<pid> (a mknod node of a pty gives EIO). mgetty's config, log
and lock folders are built in: options, /var/log/mgetty, the real /var/lock.
faxgetty gets a spool folder in the case's, owned by uucp (it runs as uucp).
Run as cli_test.py is: mgetty_test.py CASE --cli PATH --sim PATH --work DIR."""

import os
import shutil
import signal
import sys
import time

from cli_test import AS_NOBODY, expect, main, write
from getty_line import DEV, FAX_MODEM, FAXGETTY_INIT, LOCK, MGETTY_INIT, Line, poll

WAKE_UP = "\\rATV1\\r"
HINT = "--borrow takes the port from a getty that gives way to a UUCP lock"
DID_NOT_LET_GO = "which did not let go of it"
IN_A_CALL = "which holds its UUCP lock %s: it is in a call or sending a fax" % LOCK


def search_roots(bench):
    """A fake /dev whose ttyACM0 is DEV, and a sysfs that makes it a CDC-ACM
    AT device, for a search as nobody; gives the environment."""
    dev, sysfs = (os.path.join(bench.work, n) for n in ("search/dev", "sysfs"))
    os.makedirs(dev)
    os.symlink(DEV, os.path.join(dev, "ttyACM0"))
    device = os.path.join(sysfs, "sys/class/tty/ttyACM0/device")
    os.makedirs(device)
    os.symlink(os.path.join(sysfs, "sys/bus/usb/drivers/cdc_acm"), os.path.join(device, "driver"))
    write(os.path.join(device, "bInterfaceProtocol"), "01\n")
    os.chmod(bench.work, 0o777)
    os.chmod(bench.profile, 0o666)
    bench.runner = AS_NOBODY
    return {"TARVELLE_DEV_ROOT": os.path.dirname(dev), "TARVELLE_SYS_ROOT": sysfs}


SET, REAPPLY = ["set", "gb", "--borrow", "--port", DEV], ["reapply", "--borrow", "--wait", "20",
                                                          "--port", DEV]
APPLIED, SLOW = "the set command and ATz", {"echo": "0", "fault.v1": "delay:3000 x1"}

# holder, its user, the modem's faults, the arguments, what else is planted
# ("lock": a live lock of the holder's own; "saved": a choice to reapply;
# "search": the test roots), a signal sent during the wait, the exit code,
# words of its message, what the modem gets from us, and whether the getty
# steps aside and comes back ("kept": it never had to let go).
CASES = {
    "set_borrows_the_port_from_mgetty": ("mgetty", "root", {}, SET, None, None, 0, None, APPLIED,
                                         True),
    "reapply_waits_and_borrows": ("mgetty", "root", {}, REAPPLY, "saved", None, 0, None, APPLIED,
                                  True),
    "set_borrows_the_port_from_faxgetty": ("faxgetty", "root", {}, SET, None, None, 0, None,
                                           APPLIED, True),
    "a_search_borrows_as_nobody": ("mgetty", "nobody", {}, SET[:3], "search", None, 0, None,
                                   APPLIED, True),
    "a_ring_is_never_an_answer": ("mgetty", "root", {"fault.i5": "ring"}, SET, None, None, 0,
                                  None, APPLIED, True),
    "sigterm_while_waiting_gives_the_port_back": ("mgetty", "root", SLOW, SET, None,
                                                  signal.SIGTERM, 143, "interrupted", [WAKE_UP],
                                                  "kept"),
    "without_borrow_the_port_is_left_alone": ("mgetty", "root", {}, ["show", "--port", DEV],
                                              None, None, 4, HINT, [], False),
    "a_getty_in_a_call_is_left_alone": ("mgetty", "root", {}, SET, "lock", None, 4, IN_A_CALL,
                                        [], False),
    "a_holder_deaf_to_locks_keeps_the_port": ("plain", "root", {}, SET, None, None, 4,
                                              DID_NOT_LET_GO, [WAKE_UP], False),
}


def line_for(bench, holder, user, settings):
    """The modem, held by `holder`; skips (77) without the getty or root,
    unless CI=true."""
    tool = "faxgetty" if holder == "faxgetty" else "mgetty"
    missing = tool + " is not installed" if shutil.which(tool) is None else \
        "not root: no bind mount under /dev" if os.geteuid() != 0 else None
    if missing:
        expect(os.environ.get("CI") != "true", missing + " (scripts/setup.sh installs it)")
        print("skipped: " + missing)
        sys.exit(77)
    bench.modem("modem", **dict(FAX_MODEM if holder == "faxgetty" else {}, **settings))
    return Line(bench.sims["modem"].slave, bench.work, holder, user)


def borrowed(bench, holder, user, settings, args, planted, sent_signal, code, words, ours, back):
    line = line_for(bench, holder, user, settings)
    env = dict(bench.env(), TARVELLE_LOCK_DIR="/var/lock")
    try:
        if planted == "saved":
            write(bench.profile, open(bench.profile, newline="").read() + "[cccfg]\r\ncc=K4\r\n")
        elif planted == "lock":
            write(LOCK, "%10d\n" % line.getty.pid)
        elif planted == "search":
            env.update(search_roots(bench))
        before, started = len(bench.commands("modem")), time.monotonic()
        proc = bench.start("--json", *args, env=env)
        if sent_signal is not None:
            poll(lambda: WAKE_UP in bench.commands("modem")[before:], 10, "the wake-up")
            time.sleep(0.3)  # well into the wait for the getty
            proc.send_signal(sent_signal)
            signalled = time.monotonic()
        out, err = proc.communicate(timeout=60)
        took, mine = time.monotonic() - started, bench.commands("modem")[before:]
        expect(proc.returncode == code, "exit code", proc.returncode, out, err)
        out = bench.parsed(args, out)
        expect(words is None or words in out["error"]["message"], "message", out, err)
        expect(code != 4 or out["error"]["holder"] == holder_of(line, words != IN_A_CALL),
               "holder", out)
        expect(sent_signal is None or time.monotonic() - signalled < 1, "the signal ends it")
        expect(words != IN_A_CALL or took < 1, "no wait for a getty in a call", took)
        if words == IN_A_CALL:
            os.unlink(LOCK)
        if ours == APPLIED:  # the wake-up of the borrow, then the whole conversation
            expect(mine[:2] == [WAKE_UP, WAKE_UP] and "AT*ncB4\\r" in mine and
                   mine[mine.index("AT*ncB4\\r") + 1] == "ATz\\r", "set", mine, out)
        expect(ours == APPLIED or mine == ours, "what the modem got from us", mine)
        expect(not os.path.exists(LOCK), "no lock left behind")
        if back:  # faxgetty waits for the lock to go; mgetty exits and is started again
            again = 1 if line.fax or back == "kept" else 2
            expect(again == 1 or "lock file exists" in line.log(), "mgetty stepped aside")
            line.ready(again)
            expect(back == "kept" or (FAXGETTY_INIT if line.fax else MGETTY_INIT) in
                   bench.commands("modem")[before + len(mine):], "the getty set the modem up")
    finally:
        line.close()


def holder_of(line, borrowable=True):
    pid, name = (line.getty.pid, line.command[0]) if line.getty else \
        (os.getpid(), open("/proc/self/comm").read().strip())  # the plain holder is this test
    return {"pid": pid, "name": name, "borrowable": borrowable}


def case(name):
    run = lambda bench: borrowed(bench, *CASES[name])  # noqa: E731
    run.__name__ = name
    return run


if __name__ == "__main__":
    sys.exit(main(*[case(name) for name in CASES]))
