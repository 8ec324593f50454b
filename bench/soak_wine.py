"""Soak under Wine: tarvelle.exe applies a country 100 times in a row against
a simulated modem on COM3. Wine's handle counts are not reliable, so the
figures are the program's resident memory and the wineserver's open
descriptors (every open port, event and thread of the program holds one
there), after the first few applies and after the last. Exit code 1 when the
last figures have grown past a small tolerance.

    soak_wine.py --tarvelle EXE --driver EXE --probe EXE --sim EXE
                 --profile INI --work DIR [--cycles 100]
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "wine"))

import harness  # noqa: E402
from wine_case import (IDC_APPLY, IDC_COUNTRY, IDC_STATUS, IDCANCEL, READ_DONE, WAIT,  # noqa: E402
                       Program)

FIRST_FEW = 5
MEMORY_TOLERANCE_KB = 1024
PICKS = ["United States", "Australia"]


def find_process(session, word):
    """The prefix's process whose command line holds `word`."""
    for pid in session.prefix.pids():
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if word.encode() in f.read().lower():
                    return pid
        except OSError:
            continue
    raise harness.HarnessError("no %s process" % word)


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def apply(d, country):
    countries, _ = d.combo(IDC_COUNTRY)
    d.do("select %d %d" % (IDC_COUNTRY, countries.index(country)))
    d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
    d.do("press %d" % IDC_APPLY)
    d.do("wait-text %d %d Your modem is currently set for %s" % (IDC_STATUS, WAIT, country))
    d.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
    d.do("no-box")


def main():
    parser = argparse.ArgumentParser()
    for name in ("tarvelle", "driver", "probe", "sim", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--cycles", type=int, default=100)
    args = parser.parse_args()
    args.flags = None

    template = harness.ensure_template(args.work)
    with harness.Session(os.path.join(args.work, "bench-soak"), template) as session:
        session.add_modem(3, args.sim)
        session.check_unused_ports(args.probe)
        program = Program(args, session)
        try:
            d = program.driver
            d.wait_status(READ_DONE)
            program_pid = find_process(session, "tarvelle.exe")
            server_pid = find_process(session, "wineserver")
            started = time.monotonic()
            for cycle in range(1, args.cycles + 1):
                apply(d, PICKS[cycle % 2])
                if cycle == FIRST_FEW:
                    first = resident_kb(program_pid), descriptors(server_pid)
            spent = time.monotonic() - started
            last = resident_kb(program_pid), descriptors(server_pid)
            program.end(IDCANCEL)
        finally:
            program.stop()

    print("applies: %d in %.1f s (%.0f ms each)" % (args.cycles, spent, 1000 * spent / args.cycles))
    print("tarvelle.exe resident memory: %d kB after %d applies, %d kB after %d (%+d kB)"
          % (first[0], FIRST_FEW, last[0], args.cycles, last[0] - first[0]))
    print("wineserver open descriptors: %d after %d applies, %d after %d"
          % (first[1], FIRST_FEW, last[1], args.cycles))
    grown = last[0] - first[0] > MEMORY_TOLERANCE_KB or last[1] > first[1]
    return 1 if grown else 0


if __name__ == "__main__":
    sys.exit(main())
