#!/usr/bin/env python3
"""Prints how soon `tarvelle-cli reapply --wait` talks to a modem that
appears while it waits, as a modem does at boot:

  link made    the device link is made (its folder there already, or made
               with it, as udev makes /dev/serial/by-id) -> the first command
               in the simulator's log (median of 20; goal: 20 ms or less)
  held 300 ms  the same, with the port held by another program (as
               ModemManager probes it) for 300 ms after the link is made:
               its release -> the first command"""

import fcntl
import os
import random
import shutil
import statistics
import subprocess
import time

import harness
from cli_bench import bench_folder, log_times

HELD_SECONDS = 0.3


def wake(args, env, sim, target, hold):
    """One reapply that waits for `target`; the ms from the link (or the
    port's release) to the first command."""
    seen = os.path.getsize(sim.log)
    proc = subprocess.Popen([args.cli, "reapply", "--wait", "20", "--port", target], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The modem comes at some moment of the wait, not in step with its pauses.
    time.sleep(random.uniform(0.3, 0.6))
    os.makedirs(os.path.dirname(target), exist_ok=True)
    fd = None
    if hold:
        fd = os.open(sim.slave, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        fcntl.flock(fd, fcntl.LOCK_EX)
    made = time.time()
    os.symlink(sim.slave, target)
    if hold:
        time.sleep(HELD_SECONDS)
        made = time.time()
        os.close(fd)
    proc.wait(timeout=60)
    first = log_times(sim.log, seen)
    if proc.returncode != 0 or not first:
        raise SystemExit("reapply ended with %d, the modem saw %r" % (proc.returncode, first))
    os.unlink(target)
    return (first[0][0] - made) * 1000


def main():
    args, profile = bench_folder("config")
    env = dict(os.environ, TARVELLE_PROFILE=profile, TARVELLE_LOCK_DIR=args.work)
    sim = harness.Simulator(args.sim, os.path.join(args.work, "modem"), config=args.config,
                            log=os.path.join(args.work, "modem.log"))
    try:
        subprocess.run([args.cli, "set", "us", "--port", sim.link], env=env, check=True,
                       stdout=subprocess.DEVNULL, timeout=60)
        for name, hold, folder in (("link made, folder there", False, "by-id"),
                                   ("link made with its folder", False, None),
                                   ("held 300 ms, then released", True, "by-id")):
            figures = []
            for i in range(20):
                base = os.path.join(args.work, "serial%d" % i)
                if folder:
                    os.makedirs(os.path.join(base, folder), exist_ok=True)
                figures.append(wake(args, env, sim, os.path.join(base, "by-id", "modem"), hold))
                shutil.rmtree(base)
            print("%-27s median %.1f ms, best %.1f ms, worst %.1f ms (goal <= 20 ms)"
                  % (name, statistics.median(figures), min(figures), max(figures)), flush=True)
    finally:
        sim.stop()


if __name__ == "__main__":
    main()
