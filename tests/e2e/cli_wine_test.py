"""tarvelle-cli.exe under Wine against a simulated modem on COM3: the search
of the COM ports finds it, and a set applies a country there and saves it in
the profile beside the program, as on Linux."""

import json
import os
import pty
import re
import select
import signal
import sys
import time

import harness

from wine_case import add_modem, expect, expect_commands, run

WAKE = r"\rATV1\r"
PROBE = [WAKE, r"ATV1i3\r"]
READ = [WAKE, r"AT*nc?\r", WAKE, r"ATi5\r", r"ATi9\r"]
UK = {"key": "B4", "name": "United Kingdom", "code": "B4"}


def run_cli(session, exe, *args, code=0):
    result = session.run(exe, ["--json"] + list(args), timeout=60)
    expect(result.code == code and not result.timed_out, "exit code of %s" % " ".join(args),
           result)
    return json.loads(result.stdout)


def case_scan_and_set(args, session):
    add_modem(args, session, 3, "supported = 00,09,B4,B5)")
    session.check_unused_ports(args.probe)
    folder = session.prefix.install([args.cli, args.profile])
    exe = os.path.join(folder, os.path.basename(args.cli))

    out = run_cli(session, exe, "scan")
    expect(out["modems"] == [{"port": "COM3", "ident": "ACF3_V1 simulated data modem",
                              "dialect": "nc",
                              "country": {"key": "00", "name": "Japan", "code": "00"}}]
           and out["rejected"] == [] and out["unavailable"] == [], "scan", out)

    out = run_cli(session, exe, "set", "gb")
    expect({k: out[k] for k in ("port", "dialect", "country", "changed")} ==
           {"port": "COM3", "dialect": "nc", "country": UK, "changed": True}, "set", out)
    apply = [WAKE, r"AT*ncB4\r", r"ATz\r", r"ATi5\r", r"ATi9##\r", r"ATi9ccB4#\r"]
    expect_commands(session, {3: PROBE + READ + PROBE + READ + apply})
    with open(os.path.join(folder, "TOLVEX.INI"), "rb") as f:
        expect(b"\r\ncc=B4\r\n" in f.read(), "the choice saved beside the program")

    help_text = session.run(exe, ["--help"], timeout=60)
    expect(help_text.code == 0 and "COM3" in help_text.stdout, "--help names COM ports", help_text)

    # A COM number past 255 would wrap to another port: refused, nothing opened.
    out = run_cli(session, exe, "show", "--port", "COM259", code=4)
    expect("COM1 to COM255" in out["error"]["message"], "COM259", out)


def case_interrupt(args, session):
    """Ctrl-C (SIGINT, which Wine hands to the console's control handler)
    ends a reapply that is waiting for its silent modem, with exit code 130."""
    add_modem(args, session, 5, "fault.v1 = silent")
    session.check_unused_ports(args.probe)
    folder = session.prefix.install([args.cli, args.profile])
    with open(os.path.join(folder, "TOLVEX.INI"), "ab") as f:
        f.write(b"\r\n[cccfg]\r\ncc=B4\r\n")
    exe = os.path.join(folder, os.path.basename(args.cli))
    proc = session.start(exe, ["--json", "--verbose", "reapply", "--wait", "60", "--port", "COM5"])
    # The first wake-up logged: the program is in its loop, its handler set.
    line = harness.read_line(proc.stderr, time.monotonic() + 60, "tarvelle-cli.exe")
    expect("ATV1" in line, "the wake-up logged", line)
    proc.send_signal(signal.SIGINT)
    out, err = proc.communicate(timeout=20)
    expect(proc.returncode == 130 and json.loads(out)["error"]["exit"] == 130, "interrupted",
           proc.returncode, out, err)


def on_terminal(session, exe, args):
    """What the program shows on a terminal, which Wine makes its console:
    the bytes written there, as Wine converts them to the terminal's UTF-8,
    without the cursor escapes."""
    main, side = pty.openpty()
    proc = session.start(exe, args, stdin=side, stdout=side, stderr=side)
    os.close(side)
    shown = b""
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if select.select([main], [], [], 1)[0]:
            try:
                data = os.read(main, 4096)
            except OSError:  # the program and its console have closed the terminal
                data = b""
            if not data:
                break
            shown += data
        elif proc.poll() is not None:
            break
    os.close(main)
    proc.wait(timeout=20)
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", shown).decode("utf-8", "replace")


def case_console_text(args, session):
    """A profile's non-ASCII name shows right in a console, whose code page
    is not UTF-8, and reaches a pipe as UTF-8."""
    os.environ["LC_ALL"] = "C.UTF-8"  # the terminal's, which Wine writes in
    folder = session.prefix.install([args.cli])
    with open(os.path.join(folder, "TOLVEX.INI"), "wb") as f:
        f.write(b"[tolvx]\r\nB5=C\xf4te d'Ivoire,ci,B5\r\n")
    exe = os.path.join(folder, os.path.basename(args.cli))
    shown = on_terminal(session, exe, ["countries"])
    expect("C\u00f4te d'Ivoire" in shown, "the name on the console", shown)
    piped = session.run(exe, ["countries"], timeout=60)
    expect("C\u00f4te d'Ivoire" in piped.stdout, "the name in UTF-8 on a pipe", piped)


CASES = {"scan-and-set": case_scan_and_set, "interrupt": case_interrupt,
         "console-text": case_console_text}

if __name__ == "__main__":
    sys.exit(run(CASES, ("cli", "probe", "sim", "profile"), (), "cli-"))
