"""Idle cost of an open, silent COM port under Wine, and the close latency.

Holds a port of the Win32 serial link open against a silent simulated modem
and prints the CPU used by the whole Wine process tree of the prefix
(wineserver, the probe, Wine's services and desktop) over the hold, as a
share of one core; then the latency of a close and of one short conversation.

    wine_idle.py --probe serial_probe.exe --sim modem-sim --work DIR [--seconds 5]
"""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "wine"))

import harness  # noqa: E402
import probe  # noqa: E402

PORT = 3
TALKS = 5


def session_baseline(session, seconds):
    """CPU of the prefix's processes while no program runs, over the same span."""
    before = harness.cpu_ticks(session.prefix.pids())
    time.sleep(seconds)  # the span being measured
    after = harness.cpu_ticks(session.prefix.pids())
    return harness.cpu_seconds_between(before, after)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=int, default=5)
    args = parser.parse_args()

    template = harness.ensure_template(args.work)
    with harness.Session(os.path.join(args.work, "bench-wine-idle"), template) as session:
        session.add_modem(PORT, args.sim)
        session.check_unused_ports(args.probe)
        baseline = session_baseline(session, args.seconds)
        idle = probe.hold_idle(session, args.probe, PORT, args.seconds)
        talks = [probe.talk(session, args.probe, PORT) for _ in range(TALKS)]
    if any(t.code != 0 for t in talks):
        print("a conversation failed: %r" % [t.result for t in talks if t.code != 0][0])
        return 1
    print("idle open port under Wine: %.3f s CPU over %.2f s = %.2f%% of a core" %
          (idle.cpu_seconds, idle.wall_seconds, 100 * idle.core_share))
    print("  the Wine session alone, no port open: %.3f s CPU over %.2f s = %.2f%% of a core" %
          (baseline, args.seconds, 100 * baseline / args.seconds))
    print("close after the idle hold: %.2f ms" % idle.close_ms)
    print("close after a conversation: median %.2f ms, max %.2f ms (%d runs)" %
          (statistics.median(t.close_ms for t in talks), max(t.close_ms for t in talks), TALKS))
    print("command to final result (ATV1i3): median %.2f ms" %
          statistics.median(t.reply_ms for t in talks))
    return 0


if __name__ == "__main__":
    sys.exit(main())
