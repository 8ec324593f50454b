#!/usr/bin/env python3
"""Prints what the look for other users of a port costs while another user
holds many descriptors (as root, the holders as nobody, 19,000 to a process
under the hard limit a process has here):

  show              show --port of a simulated modem: the whole run, in
                    seconds (median of 5)
  SIGTERM           a scan naming that modem ten times (ten ports' worth of
                    look), sent SIGTERM 0.5 s in: the time from the signal
                    to the end of the run (median of 5; goal: under 1 s)
  reapply --wait 5  processor time used while the port stays busy

Run it against two builds to compare them: busy_walk.py --cli PATH --sim PATH."""

import argparse
import os
import resource
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cli"))
import harness  # noqa: E402
from cli_test import holding  # noqa: E402


def timed(args, env, term_after=None):
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    proc = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if term_after is not None:
        time.sleep(term_after)
        proc.send_signal(signal.SIGTERM)
        started = time.monotonic()
    proc.wait()
    now = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (time.monotonic() - started,
            now.ru_utime + now.ru_stime - used.ru_utime - used.ru_stime, proc.returncode)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", default="/tmp/busy_walk")
    parser.add_argument("--descriptors", type=int, default=1000000)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    link = os.path.join(args.work, "modem")
    sim = harness.Simulator(args.sim, link, log=link + ".log")
    profile = os.path.join(args.work, "TOLVEX.INI")
    with open(profile, "w") as f:
        f.write("[tolvx]\r\n00=Japan,jp,00\r\n[cccfg]\r\ncc=00\r\n")
    env = dict(os.environ, TARVELLE_PROFILE=profile)
    try:
        with holding("/dev/null", "read-write", user="nobody", more=args.descriptors):
            runs = [timed([args.cli, "show", "--port", link], env) for _ in range(5)]
            print("show              %.2f s (exit %d)" % (
                statistics.median(r[0] for r in runs), runs[0][2]))
            runs = [timed([args.cli, "scan"] + ["--port", link] * 10, env, 0.5)
                    for _ in range(5)]
            print("SIGTERM           %.2f s to the end (exit %d)" % (
                statistics.median(r[0] for r in runs), runs[0][2]))
            with holding(os.path.realpath(link), "read-write"):
                took, cpu, code = timed([args.cli, "reapply", "--wait", "5", "--port", link], env)
            print("reapply --wait 5  %.1f s of processor time in %.1f s (exit %d)" % (
                cpu, took, code))
    finally:
        sim.stop()


if __name__ == "__main__":
    main()
