#!/usr/bin/env python3
"""Prints what `tarvelle-cli set --borrow` costs with a real getty (Debian's
mgetty, HylaFAX's faxgetty) on the simulated modem, run as the tests run it
(tools/wine/getty_line.py: the line bind-mounted at /dev/ttyTV<pid>, the
getty under a supervisor). Root only. For each getty, the median of RUNS:

  wake-up -> closed   our wake-up in the modem's log -> the getty's last
                      descriptor of the port closed (the getty's own time)
  closed -> ours      that close -> our conversation's first command (the
                      command line's share; goal: 100 ms or less)
  lock gone -> back   our lock removed -> the getty holds the port again
                      (goal: within the getty's own polling time)
  whole set           the borrowed set, start to exit"""

import argparse
import datetime
import os
import re
import statistics
import subprocess
import sys
import threading
import time

SOURCE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(SOURCE, "..", "tests", "cli"))

import cli_test  # noqa: E402
from getty_line import DEV, FAX_MODEM, LOCK, Line, holds  # noqa: E402

RUNS = 3
WAKE_UP = "\\rATV1\\r"


def watch(until, test):
    """The time.time() at which `test()` first holds, looked at every ms."""
    while time.monotonic() < until:
        if test():
            return time.time()
        time.sleep(0.001)
    return None


def logged_times(path, command):
    with open(path) as f:
        return [datetime.datetime.fromisoformat(t).timestamp()
                for t in re.findall(r'^(\S+) "%s"$' % re.escape(command), f.read(), re.M)]


def one_borrow(bench, line):
    """One borrowed set; gives the four figures in ms."""
    line.ready()
    getty, log = line.getty.pid, bench.sims["modem"].log
    wakes_before = len(logged_times(log, WAKE_UP))
    started = time.time()
    proc = bench.start("set", "gb", "--borrow", "--force", "--port", DEV,
                       env=dict(bench.env(), TARVELLE_LOCK_DIR="/var/lock"))
    closed = [None]
    closing = threading.Thread(target=lambda: closed.__setitem__(
        0, watch(time.monotonic() + 30, lambda: not holds(getty, line.device))))
    closing.start()
    gone = watch(time.monotonic() + 60, lambda: proc.poll() is not None and
                 not os.path.exists(LOCK))
    ended = time.time()
    closing.join()
    proc.communicate()
    back = watch(time.monotonic() + 90, lambda: line.getty is not None and
                 holds(line.getty.pid, line.device) and line.idle() and
                 not os.path.exists(LOCK))
    wakes = logged_times(log, WAKE_UP)[wakes_before:]
    if proc.returncode != 0 or None in (closed[0], gone, back) or len(wakes) < 2:
        raise SystemExit("a borrow failed: exit %s" % proc.returncode)
    return ((closed[0] - wakes[0]) * 1000, (wakes[1] - closed[0]) * 1000,
            (back - gone) * 1000, (ended - started) * 1000)


def main():
    parser = argparse.ArgumentParser()
    for name in ("sim", "cli", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    if os.geteuid() != 0:
        raise SystemExit("root only: the line is bind-mounted under /dev")
    print(__doc__.split("\n\n")[0] + "\n")
    for getty in ("mgetty", "faxgetty"):
        args.work_case = os.path.join(args.work, getty)
        subprocess.run(["rm", "-rf", args.work_case])
        os.makedirs(args.work_case)
        bench = cli_test.Bench(argparse.Namespace(sim=args.sim, work=args.work_case,
                                                  cli=args.cli))
        bench.modem("modem", **(FAX_MODEM if getty == "faxgetty" else {}))
        line = Line(bench.sims["modem"].slave, args.work_case, getty)
        try:
            figures = [one_borrow(bench, line) for _ in range(RUNS)]
        finally:
            line.close()
            bench.close()
        names = ("wake-up -> closed", "closed -> ours", "lock gone -> back", "whole set")
        print("%s (median of %d; %d starts):" % (getty, RUNS, line.starts))
        for i, name in enumerate(names):
            values = [f[i] for f in figures]
            print("  %-18s %8.0f ms   (%s)" % (name, statistics.median(values),
                                               ", ".join("%.0f" % v for v in values)))


if __name__ == "__main__":
    main()
