#!/usr/bin/env python3
"""--borrow against the real mgetty and HylaFAX's faxgetty, Debian's,
waiting on a simulated modem under a small supervisor that starts the getty
again when it exits, as init or systemd would. mgetty takes its line's name under /dev, and the program must
make its lock under the same name: a pty opens only through its devpts inode,
so it is bind-mounted onto an empty file /dev/ttyTV<pid>. mgetty's config,
log and lock folders are fixed when it is built: settings go in as options,
its log is read from /var/log/mgetty, and the locks are the real /var/lock.
faxgetty takes its spool folder (config, status) as an option: one in the
case's folder, owned by uucp, whose rights faxgetty takes for its files.
Run as cli_test.py is: mgetty_test.py CASE --cli PATH --sim PATH --work DIR."""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

from cli_test import AS_NOBODY, expect, main, write

TTY = "ttyTV%d" % os.getpid()  # runs that overlap under ctest -j2 stay apart
DEV = "/dev/" + TTY
LOCK = "/var/lock/LCK.." + TTY
LOG = "/var/log/mgetty/mg_%s.log" % TTY
# Its set-up is one AT: the simulated modem need not play every modem mgetty knows.
MGETTY = ["mgetty", "-x", "4", "-s", "38400", "-m", '"" AT OK', TTY]
MGETTY_INIT = "AT\\r"
FAXGETTY_INIT = "ATZ\\r"
# A class 1 fax modem, as faxgetty wants one: the classes and its rates.
FAX_MODEM = {"fclass": "0,1", "reply.ftmlist": "\\r\\n24,48,72,96\\r\\n\\r\\nOK\\r\\n",
             "reply.frmlist": "\\r\\n24,48,72,96\\r\\n\\r\\nOK\\r\\n",
             "reply.fthlist": "\\r\\n3\\r\\n\\r\\nOK\\r\\n",
             "reply.frhlist": "\\r\\n3\\r\\n\\r\\nOK\\r\\n"}
FAX_CONFIG = """\
CountryCode: 1
AreaCode: 415
FAXNumber: +1.415.555.1212
ModemType: Class1
ModemRate: 38400
ModemFlowControl: none
UUCPLockDir: /var/lock
UUCPLockType: ascii
"""
WAKE_UP = "\\rATV1\\r"
HINT = "--borrow takes the port from a getty that gives way to a UUCP lock"
DID_NOT_LET_GO = "which did not let go of it"
IN_A_CALL = "which holds its UUCP lock %s: it is in a call or sending a fax" % LOCK


def poll(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        expect(time.monotonic() < deadline, "timed out waiting: " + what)
        time.sleep(0.02)  # polling another program's files, not ours


def holds(pid, device):
    """Whether process `pid` has the tty `device` open."""
    try:
        fds = os.listdir("/proc/%d/fd" % pid)
    except OSError:
        return False
    for fd in fds:
        try:
            if os.stat("/proc/%d/fd/%s" % (pid, fd)).st_rdev == device:
                return True
        except OSError:
            pass
    return False


class Line:
    """The simulated modem's pty at DEV, and what holds it: mgetty under a
    supervisor (as `user`), a plain process that knows nothing of locks, or
    nothing."""

    def __init__(self, bench, holder, user, settings):
        tool = "faxgetty" if holder == "faxgetty" else "mgetty"
        missing = tool + " is not installed" if shutil.which(tool) is None else \
            "not root: no bind mount under /dev" if os.geteuid() != 0 else None
        if missing:
            expect(os.environ.get("CI") != "true", missing + " (scripts/setup.sh installs it)")
            print("skipped: " + missing)
            sys.exit(77)
        self.bench, self.stopping, self.getty, self.starts = bench, False, None, 0
        self.fax = holder == "faxgetty"
        bench.modem("modem", **dict(FAX_MODEM if self.fax else {}, **settings))
        slave = bench.sims["modem"].slave
        os.chmod(slave, 0o666)
        write(DEV, "")
        subprocess.run(["mount", "--bind", slave, DEV], check=True)
        self.device = os.stat(DEV).st_rdev
        for path in (LOG, LOCK):
            if os.path.exists(path):
                os.unlink(path)
        self.runner, self.command = AS_NOBODY if user == "nobody" else [], MGETTY
        if self.fax:
            self.spool = os.path.join(bench.work, "spool")
            for folder in ("etc", "status", "log", "tmp", "info", "recvq"):
                os.makedirs(os.path.join(self.spool, folder))
            write(os.path.join(self.spool, "etc", "config." + TTY), FAX_CONFIG)
            os.mkfifo(os.path.join(self.spool, "FIFO"))
            subprocess.run(["chown", "-R", "uucp:uucp", self.spool], check=True)
            self.command = ["faxgetty", "-q", self.spool, TTY]
        if holder in ("mgetty", "faxgetty"):
            write(LOG, "")
            shutil.chown(LOG, user)  # mgetty as nobody cannot make it in /var/log/mgetty
            self.supervisor = threading.Thread(target=self.supervise)
            self.supervisor.start()
            self.ready(1)
        elif holder == "plain":
            self.plain = os.open(DEV, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def supervise(self):
        while not self.stopping:
            self.getty = subprocess.Popen(self.runner + self.command, stdin=subprocess.DEVNULL,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.starts += 1
            self.getty.wait()

    def ready(self, starts=0):
        """Waits until the getty's start number `starts` (or a later one) has
        set the modem up and waits for a call, holding the port and no lock."""
        poll(lambda: self.starts >= starts and self.idle() and
             holds(self.getty.pid, self.device) and not os.path.exists(LOCK), 40,
             "the getty's start %d" % starts)

    def idle(self):
        if self.fax:
            status = os.path.join(self.spool, "status", TTY)
            return os.path.exists(status) and open(status).read().startswith("Running and idle")
        return self.log().count("waiting...") >= self.starts

    def log(self):
        with open(LOG, errors="replace") as f:
            return f.read()

    def close(self):
        self.stopping = True
        if self.getty is not None:
            while self.supervisor.is_alive():
                self.getty.terminate()
                self.supervisor.join(0.1)
        if hasattr(self, "plain"):
            os.close(self.plain)
        subprocess.run(["umount", DEV])
        for path in (DEV, LOG, LOCK):
            if os.path.exists(path):
                os.unlink(path)


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
    for path, mode in ((bench.work, 0o777), (bench.profile, 0o666)):
        os.chmod(path, mode)
    bench.runner = AS_NOBODY
    return {"TARVELLE_DEV_ROOT": os.path.dirname(dev), "TARVELLE_SYS_ROOT": sysfs}


SET = ["set", "gb", "--borrow", "--port", DEV]
APPLIED = "the set command and ATz"

# holder (its user), the modem's faults, the arguments, what else is planted
# ("lock": a live lock of the holder's own; "saved": a choice to reapply;
# "search": the test roots), a signal sent once the wake-up is out, the exit
# code, words of its message, what the modem gets from us, whether the port
# goes back to the getty afterwards.
CASES = {
    "set_borrows_the_port_from_mgetty": (
        "mgetty", "root", {}, SET, None, None, 0, None, APPLIED, True),
    "reapply_waits_and_borrows": (
        "mgetty", "root", {}, ["reapply", "--borrow", "--wait", "20", "--port", DEV], "saved",
        None, 0, None, APPLIED, True),
    "set_borrows_the_port_from_faxgetty": (
        "faxgetty", "root", {}, SET, None, None, 0, None, APPLIED, True),
    "a_search_borrows_as_nobody": (
        "mgetty", "nobody", {}, ["set", "gb", "--borrow"], "search", None, 0, None, APPLIED,
        True),
    "a_ring_is_never_an_answer": (
        "mgetty", "root", {"fault.i5": "ring"}, SET, None, None, 0, None, APPLIED, True),
    "sigterm_while_waiting_gives_the_port_back": (
        "mgetty", "root", {"echo": "0", "fault.v1": "delay:3000 x1"}, SET, None, signal.SIGTERM, 143,
        "interrupted", [WAKE_UP], "kept"),
    "without_borrow_the_port_is_left_alone": (
        "mgetty", "root", {}, ["show", "--port", DEV], None, None, 4, HINT, [], False),
    "a_getty_in_a_call_is_left_alone": (
        "mgetty", "root", {}, SET, "lock", None, 4, IN_A_CALL, [], False),
    "a_holder_deaf_to_locks_keeps_the_port": (
        "plain", "root", {}, SET, None, None, 4, DID_NOT_LET_GO, [WAKE_UP], False),
}


def case(name):
    def run(bench):
        holder, user, settings = CASES[name][:3]
        line = Line(bench, holder, user, settings)
        try:
            borrowed(bench, line, *CASES[name][3:])
        finally:
            line.close()
    run.__name__ = name
    return run


def borrowed(bench, line, args, planted, sent_signal, code, words, ours, back):
    env = dict(bench.env(), TARVELLE_LOCK_DIR="/var/lock")
    if planted == "saved":
        write(bench.profile, open(bench.profile, newline="").read() + "[cccfg]\r\ncc=K4\r\n")
    elif planted == "lock":
        write(LOCK, "%10d\n" % line.getty.pid)
    elif planted == "search":
        env.update(search_roots(bench))
    before = len(bench.commands("modem"))
    started = time.monotonic()
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
    if words is not None:
        expect(words in out["error"]["message"], "message", out, err)
    if code == 4:
        expect(out["error"]["holder"] == holder_of(line, words != IN_A_CALL), "holder", out)
    if sent_signal is not None:
        expect(time.monotonic() - signalled < 1, "the signal ends it at once", took)
    if words == IN_A_CALL:
        expect(took < 1, "no wait for a getty in a call", took)
        os.unlink(LOCK)
    if ours == APPLIED:  # the wake-up of the borrow, then the whole conversation
        expect(mine[:2] == [WAKE_UP, WAKE_UP] and "AT*ncB4\\r" in mine and
               mine[mine.index("AT*ncB4\\r") + 1] == "ATz\\r", "set", mine, out)
    else:
        expect(mine == ours, "what the modem got from us", mine)
    expect(not os.path.exists(LOCK), "no lock left behind")
    if back == "kept":  # the modem's late answer finds no lock: mgetty stays
        line.ready()
    elif back:
        expect(line.fax or "lock file exists" in line.log(), "mgetty stepped aside", mine)
        line.ready(1 if line.fax else 2)  # faxgetty waits for the lock; mgetty exits
        expect((FAXGETTY_INIT if line.fax else MGETTY_INIT) in
               bench.commands("modem")[before + len(mine):], "the getty set the modem up again")


def holder_of(line, borrowable=True):
    if line.getty is None:  # the plain holder is this test
        with open("/proc/self/comm") as f:
            return {"pid": os.getpid(), "name": f.read().strip(), "borrowable": borrowable}
    return {"pid": line.getty.pid, "name": line.command[0], "borrowable": borrowable}


if __name__ == "__main__":
    sys.exit(main(*[case(name) for name in CASES]))
