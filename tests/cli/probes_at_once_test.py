#!/usr/bin/env python3
"""Ports probed at once: a silent port no longer holds up the others, one
port's failure leaves the others alone, a search still takes the first modem
in its order, and whatever the command does not need is let go at once.
Run as cli_test.py is: probes_at_once_test.py CASE --cli PATH --sim PATH --work DIR."""

import datetime
import json
import os
import re
import signal
import sys

from cli_test import AS_NOBODY, JAPAN, expect, held, main, wait_for_command

SILENT = {"fault.v1": "silent"}


def wake_ups(bench, name):
    """When the modem `name` was sent each wake-up, in seconds."""
    with open(bench.sims[name].log) as f:
        return [datetime.datetime.fromisoformat(t).timestamp()
                for t in re.findall(r'^(\S+) "\\rATV1\\r"$', f.read(), re.M)]


def ports_are_probed_at_once(bench):
    # Two silent devices, a modem, and a device that hangs up at ATV1i3.
    quiet = [bench.modem("quiet0", **SILENT), bench.modem("quiet1", **SILENT)]
    good, broken = bench.modem("good"), bench.modem("broken", **{"fault.i3": "hangup"})
    out = bench.run("scan", *[a for p in quiet + [good, broken] for a in ("--port", p)])
    expect([(m["port"], m["country"]) for m in out["modems"]] == [(good, JAPAN)], "modems", out)
    expect([r["port"] for r in out["rejected"]] == [broken], "rejected", out)
    first, second = wake_ups(bench, "quiet0"), wake_ups(bench, "quiet1")
    expect(len(first) == len(second) == 2 and second[0] < first[1] and first[0] < second[1],
           "both silent ports probed at once", first, second)

    # A search, as nobody so that the fake /dev counts: ttyACM0 answers
    # later than ttyACM1, yet comes first in the search's order and wins;
    # ttyACM1 is let go while the set still runs on ttyACM0.
    dev = os.path.join(bench.work, "search", "dev")
    os.makedirs(dev)
    for name, settings in (("ttyACM0", {"fault.v1": "delay:400", "fault.ncset": "delay:1000"}),
                           ("ttyACM1", {})):
        bench.modem(name, **settings)
        os.chmod(bench.sims[name].slave, 0o666)
        os.symlink(bench.sims[name].slave, os.path.join(dev, name))
    for path, mode in ((bench.work, 0o777), (bench.locks, 0o1777), (bench.profile, 0o666)):
        os.chmod(path, mode)
    bench.runner = AS_NOBODY if os.geteuid() == 0 else []
    env = bench.env(TARVELLE_DEV_ROOT=os.path.dirname(dev))
    proc = bench.start("--json", "--probe-all", "set", "gb", env=env)
    wait_for_command(bench, "ttyACM0", "AT*ncB4\\r")
    expect(bench.commands("ttyACM1") == ["\\rATV1\\r", "ATV1i3\\r"] and
           not os.path.exists(bench.lock("ttyACM1")), "the later modem probed, then let go")
    with held(bench.sims["ttyACM1"].slave):  # fails while the program still has it
        pass
    out, err = proc.communicate(timeout=60)
    expect(proc.returncode == 0 and json.loads(out)["port"] == os.path.join(
        os.path.realpath(dev), "ttyACM0"), "the first modem in the search's order", out, err)
    bench.runner = []

    # A termination request while several probes run ends them all.
    quiet = [bench.modem("quiet2", **SILENT), bench.modem("quiet3", **SILENT)]
    proc = bench.start("scan", *[a for p in quiet for a in ("--port", p)])
    for name in ("quiet2", "quiet3"):
        wait_for_command(bench, name, "\\rATV1\\r")
    proc.send_signal(signal.SIGTERM)
    _, err = proc.communicate(timeout=10)
    expect(proc.returncode == 143 and os.listdir(bench.locks) == [], "ended, locks released",
           proc.returncode, err, os.listdir(bench.locks))
    for port in quiet:
        with held(port):
            pass


if __name__ == "__main__":
    sys.exit(main(ports_are_probed_at_once))
