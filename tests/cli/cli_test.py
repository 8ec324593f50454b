#!/usr/bin/env python3
"""The real tarvelle-cli, end to end, against simulated modems on
pseudo-terminals. Each case is one CTest test: cli_test.py CASE --cli COMMAND
--sim PATH --work DIR, where COMMAND is the program's path, or the words that
run it ("qemu-aarch64 -L /usr/aarch64-linux-gnu PATH"). What is checked is
what a user and the modem see: the exit code, stdout (JSON parsed), the
simulator's command log, the profile, and the port's state afterwards. The
other scripts here share this file's bench and runner. Which country a text
means, and the argument errors, are cli_core_test.cpp's."""

import argparse
import contextlib
import fcntl
import json
import os
import pathlib
import re
import resource
import shlex
import shutil
import signal
import subprocess
import sys
import termios
import time

import harness

try:
    import jsonschema
except ImportError:  # CI installs it (scripts/setup.sh); elsewhere the outputs go unchecked
    if os.environ.get("CI") == "true":
        raise
    jsonschema = None

SCHEMAS = pathlib.Path(__file__).resolve().parents[2] / "docs" / "json"
COMMANDS = ("scan", "show", "set", "reapply", "countries")

TIOCGEXCL = 0x80045440  # Linux: whether the tty is in exclusive mode

PROFILE = """\
[tolvx]
00=Japan,jp,00
B5=United States,us,B5
K4=United Kingdom,gb,B4
80=Niger,ne,80
81=Nigeria,ng,81
3D=France,fr,3D
; 3E=Old France,fr,3E
"""
NC_LIST = "00,B5,B4,80,81)"
GCI_LIST = "+GCI: (00,b5,K4,80,81)"  # a key listed in the modem's own case shows as the profile's
JAPAN = {"key": "00", "name": "Japan", "code": "00"}
UK = {"key": "K4", "name": "United Kingdom", "code": "B4"}
IDENT = "ACF3_V1 simulated data modem"
AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([str(message)] + [repr(d) for d in details]))


def write(path, text, mode=None):
    with open(path, "w") as f:
        f.write(text)
    if mode is not None:
        os.chmod(path, mode)


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def drop_stale_lock(path):
    """Removes a UUCP lock whose process is gone, as any program may."""
    try:
        os.kill(int(read(path).split()[0]), 0)
    except (FileNotFoundError, IndexError, ValueError):
        return
    except ProcessLookupError:
        os.unlink(path)
    except PermissionError:
        pass  # alive


class Bench:
    """A case's folder: simulated modems, a profile, and runs of the program."""

    def __init__(self, args):
        self.sim_exe, self.work = args.sim, args.work
        self.cli = self.program(shlex.split(args.cli))
        self.runner = []  # what the program is started under, such as setpriv
        self.sims = {}
        self.profile = os.path.join(self.work, "TOLVEX.INI")
        self.write_profile(PROFILE)
        self.own_locks = os.path.join(self.work, "locks")
        os.makedirs(self.own_locks)

    def program(self, words):
        """One executable that runs `words`, so that every case can start it,
        trace it or hand it to a shell as it would the program itself."""
        self.emulated = len(words) > 1
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
        write(config, "".join("%s = %s\n" % item for item in settings.items()))
        link = os.path.join(self.work, name)
        self.sims[name] = harness.Simulator(self.sim_exe, link, config=config,
                                            log=link + ".log", state=state)
        drop_stale_lock(self.lock(name))  # a pty's number is used again after its end
        return link

    def stop(self, name):
        planted = self.locks != self.own_locks and hasattr(self.sims[name], "slave")
        if planted and os.path.lexists(self.lock(name)):
            os.unlink(self.lock(name))  # one a case planted in the system's folder
        self.sims.pop(name).stop()

    def commands(self, name):
        return self.sims[name].commands()

    @property
    def locks(self):
        """The lock folder of the program as the bench runs it: root's is
        the system's, whatever the environment says."""
        return "/var/lock" if os.geteuid() == 0 and not self.runner else self.own_locks

    def lock(self, name):
        """The UUCP lock file of a simulated modem's line."""
        return os.path.join(self.locks, "LCK.." + self.sims[name].slave[5:].replace("/", "_"))

    def locks_left(self):
        """The lock files left in the lock folder: there, those of this
        bench's modems; in the bench's own, any."""
        if self.locks == self.own_locks:
            return os.listdir(self.locks)
        return [n for n in self.sims if os.path.lexists(self.lock(n))]

    def env(self, **more):
        env = dict(os.environ, TARVELLE_PROFILE=self.profile, TARVELLE_LOCK_DIR=self.own_locks)
        env.pop("TARVELLE_TRACE", None)
        return dict(env, **more)

    def start(self, *args, env=None, **popen):
        popen.setdefault("stdout", subprocess.PIPE)
        popen.setdefault("stderr", subprocess.PIPE)
        return subprocess.Popen(self.runner + [self.cli] + list(args), stdin=subprocess.DEVNULL,
                                text=True, env=env or self.env(), **popen)

    def call(self, *args, env=None):
        """Runs the program to its end; gives (exit code, stdout and stderr)."""
        proc = self.start(*args, env=env)
        out, err = proc.communicate(timeout=60)
        return proc.returncode, out + err

    def run(self, *args, code=0):
        """Runs the program with --json; gives its parsed output. Keeps the
        time it took and the processor time it used in self.took."""
        used, started = resource.getrusage(resource.RUSAGE_CHILDREN), time.monotonic()
        proc = self.start("--json", *args)
        out, err = proc.communicate(timeout=60)
        expect(proc.returncode == code, "exit code of %s" % " ".join(args), proc.returncode, out,
               err)
        now = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.took = (time.monotonic() - started,
                     now.ru_utime + now.ru_stime - used.ru_utime - used.ru_stime)
        return self.parsed(args, out)

    def parsed(self, args, out):
        """The --json output of the program run with `args`, held to its
        command's schema in docs/json (the error shape's for a failure)."""
        out = json.loads(out)
        if jsonschema is not None:
            command = next((a for a in args if a in COMMANDS), None)
            name = "error" if "error" in out and command != "scan" else command
            schema_validator(name or "error").validate(out)
        return out

    def choice(self):
        found = re.search(r"^\[cccfg\]\r?\ncc=(.*?)\r?$", read(self.profile), re.M)
        return found.group(1) if found else None

    def close(self):
        self.runner = []
        for name in list(self.sims):
            self.stop(name)


def schema_validator(name):
    """A validator of docs/json/<name>.schema.json, its references read from there."""
    path = SCHEMAS / (name + ".schema.json")
    schema = json.loads(path.read_text())
    try:
        from referencing import Registry, Resource
    except ImportError:  # jsonschema before 4.18 resolves references itself
        resolver = jsonschema.RefResolver(base_uri=path.as_uri(), referrer=schema)
        return jsonschema.Draft202012Validator(schema, resolver=resolver)
    registry = Registry().with_resources(
        (p.as_uri(), Resource.from_contents(json.loads(p.read_text())))
        for p in SCHEMAS.glob("*.schema.json"))
    return jsonschema.Draft202012Validator({"$ref": path.as_uri()}, registry=registry)


def sets(commands):
    """The set-country commands among a modem's commands."""
    return [c for c in commands if c.startswith(("AT*nc", "AT+GCI=")) and "?" not in c]


def wait_for_command(bench, name, command, timeout=10, times=1):
    deadline = time.monotonic() + timeout
    while bench.commands(name).count(command) < times and time.monotonic() < deadline:
        time.sleep(0.01)  # polling the simulator's log file, not the program
    expect(bench.commands(name).count(command) >= times, "the modem was sent " + command)


@contextlib.contextmanager
def held(path):
    """The port opened and flock()ed, as another program would hold it."""
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        yield
    finally:
        os.close(fd)


# A holder of a port, as any local user may start one: the port opened as
# `how` says, in a process named `name`; `more` descriptors besides, spread
# over a chain of processes under the hard limit of 20,000 a process has here.
HOLDER = r"""
import ctypes, os, sys, threading, time
libc = ctypes.CDLL(None)
port, how, name, more = sys.argv[1], sys.argv[2], os.fsencode(sys.argv[3]), int(sys.argv[4])
while more > 19000 and os.fork() == 0:
    more -= 19000
held = threading.Event()
def hold():
    if how == "own table":
        libc.unshare(0x400)  # CLONE_FILES
    fd = os.open(port, os.O_PATH if how == "O_PATH" else os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    for _ in range(min(more, 19000)):
        os.dup(fd)
    held.set()
    time.sleep(600)
libc.prctl(15, name)  # PR_SET_NAME
threading.Thread(target=hold, daemon=how != "main gone").start()
held.wait()
os.write(1, b"held\n")  # one write: the chain's processes share the pipe
libc.pthread_exit(None) if how == "main gone" else time.sleep(600)
"""


@contextlib.contextmanager
def holding(port, how, name=b"holder", user="root", more=0):
    proc = subprocess.Popen((AS_NOBODY if user == "nobody" else []) + [
        sys.executable, "-c", HOLDER, port, how, name, str(more)], stdout=subprocess.PIPE,
        start_new_session=True)
    try:
        for _ in range(1 + max(more - 1, 0) // 19000):  # each process of the chain
            expect(proc.stdout.readline() == b"held\n", "holding", how)
        yield proc.pid
    finally:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


# --- cases -------------------------------------------------------------------


def scan_finds_modems_and_reports_the_rest(bench):
    ports = [bench.modem("nc"), bench.modem("gci", "gci", country="K4"),
             bench.modem("other", ident="ACF3_V1 second line", country="B4"),
             os.path.join(bench.work, "absent"), bench.modem("held"),
             bench.modem("foreign", ident="Generic Fax Modem 2.0"),
             bench.modem("uucp")]
    write(bench.lock("uucp"), "%10d\n" % os.getpid())  # a live holder
    with held(ports[4]):
        out = bench.run("scan", *[a for p in ports for a in ("--port", p)])
    expect(out["modems"] == [
        {"port": ports[0], "ident": IDENT, "dialect": "nc", "country": JAPAN},
        {"port": ports[1], "ident": IDENT, "dialect": "gci", "country": UK},
        {"port": ports[2], "ident": "ACF3_V1 second line", "dialect": "nc", "country": UK},
    ], "modems", out["modems"])
    expect(out["rejected"] == [{"port": ports[5], "ident": "Generic Fax Modem 2.0"}], "rejected",
           out["rejected"])
    reasons = {u["port"]: u["reason"] for u in out["unavailable"]}
    me = "process %d (%s)" % (os.getpid(), read("/proc/self/comm").strip())
    expect(set(reasons) == {ports[3], ports[4], ports[6]} and
           reasons[ports[3]].startswith("missing") and reasons[ports[4]] == "in use by " + me and
           "locked by process %d" % os.getpid() in reasons[ports[6]], "unavailable", reasons)
    expect(bench.commands("foreign") == ["\\rATV1\\r", "ATV1i3\\r"],
           "a rejected device gets nothing after the probe", bench.commands("foreign"))
    expect(bench.commands("held") == [] and bench.commands("uucp") == [], "busy ports untouched")
    out = bench.run("scan", "--port", ports[5], "--port", ports[3], code=3)
    expect(out["modems"] == [] and out["error"]["exit"] == 3, "no modem", out)
    out = bench.run("scan", "--port", ports[3], code=4)  # a scan of one port fails on it
    expect(out["error"]["port"] == ports[3], "the port named", out)


def show_both_dialects(bench):
    for dialect in ("nc", "gci"):
        port = bench.modem(dialect, dialect, country="B5", note="CCB5")
        out = bench.run("show", "--port", port)
        expect(out["dialect"] == dialect and out["country"]["key"] == "B5", dialect, out)
        keys = [c["key"] for c in out["supported"]]
        expect(keys == ["00", "B5", "K4", "80", "81"] and out["supported"][2] == UK, "listed", out)
    # Ports probed at once: each line names its own.
    ports = [port, bench.modem("nc", "nc")]
    _, said = bench.call("scan", "--verbose", *[a for p in ports for a in ("--port", p)])
    for p in ports:
        expect(re.search(r"^\d\d:\d\d:\d\d\.\d{6} %s -> \\rATV1\\r$" % re.escape(p), said,
                         re.M) and
               re.search(r"^\S+ %s <- .*\\r\\nOK\\r\\n$" % re.escape(p), said, re.M), "verbose",
               p, said)


SAME = {"country": "B5", "note": "CCB5"}  # set already, the note naming it
# (the modem, arguments, exit code, whether it changed or the step that
# failed followed by words its message gives, the last commands the modem
# saw, the choice saved)
WAKE, Z, I5 = "\\rATV1\\r", "ATz\\r", "ATi5\\r"
SETS = [
    ({}, ["GB"], 0, True, [WAKE, "AT*ncB4\\r", Z, I5, "ATi9##\\r", "ATi9ccK4#\\r"], "K4"),
    # An AT+GCI modem is sent the key as the profile spells it.
    ({"dialect": "gci"}, ["--key", "k4"], 0, True, [WAKE, "AT+GCI=K4\\r", Z, I5], "K4"),
    (SAME, ["us", "--force"], 0, True, [WAKE, "AT*ncB5\\r", Z, I5], "B5"),
    ({"fault.ncset": "error"}, ["gb"], 1, ["AT*ncB4"] * 2, [WAKE, "AT*ncB4\\r"], None),
    ({"fault.ncset": "silent"}, ["gb"], 1, ["AT*ncB4"] * 2, [WAKE, "AT*ncB4\\r"], None),
    ({"fault.z": "error"}, ["gb"], 1, ["ATz"] * 2, [WAKE, "AT*ncB4\\r", Z], None),
    ({"fault.ncset": "hangup"}, ["gb"], 1, ["AT*ncB4"] * 2, [WAKE, "AT*ncB4\\r"], None),
    # Hung up at the read's wake-up: its retry's write is refused, and that is the failure.
    ({"fault.v1": "hangup skip:1"}, ["gb"], 4, ["ATV1", "took no write"], [WAKE], None),
    ({"reply.i5": "ATi5\\r\\r\\n00\\r\\n\\r\\nOK\\r\\n"}, ["us"], 1, ["ATi5", "00", "B5"],
     [WAKE, "AT*ncB5\\r", Z, I5], None),
    # Set already, but its note names another country, which a read would take.
    ({"country": "B4", "note": "CC00"}, ["gb"], 0, True, [I5, "ATi9\\r", "ATi9##\\r", "ATi9ccK4#\\r"],
     "K4"),
]


def set_applies_saves_or_names_the_failed_step(bench):
    for i, (modem, args, code, outcome, tail, saved) in enumerate(SETS):
        bench.write_profile(PROFILE)
        before = read(bench.profile, "rb")
        out = bench.run("set", *args, "--port", bench.modem("m%d" % i, **modem), code=code)
        if code == 0:
            expect(out["changed"] is outcome and out["country"]["key"] == saved and
                   out["dialect"] == modem.get("dialect", "nc"), args, out)
        else:
            port = bench.sims["m%d" % i].link
            expect(out["error"]["step"] == outcome[0] and out["error"]["port"] == port and
                   out["error"]["message"].startswith(port + ": ") and
                   all(w in out["error"]["message"] for w in outcome[1:]), args, out)
        sent = bench.commands("m%d" % i)
        expect(sent[len(sent) - len(tail):] == tail and sets(sent) == sets(tail), "sent", args,
               sent)
        expect(bench.choice() == saved if saved else read(bench.profile, "rb") == before,
               "saved", args, read(bench.profile))
        # Waiting out a silent or hung-up modem costs next to no processor time
        # (under an emulator, translating the program costs some of its own).
        expect(bench.emulated or bench.took[1] < 0.5 + bench.took[0] / 4, "no busy wait", args,
               bench.took)
        bench.stop("m%d" % i)


# (the modem, the saved choice, the command, whether it would change): each
# is run with --check, then for real, then for real again.
CHECKS = [
    ({}, None, ["set", "gb"], True),
    ({"dialect": "gci"}, None, ["set", "gb"], True),
    (SAME, "B5", ["set", "us"], False),
    (SAME, None, ["set", "us"], True),  # only the choice would be saved
    (dict(SAME, dialect="gci"), "B5", ["set", "--key", "B5"], False),
    ({"note": "CCB5"}, "B5", ["set", "us"], True),  # the note names the choice, the code Japan
    ({"country": "B5", "note": "CC00"}, "B5", ["set", "us"], True),  # only the note is stale
    ({}, "K4", ["reapply"], True),
    ({"note": "CCK4"}, "K4", ["reapply"], True),  # a note kept, its country lost
    ({"dialect": "gci", "country": "K4"}, "K4", ["reapply"], False),
    ({"supported": "00,B5,77)"}, None, ["show"], False),  # 77 would be recorded as unknown
    ({"country": "B5", "note": "CC00"}, None, ["show"], False),
]


def check_reads_and_decides_but_changes_nothing(bench):
    for i, (modem, saved, args, changes) in enumerate(CHECKS):
        bench.write_profile(PROFILE + ("[cccfg]\ncc=%s\n" % saved if saved else ""))
        before = read(bench.profile, "rb")
        port = bench.modem("m%d" % i, **modem)
        out = bench.run("--check", *args, "--port", port, code=5 if changes else 0)
        sent = bench.commands("m%d" % i)
        # The present country is the note's, as the dialog has it; where the
        # modem's code names another, "i5" names that one too.
        had = out["country" if args[0] == "show" else "before"]
        stale = modem.get("note", "CC" + modem.get("country", "00"))[2:]
        expect(out["check"] is True and out.get("changed", False) is changes and
               had["key"] == stale and out.get("i5", had)["key"] == modem.get("country", "00") and
               ("i5" in out) == (stale != modem.get("country", "00")), "check", args, out)
        expect(sets(sent) == [] and Z not in sent and
               not [c for c in sent if c.startswith(("ATi9#", "ATi9cc"))], "only reads", args, sent)
        expect(read(bench.profile, "rb") == before, "nothing written", args, read(bench.profile))
        if args[0] == "show":
            # The real command tells the same, down to the keys it records.
            real = bench.run(*args, "--port", port)
            expect(real == dict(out, check=False), "real", args, real)
            _, text = bench.call(*args, "--port", port)
            expect(("ATi5 code:" in text) == ("i5" in out), "text", args, text)
            continue
        # The real command decides the same; run again, it has nothing to do
        # unless forced.
        for again in (changes, "--force" in args):
            real = bench.run(*args, "--port", port)
            expect(real["changed"] is again and real["country"] == out["country"], "real", args,
                   real)
        bench.stop("m%d" % i)


def set_refuses_unknown_ambiguous_and_unlisted(bench):
    port = bench.modem("nc")
    before = read(bench.profile, "rb")
    for args, words in ((["nig"], ["ambiguous", "Niger [80]", "Nigeria [81]"]),
                        (["france"], ["does not list France [3D]", "Nigeria [81]"]),
                        (["old france"], ["unknown country"]),  # a comment, not an entry
                        (["--key", "zz"], ["no country has the key zz"]), ([], [])):
        out = bench.run("set", *args, "--port", port, code=2)
        expect(out["error"]["exit"] == 2 and all(w in out["error"]["message"] for w in words),
               " ".join(args), out)
    expect(sets(bench.commands("nc")) == [], "nothing was set")
    expect(read(bench.profile, "rb") == before, "the profile is untouched")


def reapply_needs_a_saved_choice_the_modem_lists(bench):
    # A modem that lost its country is set again by the check table's rows.
    bench.run("reapply", "--port", bench.modem("none"), code=2)  # nothing saved yet
    bench.write_profile(PROFILE + "[cccfg]\ncc=3D\n")
    out = bench.run("reapply", "--port", bench.modem("last"), code=2)
    expect("does not list France" in out["error"]["message"], "unlisted", out)


def the_choice_is_saved_before_the_note(bench):
    # The profile's writers' lock is held from the moment the set command
    # reaches the modem: the note waits for the save, and a modem that then
    # refuses the note leaves the choice saved.
    for name, refuses, code in (("ok", {}, 0), ("refused", {"fault.i9clear": "error"}, 1)):
        bench.write_profile(PROFILE)
        port = bench.modem(name, **{"fault.ncset": "delay:300"}, **refuses)
        with open(bench.profile + ".lock", "w") as held:
            proc = bench.start("--json", "set", "gb", "--port", port)
            wait_for_command(bench, name, "AT*ncB4\\r")
            fcntl.flock(held, fcntl.LOCK_EX)
            wait_for_command(bench, name, I5, times=2)  # the read's, then the apply's
            time.sleep(0.3)  # a note sent before the save would be in the log by now
            expect("ATi9##\\r" not in bench.commands(name), "no note while the save waits", name)
        out, err = proc.communicate(timeout=30)
        expect(proc.returncode == code and bench.choice() == "K4", name, out, err)
        expect(bench.commands(name)[-1] == ("ATi9ccK4#\\r" if code == 0 else "ATi9##\\r"), name,
               bench.commands(name))


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
    wait_for_command(bench, "nc", "AT*ncB4\\r")
    fd = os.open(port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)  # root passes TIOCEXCL
    try:
        expect(fcntl.ioctl(fd, TIOCGEXCL, b"\0\0\0\0") != b"\0\0\0\0", "exclusive while talking")
        proc.send_signal(signal.SIGINT)
        _, err = proc.communicate(timeout=10)
        expect(proc.returncode == 130 and port + ": interrupted" in err, "exit code",
               proc.returncode, err)
        expect(termios.tcgetattr(fd) == before, "line settings restored")
        expect(fcntl.ioctl(fd, TIOCGEXCL, b"\0\0\0\0") == b"\0\0\0\0", "exclusive mode ended")
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)  # raises if still held
        expect(bench.locks_left() == [], "UUCP lock released", bench.locks_left())
        expect(bench.choice() is None, "nothing saved")
    finally:
        os.close(fd)


def main(*cases):
    """Runs the case of `cases` named on the command line."""
    cases = {f.__name__: f for f in cases}
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(cases))
    for name in ("cli", "sim", "work"):
        parser.add_argument("--" + name, required=True)
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
    sys.exit(main(
        scan_finds_modems_and_reports_the_rest, show_both_dialects,
        set_applies_saves_or_names_the_failed_step, check_reads_and_decides_but_changes_nothing,
        set_refuses_unknown_ambiguous_and_unlisted,
        reapply_needs_a_saved_choice_the_modem_lists,
        the_choice_is_saved_before_the_note, interrupt_closes_the_port_and_restores_it))
