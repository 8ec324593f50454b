"""Start-up and idle figures of tarvelle.exe under Wine.

Against a simulated modem on COM3 that answers at once, it prints the time
from starting the program to the first modem being listed and to the end of
its read (the "ATi9" answer), taken from the simulator's time-stamped command
log; then the program's idle CPU while the dialog waits for the user; and,
with no modem at all, the time from start to the end of a scan of nine
absent ports (an upper bound: Wine's own start is included).

    program_wine.py --tarvelle EXE --driver EXE --probe EXE --sim EXE
                    --profile INI --work DIR [--runs 5] [--seconds 5]
"""

import argparse
import datetime
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "wine"))

import harness  # noqa: E402
import wine_case  # noqa: E402
from program_test import INSERT_MODEM  # noqa: E402
from wine_case import IDC_STATUS, IDCANCEL, READ_DONE, WAIT  # noqa: E402

PORT = 3


def logged_times(log_path):
    """(time stamp in seconds, command) of every command the simulator logged."""
    entries = []
    with open(log_path) as f:
        for line in f:
            stamp, _, command = line.rstrip("\n").partition(" ")
            when = datetime.datetime.fromisoformat(stamp).timestamp()
            entries.append((when, command.strip('"')))
    return entries


def one_start(args, session, sim):
    started = time.time()
    program = wine_case.Program(args, session)
    try:
        program.driver.wait_status(READ_DONE)
        commands = logged_times(sim.log)[-7:]  # identification, then the read
        listed = commands[2][0] - started      # the read's wake-up follows the listing
        read = commands[-1][0] - started       # "ATi9" asked; its answer is immediate
        program.end(IDCANCEL)
    finally:
        program.stop()
    return listed, read


def idle_share(args, session, seconds):
    program = wine_case.Program(args, session)
    try:
        program.driver.wait_status(READ_DONE)
        program.driver.stop()  # the driver's own process is not the program's cost
        pids = session.prefix.pids()
        before = harness.cpu_ticks(pids)
        time.sleep(seconds)  # the span being measured
        after = harness.cpu_ticks(pids)
    finally:
        program.stop()
    return harness.cpu_seconds_between(before, after) / seconds


def baseline_share(session, seconds):
    before = harness.cpu_ticks(session.prefix.pids())
    time.sleep(seconds)  # the span being measured
    after = harness.cpu_ticks(session.prefix.pids())
    return harness.cpu_seconds_between(before, after) / seconds


def empty_scan(args, template, runs):
    spans = []
    with harness.Session(os.path.join(args.work, "bench-program-scan"), template) as session:
        session.check_unused_ports(args.probe)
        for _ in range(runs):
            started = time.monotonic()
            program = wine_case.Program(args, session)
            try:
                program.driver.wait_status(INSERT_MODEM)
                spans.append(time.monotonic() - started)
                program.end(IDCANCEL)
            finally:
                program.stop()
    return spans


def main():
    parser = argparse.ArgumentParser()
    for name in ("tarvelle", "driver", "probe", "sim", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--flags")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=5)
    args = parser.parse_args()

    template = harness.ensure_template(args.work)
    with harness.Session(os.path.join(args.work, "bench-program"), template) as session:
        sim = session.add_modem(PORT, args.sim)
        session.check_unused_ports(args.probe)
        starts = [one_start(args, session, sim) for _ in range(args.runs)]
        baseline = baseline_share(session, args.seconds)
        idle = idle_share(args, session, args.seconds)
    scans = empty_scan(args, template, args.runs)

    ms = lambda values: "median %.0f ms, max %.0f ms" % (
        1000 * statistics.median(values), 1000 * max(values))
    print("start to first modem listed: %s (%d runs)" % (ms([s[0] for s in starts]), args.runs))
    print("start to the end of its read (ATi9): %s" % ms([s[1] for s in starts]))
    print("start to the end of a scan of nine absent ports: %s (Wine's start included)"
          % ms(scans))
    print("idle, dialog waiting for the user: %.2f%% of a core (Wine session alone: %.2f%%)"
          % (100 * idle, 100 * baseline))
    return 0


if __name__ == "__main__":
    sys.exit(main())
