#!/usr/bin/env python3
"""tarvelle-cli run by root, tried as a local attacker would: links planted
under the names of the files it makes, a lock held to stall it, a lock that
changes under it, a path too long, a pipe closed early. Each row plants,
runs and compares what must stay as it was."""

import fcntl
import os
import signal
import stat
import subprocess
import sys
import termios
import time

import cli_test
from cli_test import expect

# Root's own file, which a planted link points at; a profile's text, so that
# a program fooled into reading it as the profile still goes on to write.
SECRET = b"; root only\r\n[tolvx]\r\nB4=United Kingdom,gb,B4\r\n"


def lock_name(bench, name):
    return os.path.join(bench.locks, "LCK.." + bench.sims[name].slave[5:].replace("/", "_"))


def as_nobody(action):
    """Runs `action` in a child that has become nobody; gives its exit status."""
    pid = os.fork()
    if pid == 0:
        try:
            os.setgid(65534)
            os.setuid(65534)
            action()
            os._exit(0)
        except BaseException:
            os._exit(1)
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])


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


def finish(proc, timeout=30):
    out, err = proc.communicate(timeout=timeout)
    return proc.returncode, out + err


# (helper name planted as a link to the secret, exit code expected)
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
        with open(secret, "wb") as f:
            f.write(SECRET)
        os.chmod(secret, 0o600)
        absent = secret + ".absent"
        for victim, link in ((secret, "link"), (absent, "absent")):
            # Each time a profile not made yet: the first write copies the default.
            bench.profile = os.path.join(folder, "TOLVEX-%d-%s.INI" % (i, link))
            name = planted.format(locks=bench.locks, profile=bench.profile,
                                  lck=lock_name(bench, "m%d" % i))
            script = 'for v in "$@"; do ln -sfn "$v" "%s"; done; exec "%s" set gb --port %s' % (
                name, bench.cli, port)
            proc = subprocess.Popen(["sh", "-c", script, "sh", victim], env=bench.env(),
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            returncode, said = finish(proc)
            expect(returncode == code, planted + " " + link, returncode, said)
            with open(secret, "rb") as f:
                expect(f.read() == SECRET, "the secret stays as it was: " + planted)
            expect(not os.path.lexists(absent), "no file made through a link: " + planted)
            for entry in os.listdir(folder) + os.listdir(bench.locks):
                path = os.path.join(folder, entry)
                if os.path.islink(path):
                    os.unlink(path)
            for entry in os.listdir(bench.locks):
                os.unlink(os.path.join(bench.locks, entry))
        bench.stop("m%d" % i)


def wait_for_command(bench, name, command, timeout=10):
    deadline = time.monotonic() + timeout
    while command not in bench.commands(name) and time.monotonic() < deadline:
        time.sleep(0.01)  # polling the simulator's log file, not the program
    expect(command in bench.commands(name), "the modem was sent " + command)


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
        returncode, said = finish(proc)
        expect(returncode == 143 and time.monotonic() - sent < 1.0, "SIGTERM", returncode, said)
        expect(line_settings(port) == before and os.listdir(bench.locks) == [], "released")
        returncode, said = finish(bench.start("set", "us", "--port", port))
        expect(returncode == 6 and bench.profile + ".lock" in said, "lock held 5 s", said)
    returncode, _ = finish(bench.start("set", "us", "--port", port))
    mode = os.stat(bench.profile + ".lock").st_mode
    expect(returncode == 0 and mode & 0o007 == 0, "lock file mode", oct(mode))
    os.chmod(bench.work, 0o755)
    expect(as_nobody(lambda: open(bench.profile + ".lock").close()) != 0, "nobody opens it")


def uucp_locks_that_are_not_ours_are_left_alone(bench):
    port = bench.modem("nc")
    lock = lock_name(bench, "nc")
    open(lock, "w").close()  # another program's, between its create and its write
    returncode, said = finish(bench.start("show", "--port", port))
    expect(returncode == 4 and os.path.exists(lock), "an empty fresh lock is live", said)
    with open(lock, "w") as f:
        f.write("%10d\n" % 999999999)  # stale
    proc = subprocess.Popen([bench.cli, "show", "--port", port], env=dict(
        bench.env(), TARVELLE_TEST_STOP="uucp_takeover"), stdout=subprocess.PIPE,
        stderr=subprocess.PIPE, text=True)
    os.waitpid(proc.pid, os.WUNTRACED)  # stopped between its judgement and its takeover
    live = "%10d\n" % os.getpid()
    with open(lock + ".new", "w") as f:
        f.write(live)
    os.rename(lock + ".new", lock)
    proc.send_signal(signal.SIGCONT)
    returncode, said = finish(proc)
    with open(lock) as f:
        expect(returncode == 4 and f.read() == live, "the planted lock stands", said)
    expect(bench.commands("nc") == [], "nothing sent")


def first_writes_keep_each_other(bench):
    bench.profile = os.path.join(shared_folder(bench), "TOLVEX.INI")
    first, second = bench.modem("a", supported="00,B4)"), bench.modem("b", supported="00,B4,Q7)")
    writer = subprocess.Popen([bench.cli, "set", "gb", "--port", first], env=dict(
        bench.env(), TARVELLE_TEST_STOP="profile_write"), stdout=subprocess.PIPE,
        stderr=subprocess.PIPE, text=True)
    os.waitpid(writer.pid, os.WUNTRACED)  # holding the lock, the default's text read
    reader = bench.start("show", "--port", second)  # records the unknown Q7
    wait_for_command(bench, "b", "AT*nc?\\r")
    writer.send_signal(signal.SIGCONT)
    expect(finish(writer)[0] == 0 and finish(reader)[0] == 0, "both ran")
    with open(bench.profile, newline="") as f:
        text = f.read()
    expect("Vietnam" in text and "\ncc=B4" in text and "=Unknown Country - Q7" in text, text)


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
    returncode, said = finish(bench.start("set", "gb", "--port", port))
    expect(returncode == 2 and not os.path.exists(folder), "path too long", said)
    bench.profile = os.path.join(bench.work, "TOLVEX.INI")
    os.chmod(bench.profile, 0o444)
    returncode, said = finish(bench.start("set", "gb", "--port", port))
    expect(returncode == 6 and bench.profile in said and "read-only" in said, "read-only", said)
    os.chmod(bench.profile, 0o644)
    bench.run("--port", port, "set", "--", "gb")
    os.chmod(bench.work, 0o755)
    os.chmod(bench.sims["nc"].slave, 0o666)
    os.chmod(bench.locks, 0o1777)
    env = {k: v for k, v in bench.env().items() if k not in ("HOME", "XDG_CONFIG_HOME",
                                                             "TARVELLE_PROFILE")}
    said = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                           bench.cli, "set", "gb", "--port", port], env=env, timeout=30,
                          capture_output=True, text=True)
    home = os.path.expanduser("~nobody")
    expect(said.returncode == 6 and home + "/.config/tarvelle" in said.stderr, said.stderr)


CASES = {f.__name__: f for f in [
    planted_links_are_never_followed, a_held_profile_lock_never_stalls_root,
    uucp_locks_that_are_not_ours_are_left_alone, first_writes_keep_each_other,
    outputs_and_arguments]}

if __name__ == "__main__":
    sys.exit(cli_test.main(CASES))
