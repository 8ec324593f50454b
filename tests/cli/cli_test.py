#!/usr/bin/env python3
"""The real tarvelle-cli, end to end, against simulated modems on
pseudo-terminals. Each case is one CTest test: cli_test.py CASE --cli COMMAND
--sim PATH --work DIR, where COMMAND is the program's path, or the words that
run it ("qemu-aarch64 -L /usr/aarch64-linux-gnu PATH"). What is checked is
what a user and the modem see: the exit code, stdout (JSON parsed), the
simulator's command log, the profile, and the port's state afterwards."""

import argparse
import contextlib
import fcntl
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import termios
import time

import harness

TIOCGEXCL = 0x80045440  # Linux: whether the tty is in exclusive mode

PROFILE = """\
[tolvx]
00=Japan,jp,00
B5=United States,us,B5
K4=United Kingdom,gb,B4
80=Niger,ne,80
81=Nigeria,ng,81
3D=France,fr,3D
"""
NC_LIST = "00,B5,B4,80,81)"
GCI_LIST = "+GCI: (00,B5,K4,80,81)"


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [repr(d) for d in details]))


class Bench:
    """A case's folder: simulated modems, a profile, and runs of the program."""

    def __init__(self, args):
        self.sim_exe, self.work = args.sim, args.work
        self.cli = self.program(shlex.split(args.cli))
        self.runner = []  # what the program is started under, such as setpriv
        self.sims = {}
        self.profile = os.path.join(self.work, "TOLVEX.INI")
        self.write_profile(PROFILE)
        self.locks = os.path.join(self.work, "locks")
        os.makedirs(self.locks)

    def program(self, words):
        """One executable that runs `words`, so that every case can start it,
        trace it or hand it to a shell as it would the program itself."""
        if len(words) == 1:
            return words[0]
        path = os.path.join(self.work, "tarvelle-cli")
        with open(path, "w") as f:
            f.write("#!/bin/sh\nexec %s \"$@\"\n" % " ".join(map(shlex.quote, words)))
        os.chmod(path, 0o755)
        return path

    def write_profile(self, text):
        with open(self.profile, "w", newline="") as f:
            f.write(text.replace("\n", "\r\n"))

    def modem(self, name, dialect="nc", state=None, **settings):
        """Starts a simulated modem linked at WORK/<name>; gives its link."""
        settings.setdefault("dialect", dialect)
        settings.setdefault("supported", GCI_LIST if dialect == "gci" else NC_LIST)
        config = os.path.join(self.work, name + ".cfg")
        with open(config, "w") as f:
            f.writelines("%s = %s\n" % item for item in settings.items())
        link = os.path.join(self.work, name)
        log = os.path.join(self.work, name + ".log")
        self.sims[name] = harness.Simulator(self.sim_exe, link, config=config, log=log,
                                            state=state)
        return link

    def stop(self, name):
        self.sims.pop(name).stop()

    def commands(self, name):
        return self.sims[name].commands()

    def env(self):
        env = dict(os.environ, TARVELLE_PROFILE=self.profile, TARVELLE_LOCK_DIR=self.locks)
        env.pop("TARVELLE_TRACE", None)
        return env

    def start(self, *args):
        return subprocess.Popen(self.runner + [self.cli] + list(args), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                env=self.env())

    def run(self, *args, code=0):
        """Runs the program with --json; gives its parsed output."""
        proc = self.start("--json", *args)
        out, err = proc.communicate(timeout=60)
        expect(proc.returncode == code, "exit code of %s" % " ".join(args), proc.returncode, out,
               err)
        return json.loads(out)

    def choice(self):
        with open(self.profile, newline="") as f:
            found = re.search(r"^\[cccfg\]\r?\ncc=(.*?)\r?$", f.read(), re.M)
        return found.group(1) if found else None

    def close(self):
        for sim in self.sims.values():
            sim.stop()


def sets(commands):
    """The set-country commands among a modem's commands."""
    return [c for c in commands if c.startswith(("AT*nc", "AT+GCI=")) and "?" not in c]


@contextlib.contextmanager
def held(path):
    """The port opened and flock()ed, as another program would hold it."""
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        yield
    finally:
        os.close(fd)


# --- cases -------------------------------------------------------------------


def scan_finds_modems_and_reports_the_rest(bench):
    ports = [bench.modem("nc"), bench.modem("gci", "gci", country="K4"),
             bench.modem("other", ident="ACF3_V1 second line", country="B4"),
             os.path.join(bench.work, "absent"), bench.modem("held"),
             bench.modem("foreign", ident="Generic Fax Modem 2.0"),
             bench.modem("uucp"), bench.modem("stale")]
    with open(os.path.join(bench.locks, "LCK.." + bench.sims["uucp"].slave[5:].replace("/", "_")),
              "w") as f:
        f.write("%10d\n" % os.getpid())  # a live holder
    stale = os.path.join(bench.locks, "LCK.." + bench.sims["stale"].slave[5:].replace("/", "_"))
    with open(stale, "w") as f:
        f.write("%10d\n" % 999999999)  # no such process
    with held(ports[4]):
        out = bench.run("scan", *[a for p in ports for a in ("--port", p)])
    expect(out["modems"] == [
        {"port": ports[0], "ident": "ACF3_V1 simulated data modem", "dialect": "nc",
         "country": {"key": "00", "name": "Japan", "code": "00"}},
        {"port": ports[1], "ident": "ACF3_V1 simulated data modem", "dialect": "gci",
         "country": {"key": "K4", "name": "United Kingdom", "code": "B4"}},
        {"port": ports[2], "ident": "ACF3_V1 second line", "dialect": "nc",
         "country": {"key": "K4", "name": "United Kingdom", "code": "B4"}},
        {"port": ports[7], "ident": "ACF3_V1 simulated data modem", "dialect": "nc",
         "country": {"key": "00", "name": "Japan", "code": "00"}},
    ], "modems", out["modems"])
    expect(out["rejected"] == [{"port": ports[5], "ident": "Generic Fax Modem 2.0"}], "rejected",
           out["rejected"])
    reasons = {u["port"]: u["reason"] for u in out["unavailable"]}
    expect(set(reasons) == {ports[3], ports[4], ports[6]}, "unavailable", reasons)
    expect(reasons[ports[3]].startswith("missing"), "absent path", reasons)
    with open("/proc/self/comm") as f:
        expect(reasons[ports[4]] == "in use by process %d (%s)" % (os.getpid(), f.read().strip()),
               "held port", reasons)
    expect("locked by process %d" % os.getpid() in reasons[ports[6]], "UUCP lock", reasons)
    expect(not os.path.exists(stale), "a stale lock is taken over, then released")
    expect(bench.commands("foreign") == ["\\rATV1\\r", "ATV1i3\\r"],
           "a rejected device gets nothing after the probe", bench.commands("foreign"))
    expect(bench.commands("held") == [] and bench.commands("uucp") == [], "busy ports untouched")


def scan_without_a_modem_exits_3(bench):
    foreign = bench.modem("foreign", ident="Generic Fax Modem")
    out = bench.run("scan", "--port", foreign, "--port", bench.work + "/absent", code=3)
    expect(out["modems"] == [] and out["error"]["exit"] == 3, "no modem", out)
    out = bench.run("show", "--port", foreign, code=3)
    expect("identification" in out["error"]["message"], "rejected", out)
    out = bench.run("show", "--port", bench.work + "/absent", code=4)
    expect("missing" in out["error"]["message"], "missing port", out)


def show_both_dialects(bench):
    for dialect, listed_key in (("nc", "K4"), ("gci", "K4")):
        port = bench.modem(dialect, dialect, country="B5", note="CCB5",
                           ident="ACF3_V1 mod\\xE8le \\x80")
        out = bench.run("show", "--port", port)
        expect(out["dialect"] == dialect and out["country"]["key"] == "B5", dialect, out)
        expect(out["ident"] == "ACF3_V1 mod\u00e8le \u20ac", "Windows-1252 as UTF-8", out)
        keys = [c["key"] for c in out["supported"]]
        expect(keys == ["00", "B5", listed_key, "80", "81"], "supported keys", keys)
        uk = out["supported"][2]
        expect(uk == {"key": "K4", "name": "United Kingdom", "code": "B4"}, "key and code", uk)
    proc = bench.start("show", "--verbose", "--port", port)
    _, err = proc.communicate(timeout=30)
    expect(re.search(r"^\d\d:\d\d:\d\d\.\d{6} -> \\rATV1\\r$", err, re.M) and
           re.search(r"^\S+ <- .*\\r\\nOK\\r\\n$", err, re.M), "verbose", err)


# (dialect, arguments, set command sent, note written)
SET_CASES = [
    ("nc", ["GB"], "AT*ncB4\\r", True),
    ("nc", ["united kingdom"], "AT*ncB4\\r", True),
    ("nc", ["--key", "k4"], "AT*ncB4\\r", True),
    ("gci", ["gb"], "AT+GCI=K4\\r", False),
    ("gci", ["United Kingdom"], "AT+GCI=K4\\r", False),
    ("gci", ["--key", "K4"], "AT+GCI=K4\\r", False),
]


def set_by_picture_name_and_key(bench):
    for i, (dialect, args, sent, note) in enumerate(SET_CASES):
        name = "m%d" % i
        port = bench.modem(name, dialect)
        out = bench.run("set", *args, "--port", port)
        expect(out == {"port": port, "dialect": dialect, "changed": True,
                       "country": {"key": "K4", "name": "United Kingdom", "code": "B4"}},
               "set " + " ".join(args), out)
        tail = bench.commands(name)[-5:] if note else bench.commands(name)[-4:]
        wanted = ["\\rATV1\\r", sent, "ATz\\r", "ATi5\\r"] + (
            ["ATi9##\\r", "ATi9ccK4#\\r"] if note else [])
        expect(bench.commands(name)[-len(wanted):] == wanted, "the apply", tail)
        expect(bench.choice() == "K4", "saved choice", bench.choice())
        bench.stop(name)


def set_refuses_unknown_ambiguous_and_unlisted(bench):
    port = bench.modem("nc")
    with open(bench.profile, "rb") as f:
        before = f.read()
    for args, words in ((["atlantis"], ["unknown country"]),
                        (["nig"], ["ambiguous", "Niger [80]", "Nigeria [81]"]),
                        (["unit"], ["ambiguous", "United States", "United Kingdom"]),
                        (["france"], ["does not list France [3D]", "Nigeria [81]"]),
                        (["--key", "zz"], ["no country has the key zz"])):
        out = bench.run("set", *args, "--port", port, code=2)
        for word in words:
            expect(word in out["error"]["message"], " ".join(args), out)
    expect(sets(bench.commands("nc")) == [], "nothing was set")
    with open(bench.profile, "rb") as f:
        expect(f.read() == before, "the profile is untouched")
    # "Niger" is a whole name, though it is also the start of "Nigeria".
    out = bench.run("set", "niger", "--port", port)
    expect(out["country"]["key"] == "80", "niger", out)
    expect(sets(bench.commands("nc")) == ["AT*nc80\\r"], "sent", bench.commands("nc"))


def set_same_country_sends_nothing_unless_forced(bench):
    port = bench.modem("nc", country="B5", note="CCB5")
    out = bench.run("set", "us", "--port", port)
    expect(out["changed"] is False and out["country"]["key"] == "B5", "already set", out)
    expect(sets(bench.commands("nc")) == [], "no set command", bench.commands("nc"))
    expect(bench.choice() == "B5", "the choice is saved")
    out = bench.run("set", "us", "--port", port, "--force")
    expect(out["changed"] is True, "forced", out)
    expect(sets(bench.commands("nc")) == ["AT*ncB5\\r"], "forced set", bench.commands("nc"))


# (fault, step named, exit code)
FAILURES = [
    ("fault.ncset", "error", "AT*ncB4"),
    ("fault.ncset", "silent", "AT*ncB4"),
    ("fault.z", "error", "ATz"),
    ("fault.z", "silent", "ATz"),
    ("fault.ncset", "hangup", "AT*ncB4"),
]


def failures_name_the_step_and_leave_the_profile(bench):
    with open(bench.profile, "rb") as f:
        before = f.read()
    for i, (fault, kind, step) in enumerate(FAILURES):
        name = "m%d" % i
        port = bench.modem(name, **{fault: kind})
        out = bench.run("set", "gb", "--port", port, code=1)
        expect(out["error"]["step"] == step and step in out["error"]["message"], kind, out)
        with open(bench.profile, "rb") as f:
            expect(f.read() == before, "profile untouched after %s %s" % (fault, kind))
        bench.stop(name)


def read_back_that_differs(bench):
    port = bench.modem("nc", **{"reply.i5": "ATi5\\r\\r\\n00\\r\\n\\r\\nOK\\r\\n"})
    out = bench.run("set", "us", "--port", port, code=1)
    message = out["error"]["message"]
    expect("00" in message and "B5" in message and out["error"]["step"] == "ATi5", "both", out)
    expect(bench.choice() is None, "nothing saved", bench.choice())


def reapply_after_the_modem_forgot(bench):
    for dialect in ("nc", "gci"):
        bench.write_profile(PROFILE)
        bench.run("reapply", "--port", bench.modem(dialect, dialect), code=2)  # nothing saved
        state = os.path.join(bench.work, dialect + ".state")
        port = bench.modem(dialect + "2", dialect, state=state)
        bench.run("set", "gb", "--port", port)
        out = bench.run("reapply", "--port", port)
        expect(out["changed"] is False, "already set", out)
        count = len(sets(bench.commands(dialect + "2")))
        # Power off and on: the country is lost, the note is kept.
        bench.stop(dialect + "2")
        with open(state) as f:
            text = f.read()
        with open(state, "w") as f:
            f.write(re.sub(r"^country = .*$", "country = 00", text, flags=re.M))
        bench.modem(dialect + "2", dialect, state=state)
        out = bench.run("reapply", "--port", port)
        expect(out["changed"] is True and out["country"]["key"] == "K4", "reapplied", out)
        out = bench.run("reapply", "--port", port)
        expect(out["changed"] is False, "a second reapply sends nothing", out)
        expect(len(sets(bench.commands(dialect + "2"))) == 1, "one set since the restart",
               count, bench.commands(dialect + "2"))
        bench.stop(dialect)
        bench.stop(dialect + "2")
    # A saved entry that the modem does not list.
    bench.write_profile(PROFILE + "[cccfg]\ncc=3D\n")
    out = bench.run("reapply", "--port", bench.modem("last"), code=2)
    expect("does not list France" in out["error"]["message"], "unlisted", out)


def profile_starts_as_the_default(bench):
    own = os.path.join(bench.work, "home", "tarvelle", "TOLVEX.INI")
    bench.profile = own
    out = bench.run("countries")
    expect(len(out["countries"]) > 50 and not os.path.exists(own), "read from the default")
    gb = [c for c in out["countries"] if c["picture"] == "gb"]
    expect(gb == [{"key": "B4", "name": "United Kingdom", "picture": "gb", "code": "B4"}], "gb",
           gb)
    port = bench.modem("nc", supported="00,B4,B5)")
    bench.run("show", "--port", port)
    expect(not os.path.exists(own), "a read writes nothing")
    bench.run("set", "gb", "--port", port)
    with open(own) as f:
        text = f.read()
    expect("Vietnam" in text and re.search(r"^cc=B4\s*$", text, re.M), "copied, then written")


def interrupt_closes_the_port_and_restores_it(bench):
    port = bench.modem("nc", **{"fault.ncset": "delay:1200"})
    # Settings the program must put back; the simulator keeps the line open,
    # so they stay after this descriptor is closed.
    fd = os.open(port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = termios.B9600
    attrs[2] &= ~termios.CRTSCTS
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    before = termios.tcgetattr(fd)
    os.close(fd)  # a port another program has open is left alone
    proc = bench.start("set", "gb", "--port", port)
    deadline = time.monotonic() + 10
    while not sets(bench.commands("nc")) and time.monotonic() < deadline:
        time.sleep(0.01)  # polling the simulator's log file, not the program
    expect(sets(bench.commands("nc")), "the set command went out")
    fd = os.open(port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)  # root passes TIOCEXCL
    try:
        exclusive = fcntl.ioctl(fd, TIOCGEXCL, b"\0\0\0\0")
        expect(exclusive != b"\0\0\0\0", "exclusive while talking")
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=10)
        expect(proc.returncode == 130, "exit code", proc.returncode, err)
        expect("interrupted" in err, "message", err)
        expect(termios.tcgetattr(fd) == before, "line settings restored")
        expect(fcntl.ioctl(fd, TIOCGEXCL, b"\0\0\0\0") == b"\0\0\0\0", "exclusive mode ended")
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)  # raises if still held
        expect(os.listdir(bench.locks) == [], "UUCP lock released", os.listdir(bench.locks))
        expect(bench.choice() is None, "nothing saved")
    finally:
        os.close(fd)


def usage_errors_and_help(bench):
    for args in (["frobnicate"], ["set"], ["set", "gb", "--key", "B4"], ["show", "--force"],
                 ["--port"]):
        proc = bench.start("--json", *args)
        out, err = proc.communicate(timeout=10)
        expect(proc.returncode == 2 and json.loads(out)["error"]["exit"] == 2, "usage", args, out)
    proc = bench.start("--help")
    out, _ = proc.communicate(timeout=10)
    expect(proc.returncode == 0 and "reapply" in out, "help", out)


CASES = {f.__name__: f for f in [
    scan_finds_modems_and_reports_the_rest, scan_without_a_modem_exits_3, show_both_dialects,
    set_by_picture_name_and_key, set_refuses_unknown_ambiguous_and_unlisted,
    set_same_country_sends_nothing_unless_forced, failures_name_the_step_and_leave_the_profile,
    read_back_that_differs, reapply_after_the_modem_forgot, profile_starts_as_the_default,
    interrupt_closes_the_port_and_restores_it, usage_errors_and_help]}


def main(cases=None):
    """Runs one case of `cases` (this file's by default), named on the command line."""
    cases = cases or CASES
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(cases))
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    args.work = os.path.join(args.work, args.case)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    bench = Bench(args)
    try:
        cases[args.case](bench)
    finally:
        bench.close()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
