#!/usr/bin/env python3
"""tarvelle-cli run by root, tried as a local attacker would: links planted
under the names of the files it makes, a lock held to stall it, a lock that
changes under it, a path too long, a pipe closed early. Each row plants,
runs and compares what must stay as it was."""

import fcntl
import os
import signal
import subprocess
import sys
import termios
import time

from cli_test import AS_NOBODY, expect, main, read, wait_for_command, write

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
            for path in [os.path.join(folder, e) for e in os.listdir(folder)] + [
                    os.path.join(bench.locks, e) for e in os.listdir(bench.locks)]:
                if os.path.islink(path) or path.startswith(bench.locks):
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
        expect(line_settings(port) == before and os.listdir(bench.locks) == [], "released")
        code, said = bench.call("set", "us", "--port", port)
        expect(code == 6 and bench.profile + ".lock" in said, "lock held 5 s", said)
    code, _ = bench.call("set", "us", "--port", port)
    mode = os.stat(bench.profile + ".lock").st_mode
    expect(code == 0 and mode & 0o007 == 0, "lock file mode", oct(mode))
    os.chmod(bench.work, 0o755)
    nobody = subprocess.run(AS_NOBODY + ["cat", bench.profile + ".lock"], capture_output=True)
    expect(nobody.returncode != 0, "nobody opens it")


def uucp_locks_that_are_not_ours_are_left_alone(bench):
    port = bench.modem("nc")
    lock = bench.lock("nc")
    write(lock, "")  # another program's, between its create and its write
    code, said = bench.call("show", "--port", port)
    expect(code == 4 and os.path.exists(lock), "an empty fresh lock is live", said)
    write(lock, "%10d\n" % 999999999)  # stale
    proc = bench.start("show", "--port", port, env=bench.env(TARVELLE_TEST_STOP="uucp_takeover"))
    os.waitpid(proc.pid, os.WUNTRACED)  # stopped between its judgement and its takeover
    live = "%10d\n" % os.getpid()
    write(lock + ".new", live)
    os.rename(lock + ".new", lock)
    proc.send_signal(signal.SIGCONT)
    _, said = proc.communicate(timeout=30)
    expect(proc.returncode == 4 and read(lock) == live, "the planted lock stands", said)
    expect(bench.commands("nc") == [], "nothing sent")


def first_writes_keep_each_other(bench):
    bench.profile = os.path.join(shared_folder(bench), "TOLVEX.INI")
    first, second = bench.modem("a", supported="00,B4)"), bench.modem("b", supported="00,B4,Q7)")
    writer = bench.start("set", "gb", "--port", first,
                         env=bench.env(TARVELLE_TEST_STOP="profile_write"))
    os.waitpid(writer.pid, os.WUNTRACED)  # holding the locks, the default's text read
    # Another program judged the port's lock stale and took it: it stays theirs.
    theirs = "%10d\n" % 999999999
    write(bench.lock("a") + ".new", theirs)
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
    expect(line_settings(port) == before and os.listdir(bench.locks) == [], "released")
    # 262 bytes: cut to the 259 that fit, it would name a sibling, "TOLVEX.".
    folder = os.path.join(bench.work, "d" * (262 - len(bench.work) - 2 - len("TOLVEX.INI")))
    bench.profile = os.path.join(folder, "TOLVEX.INI")
    code, said = bench.call("set", "gb", "--port", port)
    expect(code == 2 and not os.path.exists(folder), "path too long", said)
    bench.profile = os.path.join(bench.work, "TOLVEX.INI")
    os.chmod(bench.profile, 0o444)
    code, said = bench.call("set", "gb", "--port", port)
    expect(code == 6 and bench.profile in said and "read-only" in said, "read-only", said)
    os.chmod(bench.profile, 0o644)
    bench.run("--port", port, "set", "--", "gb")
    os.chmod(bench.work, 0o755)
    os.chmod(bench.sims["nc"].slave, 0o666)
    os.chmod(bench.locks, 0o1777)
    env = {k: v for k, v in bench.env().items() if k not in ("HOME", "XDG_CONFIG_HOME",
                                                             "TARVELLE_PROFILE")}
    bench.runner = AS_NOBODY
    code, said = bench.call("set", "gb", "--port", port, env=env)
    home = os.path.expanduser("~nobody")
    expect(code == 6 and home + "/.config/tarvelle" in said, said)


if __name__ == "__main__":
    sys.exit(main(planted_links_are_never_followed, a_held_profile_lock_never_stalls_root,
                  uucp_locks_that_are_not_ours_are_left_alone, first_writes_keep_each_other,
                  outputs_and_arguments))
