#!/usr/bin/env python3
"""tarvelle-cli given what a hostile device, profile or user would give it:
terminal escapes in a modem's answers, bytes that are not UTF-8, entries that
would smuggle a command to the modem, and paths that are no serial port.
Run as cli_test.py is: hostile_input_test.py CASE --cli PATH --sim PATH --work DIR."""

import os
import re
import shutil
import subprocess
import sys

from cli_test import PROFILE, expect, main, read, sets, write

# An OSC 52 clipboard write, a screen clear and hidden text.
ESCAPES = "\\x1b]52;c;ZXZpbA==\\x07\\x1b[2J\\x1b[8m\\x7f"


def run_bytes(bench, *args, tracer=()):
    # LeakSanitizer cannot work under ptrace, and would fail a traced run.
    env = bench.env(ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
    proc = subprocess.run(list(tracer) + [bench.cli] + list(args), stdin=subprocess.DEVNULL,
                          capture_output=True, env=env if tracer else bench.env(), timeout=60)
    return proc.returncode, proc.stdout, proc.stderr


def control_bytes_never_reach_the_terminal(bench):
    modem = bench.modem("nc", ident="ACF3_V1 " + ESCAPES, supported="00,Z\\x1b[2J,B5)")
    foreign = bench.modem("foreign", ident="Fax " + ESCAPES)
    for args in (["show", "--port", modem], ["scan", "--port", modem, "--port", foreign],
                 ["show", "--port", foreign], ["countries"]):
        _, out, err = run_bytes(bench, *args)
        said = out.replace(b"\n", b"") + err.replace(b"\n", b"")
        expect(not re.search(rb"[\x00-\x08\x0a-\x1f\x7f]", said), "raw control bytes", args, said)
        expect(b"\\x1b" in said, "shown visibly", args, said)


def json_text_is_utf8(bench):
    # A quote and a backslash, which JSON must escape, beside 1252 and escapes.
    port = bench.modem("nc", ident="ACF3_V1 caf\\xe9 \\x22\\x5c " + ESCAPES)
    for args, code in ((["set", b"caf\xe9"], 2), (["show", "--port", port], 0),
                       (["show", "--port", os.fsencode(bench.work) + b"/caf\xe9"], 4)):
        got, out, _ = run_bytes(bench, "--json", *args)
        expect(got == code, "exit code", args, got, out)
        shown = bench.parsed(args, out.decode("utf-8"))  # strict: a byte not UTF-8 raises
        expect(args[0] != "show" or code or '\xe9 "\\' in shown["ident"], "the ident", shown)


# (what the profile says, the dialect, what the modem lists): the modem
# lists the entry, so only the check of what is sent can refuse it.
SMUGGLED = [
    ("X1=Evil,xx,Q7\rATD1", "nc", "00,Q7)"),
    ("X1=Evil,xx,Q 7", "nc", "00,Q)"),
    ("X1=Evil,xx,Q7;D1", "nc", "00,Q7)"),
    ("K4;D=Evil,xx,B5", "gci", "+GCI: (00,K4;D)"),
]


def only_letters_and_digits_are_sent(bench):
    for i, (line, dialect, listed) in enumerate(SMUGGLED):
        bench.write_profile(PROFILE + line + "\n")
        message = bench.run("set", "xx", "--port", bench.modem("m%d" % i, dialect,
                                                              supported=listed),
                            code=2)["error"]["message"]
        expect("Evil" in message and "does not list" not in message, "refused", line, message)
        expect(sets(bench.commands("m%d" % i)) == [], "nothing sent", line)
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
        expect(code == 4 and '"%s"' % path not in read(trace), "exit 4 and no open of", path)
        expect(os.listdir(bench.locks) == [], "no lock taken for", path)


if __name__ == "__main__":
    sys.exit(main(control_bytes_never_reach_the_terminal, json_text_is_utf8,
                  only_letters_and_digits_are_sent, only_a_serial_port_is_opened))
