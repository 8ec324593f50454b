#!/usr/bin/env python3
"""tarvelle-cli run by root, tried as a local attacker would: links planted
under the names of the files it makes, a lock held to stall it, a lock that
changes under it, a path too long, a pipe closed early. And given what a
hostile device, profile or user would give it: terminal escapes in a modem's
answers, bytes that are not UTF-8, entries that would smuggle a command to
the modem, and paths that are no serial port. Each row plants, runs and
compares what must stay as it was."""

import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import termios
import time

from cli_test import (AS_NOBODY, PROFILE, expect, held, holding, main, read, sets, wait_for_command,
                      write)
from getty_line import bind_under_dev, unbind

# Root's own file, which a planted link points at; a profile's text, so that
# a program fooled into reading it as the profile still goes on to write.
SECRET = "; root only\r\n[tolvx]\r\nB4=United Kingdom,gb,B4\r\n"


def shared_folder(bench):
    """A sticky folder anyone may write, as /tmp is, holding the profile."""
    folder = os.path.join(bench.work, "tmp")
    os.mkdir(folder)
    os.chmod(folder, 0o1777)
    os.chmod(bench.work, 0o755)
    return folder


def line_settings(port):
    """The port's termios, read without holding the port while the program runs."""
    fd = os.open(port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return termios.tcgetattr(fd)
    finally:
        os.close(fd)


# (name planted as a link to the secret, exit code expected)
PLANTED = [
    ("{locks}/LTMP.$$", 0),
    ("{profile}.new", 0),
    ("{profile}.$$.tmp", 0),
    ("{profile}.lock", 6),
    ("{profile}", 6),
    ("{lck}", 4),
]


def planted_links_are_never_followed(bench):
    folder = shared_folder(bench)
    for i, (planted, code) in enumerate(PLANTED):
        port = bench.modem("m%d" % i, supported="00,B4,B5)")
        secret = os.path.join(bench.work, "secret%d" % i)
        write(secret, SECRET, 0o600)
        absent = secret + ".absent"
        for victim, link in ((secret, "link"), (absent, "absent")):
            # Each time a profile not made yet: the first write copies the default.
            bench.profile = os.path.join(folder, "TOLVEX-%d-%s.INI" % (i, link))
            name = planted.format(locks=bench.locks, profile=bench.profile,
                                  lck=bench.lock("m%d" % i))
            script = 'for v in "$@"; do ln -sfn "$v" "%s"; done; exec "%s" set gb --port %s' % (
                name, bench.cli, port)
            proc = subprocess.run(["sh", "-c", script, "sh", victim], env=bench.env(),
                                  capture_output=True, text=True, timeout=30)
            expect(proc.returncode == code, planted, link, proc.returncode, proc.stderr)
            expect(read(secret, "rb") == SECRET.encode(), "the secret stays as it was: " + planted)
            expect(not os.path.lexists(absent), "no file made through a link: " + planted)
            for path in [os.path.join(f, e) for f in (folder, bench.locks) for e in os.listdir(f)]:
                # Ours only, planted or left: the system's lock folder holds others' too.
                if os.readlink(path).startswith(bench.work) if os.path.islink(path) else (
                        path == bench.lock("m%d" % i)):
                    os.unlink(path)
        bench.stop("m%d" % i)


def a_held_profile_lock_never_stalls_root(bench):
    port = bench.modem("nc")
    before = line_settings(port)
    with open(bench.profile + ".lock", "w") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        proc = bench.start("set", "gb", "--port", port)
        wait_for_command(bench, "nc", "AT*ncB4\\r")
        time.sleep(0.3)  # into the wait for the lock; the outcome is the same either way
        proc.send_signal(signal.SIGTERM)
        sent = time.monotonic()
        proc.communicate(timeout=30)
        expect(proc.returncode == 143 and time.monotonic() - sent < 1.0, "SIGTERM",
               proc.returncode)
        expect(line_settings(port) == before and bench.locks_left() == [], "released")
        code, said = bench.call("set", "us", "--port", port)
        expect(code == 6 and bench.profile + ".lock" in said, "lock held 5 s", said)
    code, _ = bench.call("set", "us", "--port", port)
    mode = os.stat(bench.profile + ".lock").st_mode
    expect(code == 0 and mode & 0o007 == 0, "lock file mode", oct(mode))
    os.chmod(bench.work, 0o755)
    nobody = subprocess.run(AS_NOBODY + ["cat", bench.profile + ".lock"], capture_output=True)
    expect(nobody.returncode != 0, "nobody opens it")


def as_nobody(bench):
    """The bench's program run as nobody, who may use its modems and
    folders, and whose test settings count."""
    os.chmod(bench.work, 0o755)
    os.chmod(bench.own_locks, 0o1777)
    for sim in bench.sims.values():
        os.chmod(sim.slave, 0o666)
    bench.runner = AS_NOBODY


def uucp_locks_that_are_not_ours_are_left_alone(bench):
    port = bench.modem("nc")
    lock = bench.lock("nc")
    write(lock, "")  # another program's, between its create and its write
    code, said = bench.call("show", "--port", port)
    expect(code == 4 and os.path.exists(lock), "an empty fresh lock is live", said)
    os.unlink(lock)
    as_nobody(bench)  # the stop below is a test setting
    lock = bench.lock("nc")
    write(lock, "%10d\n" % 999999999)  # stale
    os.chown(lock, 65534, 65534)
    proc = bench.start("show", "--port", port, env=bench.env(TARVELLE_TEST_STOP="uucp_takeover"))
    os.waitpid(proc.pid, os.WUNTRACED)  # stopped between its judgement and its takeover
    live = "%10d\n" % os.getpid()
    write(lock + ".new", live)
    os.rename(lock + ".new", lock)
    proc.send_signal(signal.SIGCONT)
    _, said = proc.communicate(timeout=30)
    expect(proc.returncode == 4 and read(lock) == live, "the planted lock stands", said)
    # The stale lock taken over, the open fails: another program took the port meanwhile.
    write(lock, "%10d\n" % 999999999)
    os.chown(lock, 65534, 65534)
    proc = bench.start("show", "--port", port, env=bench.env(TARVELLE_TEST_STOP="uucp_takeover"))
    os.waitpid(proc.pid, os.WUNTRACED)
    with held(bench.sims["nc"].slave):
        proc.send_signal(signal.SIGCONT)
        _, said = proc.communicate(timeout=30)
    expect(proc.returncode == 4 and not os.path.exists(lock), "our lock let go", said)
    expect(bench.commands("nc") == [], "nothing sent")


def first_writes_keep_each_other(bench):
    bench.profile = os.path.join(shared_folder(bench), "TOLVEX.INI")
    first, second = bench.modem("a", supported="00,B4)"), bench.modem("b", supported="00,B4,Q7)")
    as_nobody(bench)  # the stop below is a test setting
    writer = bench.start("set", "gb", "--port", first,
                         env=bench.env(TARVELLE_TEST_STOP="profile_write"))
    os.waitpid(writer.pid, os.WUNTRACED)  # holding the locks, the default's text read
    # Another program judged the port's lock stale and took it: it stays theirs.
    theirs = "%10d\n" % 999999999
    write(bench.lock("a") + ".new", theirs)
    os.chown(bench.lock("a") + ".new", 65534, 65534)  # so the writer could remove it
    os.rename(bench.lock("a") + ".new", bench.lock("a"))
    reader = bench.start("show", "--port", second)  # records the unknown Q7
    wait_for_command(bench, "b", "AT*nc?\\r")
    writer.send_signal(signal.SIGCONT)
    writer.communicate(timeout=30)
    reader.communicate(timeout=30)
    expect(writer.returncode == 0 and reader.returncode == 0, "both ran")
    text = read(bench.profile)
    expect("Vietnam" in text and "\ncc=B4" in text and "=Unknown Country - Q7" in text, text)
    expect(read(bench.lock("a")) == theirs, "their lock is left in place")


def outputs_and_arguments(bench):
    port = bench.modem("nc")
    before = line_settings(port)
    proc = subprocess.Popen([bench.cli, "--verbose", "show", "--port", port], env=bench.env(),
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    proc.stdout.read(1)
    proc.stdout.close()  # as "| head -c1" does
    expect(proc.wait(timeout=30) == 141, "closed pipe", proc.returncode)
    expect(line_settings(port) == before and bench.locks_left() == [], "released")
    # 260 bytes: cut to the 259 that fit, it would name a sibling, "TOLVEX.IN".
    folder = os.path.join(bench.work, "d" * (260 - len(bench.work) - 2 - len("TOLVEX.INI")))
    bench.profile = os.path.join(folder, "TOLVEX.INI")
    code, said = bench.call("set", "gb", "--port", port)
    expect(code == 2 and not os.path.exists(folder), "path too long", said)
    bench.profile = os.path.join(bench.work, "TOLVEX.INI")
    bench.run("--port", port, "set", "--", "gb")
    os.chmod(bench.work, 0o755)
    os.chmod(bench.sims["nc"].slave, 0o666)
    os.chmod(bench.own_locks, 0o1777)
    env = {k: v for k, v in bench.env().items() if k not in ("HOME", "XDG_CONFIG_HOME",
                                                             "TARVELLE_PROFILE")}
    bench.runner = AS_NOBODY
    # Root's profile, which nobody may not write or not even read, in a folder
    # where nobody could replace it: neither is taken as missing or writable.
    bench.profile = os.path.join(bench.work, "open", "TOLVEX.INI")
    os.mkdir(os.path.dirname(bench.profile))
    os.chmod(os.path.dirname(bench.profile), 0o777)
    for mode, why in ((0o644, ": read-only"), (0o600, ": cannot be read")):
        write(bench.profile, SECRET, mode)
        code, said = bench.call("set", "gb", "--port", port)
        expect(code == 6 and bench.profile + why in said and read(bench.profile, "rb") ==
               SECRET.encode(), said)
    code, said = bench.call("set", "gb", "--port", port, env=env)
    home = os.path.expanduser("~nobody")
    expect(code == 6 and home + "/.config/tarvelle" in said, said)
    version = re.search(r"set\(TARVELLE_VERSION (\S+)\)", read(os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "CMakeLists.txt")))[1]
    code, said = bench.call("show", "--version")
    expect(code == 0 and said.startswith("tarvelle-cli (Tarvelle) %s\n" % version), "version", said)



# An OSC 52 clipboard write, a screen clear and hidden text.
ESCAPES = "\\x1b]52;c;ZXZpbA==\\x07\\x1b[2J\\x1b[8m\\x7f"


def run_bytes(bench, *args, tracer=(), **more):
    # LeakSanitizer cannot work under ptrace, and would fail a traced run.
    leaks = dict(ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
    proc = subprocess.run(list(tracer) + [bench.cli] + list(args), stdin=subprocess.DEVNULL,
                          capture_output=True, env=bench.env(**dict(more, **(
                              leaks if tracer else {}))), timeout=60)
    return proc.returncode, proc.stdout, proc.stderr


def control_bytes_never_reach_the_terminal(bench):
    modem = bench.modem("nc", ident="ACF3_V1 " + ESCAPES, supported="00,Z\\x1b[2J,B5)")
    bench.write_profile(PROFILE + "X1=Bogus,xx,\x1b[2J\n")  # a code the trace shows
    foreign = bench.modem("foreign", ident="Fax " + ESCAPES)
    for args in (["show", "--port", modem], ["scan", "--port", modem, "--port", foreign],
                 ["show", "--port", foreign], ["countries"], ["--verbose", "show", "--port", modem]):
        trace = {"TARVELLE_TRACE": "1"} if "--verbose" in args else {}
        _, out, err = run_bytes(bench, *args, **trace)
        said = out.replace(b"\n", b"") + err.replace(b"\n", b"")
        expect(not re.search(rb"[\x00-\x08\x0a-\x1f\x7f]", said), "raw control bytes", args, said)
        expect(b"\\x1b" in said, "shown visibly", args, said)


def json_text_is_utf8(bench):
    # A quote and a backslash, which JSON must escape, beside 1252 and escapes.
    port = bench.modem("nc", ident="ACF3_V1 caf\\xe9 \\x22\\x5c " + ESCAPES)
    # A byte of an argument that is not UTF-8 is shown as U+FFFD where it stood.
    missing = bench.work + "/caf\ufffd"
    for args, code, said, named in (
            (["set", b"caf\xe9"], 2, "unknown country caf\ufffd; see", None),
            (["show", "--port", port], 0, None, None),
            (["show", "--port", os.fsencode(bench.work) + b"/caf\xe9"], 4, missing + ": missing",
             missing)):
        got, out, _ = run_bytes(bench, "--json", *args)
        shown = bench.parsed(args, out.decode("utf-8"))  # strict: a byte not UTF-8 raises
        error = shown.get("error", {"message": "", "port": None, "exit": 0})
        expect(got == code and (code or '\xe9 "\\' in shown["ident"]) and
               error["message"].startswith(said or "") and
               (error["port"], error["exit"]) == (named, code), args, got, shown)


# (what the profile says, the dialect, what the modem lists, the set
# command sent or None): the modem lists the entry, so only the check of
# what is sent can refuse it. An AT+GCI modem is sent the key alone.
SMUGGLED = [
    ("X1=Evil,xx,Q7\rATD1", "nc", "00,Q7)", None),
    ("X1=Evil,xx,Q 7", "nc", "00,Q)", None),
    ("K4;D=Evil,xx,B5", "gci", "+GCI: (00,K4;D)", None),
    ("2D=Cyprus,xx", "gci", "+GCI: (00,2D)", "AT+GCI=2D\\r"),
]


def only_letters_and_digits_are_sent(bench):
    for i, (line, dialect, listed, sent) in enumerate(SMUGGLED):
        bench.write_profile(PROFILE + line + "\n")
        out = bench.run("set", "xx", "--port", bench.modem("m%d" % i, dialect, supported=listed),
                        code=0 if sent else 2)
        if not sent:
            message = out["error"]["message"]
            expect("Evil" in message and "does not list" not in message, "refused", line, message)
        expect(sets(bench.commands("m%d" % i)) == ([sent] if sent else []), "sent", line,
               bench.commands("m%d" % i))
    # The saved choice is checked as well before the boot re-applies it.
    bench.write_profile(PROFILE + SMUGGLED[0][0] + "\n[cccfg]\ncc=X1\n")
    bench.run("reapply", "--port", bench.modem("boot", supported="00,Q7)"), code=2)
    expect(sets(bench.commands("boot")) == [], "nothing sent at boot", bench.commands("boot"))


def only_a_serial_port_is_opened(bench):
    if not shutil.which("strace"):
        expect(os.environ.get("CI") != "true", "strace is missing")
        print("skipped: no strace")
        return
    fifo, plain, trace = (os.path.join(bench.work, n) for n in ("fifo", "plain", "trace"))
    os.mkfifo(fifo)
    write(plain, "")
    for path in ("/dev/null", "/dev/zero", fifo, plain):
        code, _, _ = run_bytes(bench, "--json", "show", "--port", path, tracer=[
            "strace", "-f", "-e", "trace=open,openat", "-o", trace])
        opened = [line for line in read(trace).splitlines() if '"%s"' % path in line]
        expect(code == 4 and all("O_PATH" in line for line in opened), "no open of", path, opened)
        expect(bench.locks_left() == [], "no lock taken for", path)


# how the port is held, by whom, under what name; runs: arguments, exit
# code, what stderr says of the holder
HOLDERS = [
    ("O_PATH", "nobody", b"ModemManager", [(["show", "--port", "{port}"], 0, b""),
                                          (["show", "--probe-all"], 0, b"")]),
    ("own table", "root", b"holder", [(["show", "--port", "{port}"], 4, b" (holder)")]),
    ("main gone", "root", b"holder", [(["show", "--port", "{port}"], 4, b" (holder)")]),
    # CSI, a byte that is not UTF-8, a right-to-left override
    ("read-write", "root", b"\x9b2J\xff\xe2\x80\xaeabc", [
        (["show", "--port", "{port}"], 4, rb" (\x9b2J\xff\u202eabc)"),
        (["--json", "show", "--port", "{port}"], 4, b"")]),
]


def only_a_real_holder_makes_a_port_busy(bench):
    bench.modem("nc")
    # A name under the real /dev, which a search as root looks at.
    dev = "/dev/ttyUSB%d" % (9000 + os.getpid() % 1000)
    bind_under_dev(bench.sims["nc"].slave, dev)
    try:
        for how, user, name, runs in HOLDERS:
            with holding(dev, how, name, user):
                for args, code, said in runs:
                    args = [a.format(port=dev) for a in args]
                    got, out, err = run_bytes(bench, *args)
                    expect(got == code and said in err, how, args, got, err)
                    expect(not re.search(rb"[\x00-\x09\x0b-\x1f\x7f\x9b\xff]|\xe2\x80\xae", err),
                           "raw controls", err)
                    expect("--json" not in args or bench.parsed(args, out.decode()), args)
    finally:
        unbind(dev)


def a_million_descriptors_neither_stall_nor_hide_a_holder(bench):
    port = bench.modem("nc")
    with holding("/dev/null", "read-write", user="nobody", more=1000000):
        started = time.monotonic()
        code, said = bench.call("show", "--port", port)
        took = time.monotonic() - started
        # 200 ms of the look's own processor time, or 1 s however starved it
        # is; the start of an emulated program comes on top.
        expect(code == 4 and "cut off after" in said and took < 1.5, took, said)
        proc = bench.start("scan", *["--port", port] * 10)  # a look of 2 s at most
        time.sleep(0.5)
        proc.send_signal(signal.SIGTERM)
        sent = time.monotonic()
        proc.communicate(timeout=30)
        took = time.monotonic() - sent
        expect(proc.returncode == 143 and took < 1.0, "SIGTERM", proc.returncode, took)
    expect(bench.commands("nc") == [], "nothing sent")


FLIP = """import os, sys
while True:
    for target in sys.argv[2:]:
        os.symlink(target, sys.argv[1] + ".new")
        os.rename(sys.argv[1] + ".new", sys.argv[1])
"""


def a_link_flipped_meanwhile_never_leads_to_a_held_port(bench):
    held, free = bench.modem("held"), bench.modem("free")
    link = os.path.join(shared_folder(bench), "modem")
    flipper = subprocess.Popen(AS_NOBODY + [sys.executable, "-c", FLIP, link, os.path.realpath(
        held), os.path.realpath(free)])
    try:
        with holding(os.path.realpath(held), "read-write"):
            codes = [run_bytes(bench, "show", "--port", link)[0] for _ in range(40)]
    finally:
        flipper.kill()
    expect(bench.commands("held") == [] and set(codes) <= {0, 4} and 0 in codes, codes)


def root_reads_no_test_setting(bench):
    port = bench.modem("nc")
    write(bench.lock("nc"), "%10d\n" % os.getpid())  # in the system's folder, live
    code, said = bench.call("show", "--port", port)  # TARVELLE_LOCK_DIR names another
    expect(code == 4 and "locked by process %d" % os.getpid() in said, said)
    os.unlink(bench.lock("nc"))
    proc = bench.start("set", "gb", "--port", port,
                       env=bench.env(TARVELLE_TEST_STOP="profile_write"))
    try:
        proc.communicate(timeout=10)
    finally:
        proc.kill()
    expect(proc.returncode == 0, "no stop", proc.returncode)
    os.makedirs(os.path.join(bench.work, "fake", "dev"))
    trace = os.path.join(bench.work, "trace")
    run_bytes(bench, "reapply", "--wait", "1", tracer=[
        "strace", "-f", "-e", "trace=inotify_add_watch", "-o", trace],
        TARVELLE_DEV_ROOT=os.path.join(bench.work, "fake"))
    expect('"/dev"' in read(trace) and "/fake" not in read(trace), read(trace))


if __name__ == "__main__":
    sys.exit(main(planted_links_are_never_followed, a_held_profile_lock_never_stalls_root,
                  uucp_locks_that_are_not_ours_are_left_alone, first_writes_keep_each_other,
                  outputs_and_arguments,
                  control_bytes_never_reach_the_terminal, json_text_is_utf8,
                  only_letters_and_digits_are_sent, only_a_serial_port_is_opened,
                  only_a_real_holder_makes_a_port_busy,
                  a_million_descriptors_neither_stall_nor_hide_a_holder,
                  a_link_flipped_meanwhile_never_leads_to_a_held_port, root_reads_no_test_setting))
