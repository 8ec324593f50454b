"""tarvelle.exe under Wine, worked through its main dialog by the driver,
against simulated modems.

    program_test.py CASE --tarvelle EXE --driver EXE --probe EXE --sim EXE
                    --profile INI --work DIR [--flags DLL]

Exit code 0: passed; 1: failed; 77: a program has not been built.
Screenshots of the states a case reaches are left in DIR.
"""

import argparse
import os
import subprocess
import sys
import time
import traceback

import harness

IDOK, IDCANCEL = 1, 2
IDC_COUNTRY, IDC_STATUS = 1000, 1007
IDC_APPLY, IDC_MODEM = 1031, 1033

NO_MODEM = "Unable to find a Modem! May be busy or disconnected"
INSERT_MODEM = "Insert modem and press 'Apply' !"
BUSY = "Modem is busy performing a task. Please try again later!"
SIM_IDENT = "ACF3_V1 simulated data modem"
VENDOR_IDENT = "Quorvant V.92 simulated modem"

# What the program writes to read a modem, in the simulator's log spelling.
WAKE = r"\rATV1\r"
IDENTIFY = [WAKE, r"ATV1i3\r"]
READ_NC = [WAKE, r"AT*nc?\r", WAKE, r"ATi5\r", r"ATi9\r"]
# A modem that refuses AT*nc? gives its list to AT+GCI=? instead.
READ_GCI = [WAKE, r"AT*nc?\r", r"AT+GCI=?\r", WAKE, r"ATi5\r", r"ATi9\r"]
WAIT = 20000  # ms: safety limits of the driver's waits


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [repr(d) for d in details]))


class Driver:
    """The driver program, one command line in, its answer lines out."""

    def __init__(self, session, exe):
        self.proc = session.start(exe, [], stdin=subprocess.PIPE)

    def do(self, line, timeout=40.0):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        answer = []
        deadline = time.monotonic() + timeout
        while True:
            got = harness.read_line(self.proc.stdout, deadline, "driver (%s)" % line)
            if got == "ok":
                return answer
            if got.startswith("error "):
                raise AssertionError("driver: %s: %s %r" % (line, got[6:], answer))
            answer.append(got)

    def text(self, control):
        return self.do("text %d" % control)[0][len("text "):]

    def enabled(self, control):
        return self.do("enabled %d" % control) == ["enabled 1"]

    def combo(self, control):
        lines = self.do("combo %d" % control)
        items = [l.split(" ", 2)[2] if l.count(" ") >= 2 else "" for l in lines
                 if l.startswith("item ")]
        return items, int(lines[-1].split()[1])

    def box(self):
        lines = self.do("wait-box %d" % WAIT)
        return lines[0][len("box "):], lines[1][len("says "):]

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.close()
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()


class Program:
    """tarvelle.exe installed with its profile in C:\\tarvelle, and running."""

    def __init__(self, args, session):
        files = [args.tarvelle, args.profile] + ([args.flags] if args.flags else [])
        self.folder = session.prefix.install(files)
        self.proc = session.start(os.path.join(self.folder, os.path.basename(args.tarvelle)))
        self.driver = Driver(session, args.driver)
        self.driver.do("find %d" % WAIT)

    def profile(self):
        with open(os.path.join(self.folder, "TOLVEX.INI"), "rb") as f:
            return f.read().decode("latin-1")

    def exit_code(self, timeout=20):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return "still running"

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self.driver.stop()
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def write_config(session, name, lines):
    path = os.path.join(session.work_dir, name + ".conf")
    with open(path, "w") as f:
        f.write("".join(line + "\n" for line in lines))
    return path


def add_modem(args, session, port, *lines):
    return session.add_modem(port, args.sim, config=write_config(session, "com%d" % port, lines))


def ends_with_exit_code_0(program, button):
    program.driver.do("press %d" % button)
    program.driver.do("wait-gone %d" % WAIT)
    code = program.exit_code()
    expect(code == 0, "the program must end with exit code 0", code)


def case_no_modem(args, session):
    # COM10 is beyond the scan; the other ports lead nowhere.
    link = os.path.join(session.work_dir, "modem-com10")
    com10 = harness.Simulator(args.sim, link, log=os.path.join(session.work_dir, "com10.log"))
    session.modems[10] = com10
    os.symlink(link, os.path.join(session.prefix.path, "dosdevices", "com10"))
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        d.do("wait-text %d %d %s" % (IDC_STATUS, WAIT, INSERT_MODEM))
        expect(d.combo(IDC_MODEM) == ([NO_MODEM], 0), "one 'no modem' item", d.combo(IDC_MODEM))
        expect(d.enabled(IDC_APPLY), "Apply must be enabled")
        expect(not d.enabled(IDC_COUNTRY), "the country list must be disabled")
        session.screenshot("no-modem")

        # Apply scans again, and finds nothing again.
        d.do("press %d" % IDC_APPLY)
        d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
        expect(d.combo(IDC_MODEM) == ([NO_MODEM], 0), "still one 'no modem' item")
        expect(d.text(IDC_STATUS) == INSERT_MODEM, "status after the rescan", d.text(IDC_STATUS))
        expect(com10.commands() == [], "COM10 must never be probed", com10.commands())

        d.do("sysmenu-about")
        session.screenshot("about")
        about = d.do("about")
        expect(about == ["text Quorvant's Tarvelle", "text Version 1.4",
                         "text Copyright (C) 2026 Quorvant"], "About box texts", about)
        ends_with_exit_code_0(program, IDCANCEL)


def case_two_modems(args, session):
    com5 = add_modem(args, session, 5, "ident = " + VENDOR_IDENT)
    com2 = add_modem(args, session, 2)
    com7 = add_modem(args, session, 7, "ident = Acme Fax Modem 33.6")
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        d.do("wait-text %d %d Your modem is currently set for Japan" % (IDC_STATUS, WAIT))
        items, selected = d.combo(IDC_MODEM)
        expect(items == [VENDOR_IDENT + "  COM5", SIM_IDENT + "  COM2"] and selected == 0,
               "modems COM5 then COM2, COM5 selected", items, selected)
        countries, chosen = d.combo(IDC_COUNTRY)
        expect(countries == ["Australia", "Japan", "United States"], "countries", countries)
        expect(chosen == 1, "Japan selected", chosen)
        expect(d.enabled(IDC_COUNTRY) and not d.enabled(IDC_APPLY), "list on, Apply off")
        expect(com5.commands() == IDENTIFY + READ_NC, "COM5 identified and read",
               com5.commands())
        expect(com2.commands() == IDENTIFY, "COM2 only identified", com2.commands())
        expect(com7.commands() == IDENTIFY, "COM7 only identified", com7.commands())
        session.screenshot("two-modems")
        ends_with_exit_code_0(program, IDOK)  # OK without a pick


def case_apply(args, session):
    com3 = add_modem(args, session, 3)
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        d.do("wait-text %d %d Your modem is currently set for Japan" % (IDC_STATUS, WAIT))
        countries, _ = d.combo(IDC_COUNTRY)
        d.do("select %d %d" % (IDC_COUNTRY, countries.index("United States")))
        d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
        read = com3.commands()
        d.do("press %d" % IDC_APPLY)
        d.do("wait-text %d %d Your modem is currently set for United States"
             % (IDC_STATUS, WAIT))
        d.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
        applied = com3.commands()[len(read):]
        expect(applied == [WAKE, r"AT*ncB5\r", r"ATz\r", r"ATi5\r", r"ATi9##\r",
                           r"ATi9ccB5#\r"], "the apply's commands", applied)
        expect(not d.enabled(IDC_APPLY), "Apply off after the apply")
        expect("[cccfg]" in program.profile() and "cc=B5" in program.profile(),
               "the choice recorded in the profile", program.profile()[-200:])
        d.do("no-box")
        session.screenshot("applied")
        ends_with_exit_code_0(program, IDCANCEL)


def case_busy(args, session):
    # COM5's list comes late, so choosing COM2 meanwhile meets a running read.
    add_modem(args, session, 5, "fault.nclist = delay:2000")
    add_modem(args, session, 2)
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        d.do("wait-combo %d %d 2" % (IDC_MODEM, WAIT))
        d.do("select %d 1" % IDC_MODEM)
        caption, text = d.box()
        expect((caption, text) == ("Country Code Status", BUSY), "the busy box", caption, text)
        session.screenshot("busy")
        d.do("close-box")
        d.do("wait-text %d %d Your modem is currently set for Japan" % (IDC_STATUS, WAIT))
        ends_with_exit_code_0(program, IDCANCEL)


def case_stalled_scan(args, session):
    # COM9 refuses the wake-up twice; COM7 answers it but never identifies.
    com9 = add_modem(args, session, 9, "fault.v1 = error")
    com7 = add_modem(args, session, 7, "fault.i3 = silent")
    com5 = add_modem(args, session, 5)
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        caption, _ = d.box()
        expect(caption == "Modem Status", "the refused wake-up's box", caption)
        d.do("close-box")
        d.do("wait-text %d %d Your modem is currently set for Japan" % (IDC_STATUS, WAIT))
        expect(d.combo(IDC_MODEM) == ([SIM_IDENT + "  COM5"], 0), "COM5 alone listed",
               d.combo(IDC_MODEM))
        expect(com9.commands() == [WAKE, WAKE], "COM9 woken twice", com9.commands())
        expect(com7.commands() == IDENTIFY, "COM7 asked once", com7.commands())
        expect(com5.commands() == IDENTIFY + READ_NC, "COM5 read", com5.commands())
        d.do("no-box")
        ends_with_exit_code_0(program, IDCANCEL)


def case_gci_ok(args, session):
    # OK with a pick on an AT+GCI modem: the key is the code sent, the modem's
    # note is left alone, the profile is not written, and the program ends.
    com4 = add_modem(args, session, 4, "dialect = gci", "country = 00",
                     "supported = +GCI: (09,00,B5)")
    session.check_unused_ports(args.probe)

    with Program(args, session) as program:
        d = program.driver
        d.do("wait-text %d %d Your modem is currently set for Japan" % (IDC_STATUS, WAIT))
        read = com4.commands()
        expect(read == IDENTIFY + READ_GCI, "the AT+GCI read", read)
        countries, chosen = d.combo(IDC_COUNTRY)
        expect(countries == ["Australia", "Japan", "United States"] and chosen == 1,
               "countries, Japan selected", countries, chosen)
        profile_before = program.profile()
        d.do("select %d %d" % (IDC_COUNTRY, countries.index("United States")))
        d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
        ends_with_exit_code_0(program, IDOK)
        applied = com4.commands()[len(read):]
        expect(applied == [WAKE, r"AT+GCI=B5\r", r"ATz\r", r"ATi5\r"], "the apply's commands",
               applied)
        expect(program.profile() == profile_before, "the profile unchanged")


CASES = {
    "gci-ok": case_gci_ok,
    "stalled-scan": case_stalled_scan,
    "no-modem": case_no_modem,
    "two-modems": case_two_modems,
    "apply": case_apply,
    "busy": case_busy,
}


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    for name in ("tarvelle", "driver", "probe", "sim", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--flags")
    args = parser.parse_args(argv[1:])
    for exe in (args.tarvelle, args.driver, args.probe, args.sim):
        if not os.path.exists(exe):
            print("not built: %s" % exe)
            return 77
    work = os.path.join(args.work, "program-" + args.case)
    template = harness.ensure_template(args.work)
    try:
        with harness.Session(work, template) as session:
            CASES[args.case](args, session)
    except Exception:
        traceback.print_exc()
        return 1
    print("passed; screenshots in %s" % work)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
