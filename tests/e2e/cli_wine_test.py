"""tarvelle-cli.exe under Wine against a simulated modem on COM3: the search
of the COM ports finds it, and a set applies a country there and saves it in
the profile beside the program, as on Linux."""

import json
import os
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
    expect(out == {"port": "COM3", "dialect": "nc", "country": UK, "changed": True}, "set", out)
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


CASES = {"scan-and-set": case_scan_and_set, "interrupt": case_interrupt}

if __name__ == "__main__":
    sys.exit(run(CASES, ("cli", "probe", "sim", "profile"), (), "cli-"))
