"""From a modem's final reply byte to the program's next command, by answer pace.

A simulated modem on COM3 answers every command after a fixed delay (0, 50,
150 and 700 ms), and the program reads it and then applies countries in turn,
as a user pressing Apply would. The simulator stamps each command it receives
and each write it makes; the gap from the last write before a command to that
command is the program's part. Printed for each pace: the median, 99th
percentile and largest gap over the commands that follow a reply directly
(the wake-up that opens each conversation follows the user or the dialog, and
is left out), and apart from them the step that records the choice in the
profile before "ATi9##", which syncs a file (--steps gives that step also
less the save's own time, which the program traces). Then, for a modem that takes
150 to 700 ms per answer, the apply's time over the modem's own time (each
command's reply write less its arrival), from the wake-up to the last answer.

Each figure is taken for tarvelle.exe under Wine (worked through its dialog by
the driver, which keeps quiet while an apply runs) and for apply_posix, the
same workflow on the posix backend. The machine's other load shows in the 99th
percentiles of both.

--steps N instead starts tarvelle.exe N times against a modem that answers at
once (each start scans and reads the modem), applies --applies times over
those starts, and prints each step's median and 99th percentile, named by the
command before it and the command it leads to ("\rATV1\r -> ATV1i3\r": the
first reply after the scan's open). --compare EXE times a second build in
the same run, the two builds starting in turn, so both are timed on the same
machine and load.

    reply_pace.py --tarvelle EXE --driver EXE --probe EXE --posix EXE --sim EXE
                  --profile INI --work DIR [--applies 50] [--ratio-applies 20]
                  [--backends wine,posix] [--steps N [--compare EXE]]
"""

import argparse
import collections
import copy
import datetime
import math
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "wine"))

import harness  # noqa: E402
import wine_case  # noqa: E402

PORT = 3
PACES = [0, 50, 150, 700]
# Every command the read and the apply send, by the simulator's names.
COMMANDS = ["v1", "i3", "nclist", "i5", "i9", "ncset", "z", "i9clear", "i9set"]
# A slow modem whose answers take 150 to 700 ms, a different time for each command.
MIXED = {"v1": 150, "i3": 300, "nclist": 450, "i5": 250, "i9": 350, "ncset": 700, "z": 400,
         "i9clear": 550, "i9set": 200}
COUNTRIES = ["United States", "Australia"]
READ_COMMANDS = 7  # the scan's wake-up and ATV1i3, the read's two wake-ups, AT*nc?, ATi5, ATi9
APPLY_COMMANDS = 6  # wake-up, country, ATz, ATi5, ATi9##, ATi9cc<key>#
WAKE = r"\rATV1\r"
PROFILE_STEP = r"ATi9##\r"
SAVE_STEP = r"ATi5\r -> ATi9##\r"
# The program's trace line for the save of the choice, as Wine writes it.
SAVED = re.compile(r"choice saved in (\d+) us")
LAST_OF_APPLY = re.compile(r"^ATi9cc.*#\\r$")
LINE = re.compile(r'^(\S+) "(.*)"$')


def scenario(work, name, delays):
    path = os.path.join(work, name + ".cfg")
    with open(path, "w") as f:
        f.write("".join("fault.%s = delay:%d\n" % (c, ms) for c, ms in delays.items() if ms))
    return path


def read_log(path):
    """[(seconds, bytes as the log spells them)] of a simulator log."""
    entries = []
    with open(path) as f:
        for line in f:
            m = LINE.match(line.rstrip("\n"))
            if m:
                entries.append((datetime.datetime.fromisoformat(m.group(1)).timestamp(),
                                m.group(2)))
    return entries


class Timeline:
    """The commands a modem received, each with the last write made before it."""

    def __init__(self, commands, writes):
        self.steps = []  # (command, arrived, last write before it or None, first write after)
        w = 0
        for when, command in commands:
            while w < len(writes) and writes[w][0] <= when:
                w += 1
            before = writes[w - 1][0] if w > 0 else None
            # The modem's answer to it: its last write before the next command.
            self.steps.append([command, when, before, None])
        for i, step in enumerate(self.steps):
            end = self.steps[i + 1][1] if i + 1 < len(self.steps) else math.inf
            answered = [t for t, _ in writes if step[1] <= t < end]
            step[3] = answered[-1] if answered else None

    def steps_by_name(self, since=-math.inf, until=math.inf):
        """{"previous command -> command": [ms, ...]} over the commands that
        follow a reply and arrived between `since` and `until`; a wake-up
        follows the user or the program's own choice to open the port, so it
        is left out."""
        named = collections.defaultdict(list)
        for (previous, _, _, _), (command, arrived, before, _) in zip(self.steps, self.steps[1:]):
            if before is not None and command != WAKE and since <= arrived < until:
                named["%s -> %s" % (previous, command)].append(1000 * (arrived - before))
        return named

    def gaps(self, wanted):
        """Milliseconds from the last write to each command that `wanted` accepts."""
        return [1000 * (arrived - before) for command, arrived, before, _ in self.steps
                if before is not None and wanted(command)]

    def apply_ratios(self):
        """Each apply's time, wake-up to last answer, over the modem's time in it."""
        ratios = []
        start = None
        for i, (command, arrived, _, answered) in enumerate(self.steps):
            if command == WAKE:
                start = i
            if start is None or answered is None or not LAST_OF_APPLY.match(command):
                continue
            steps = self.steps[start:i + 1]
            if any(s[3] is None for s in steps):
                continue
            modem = sum(s[3] - s[1] for s in steps)
            ratios.append((answered - steps[0][1]) / modem)
            start = None
        return ratios


def timeline(sim):
    return Timeline(read_log(sim.log), read_log(sim.reply_log))


def wait_for_commands(sim, count, timeout=60.0):
    """Waits until the simulator has logged `count` commands, reading its log
    rather than asking the program: the driver's questions would pass through
    the same wineserver as the program's transfers and stretch them."""
    deadline = time.monotonic() + timeout
    while len(sim.commands()) < count:
        if time.monotonic() > deadline:
            raise harness.HarnessError("the modem saw %d commands, not %d" %
                                       (len(sim.commands()), count))
        time.sleep(0.02)  # the pace of looking at the log, not a wait for the program


def apply_in_turn(d, sim, applies, first=0):
    """`applies` applies through the dialog, the countries in turn from
    COUNTRIES[first], which must not be the modem's present country: an apply
    of that one would write no note."""
    for i in range(applies):
        country = COUNTRIES[(first + i) % 2]
        countries, _ = d.combo(wine_case.IDC_COUNTRY)
        d.do("select %d %d" % (wine_case.IDC_COUNTRY, countries.index(country)))
        d.do("wait-enabled %d %d 1" % (wine_case.IDC_APPLY, wine_case.WAIT))
        sent = len(sim.commands())
        d.do("press %d" % wine_case.IDC_APPLY)
        wait_for_commands(sim, sent + APPLY_COMMANDS)
        d.wait_status("Your modem is currently set for " + country)
        d.do("wait-enabled %d %d 1" % (wine_case.IDC_COUNTRY, wine_case.WAIT))


def run_wine(args, name, config, applies):
    work = os.path.join(args.work, "bench-reply-pace-" + name)
    with harness.Session(work, harness.ensure_template(args.work)) as session:
        sim = session.add_modem(PORT, args.sim, config=config)
        with wine_case.started(args, session) as (program, d):
            d.wait_status(wine_case.READ_DONE)
            apply_in_turn(d, sim, applies)
            program.end(wine_case.IDCANCEL)
        return timeline(sim)


def start_once(args, session, sim, applies, country, saves):
    """One start of args.tarvelle: it scans and reads the modem, set for
    `country`, then applies `applies` times; gives the country the modem is
    left set for. The driver is started first and keeps quiet until the modem has
    seen the read's last command: another Wine program starting, or looking
    for the dialog, while the program scans would be timed as the program's.
    The program's trace lines go to a file, and `saves` gets the time in ms
    of each save of the choice that they report, in order."""
    sent = len(sim.commands())
    first = 1 if country == COUNTRIES[0] else 0
    trace = os.path.join(session.work_dir, "trace.log")
    os.environ["TARVELLE_WINEDEBUG"] = "-all,+debugstr"
    try:
        with open(trace, "w") as stderr, \
                wine_case.started(args, session, quiet_start=True, stderr=stderr) as (program, d):
            wait_for_commands(sim, sent + READ_COMMANDS)
            program.find()
            d.wait_status("Your modem is currently set for " + country)
            apply_in_turn(d, sim, applies, first)
            program.end(wine_case.IDCANCEL)
    finally:
        del os.environ["TARVELLE_WINEDEBUG"]
    with open(trace, errors="replace") as f:
        saves += [int(us) / 1000 for us in SAVED.findall(f.read())]
    return COUNTRIES[(first + applies - 1) % len(COUNTRIES)] if applies else country


def run_starts(args, builds, starts, applies):
    """Each build started `starts` times, the builds taking turns in one Wine
    session against one modem, with `applies` applies for each build spread
    over its starts; gives {label: {step: [ms, ...]}}. Taking turns spreads
    the session's warming up and the machine's other load over all builds
    alike."""
    work = os.path.join(args.work, "bench-reply-steps")
    spans = []
    saves = {label: [] for label, _ in builds}
    country = "Japan"  # the simulated modem's own setting
    with harness.Session(work, harness.ensure_template(args.work)) as session:
        sim = session.add_modem(PORT, args.sim, config=scenario(args.work, "steps", {}))
        for start in range(starts):
            for label, exe in builds:
                build_args = copy.copy(args)
                build_args.tarvelle = exe
                began = time.time()
                here = applies // starts + (1 if start < applies % starts else 0)
                country = start_once(build_args, session, sim, here, country, saves[label])
                spans.append((label, began, time.time()))
        line = timeline(sim)
    steps = {label: collections.defaultdict(list) for label, _ in builds}
    for label, began, ended in spans:
        for name, values in line.steps_by_name(began, ended).items():
            steps[label][name] += values
    # The step that saves the choice, less the save's own time as the
    # program traced it: the program's share of that step.
    for label, _ in builds:
        saving = steps[label].get(SAVE_STEP, [])
        if saves[label] and len(saves[label]) == len(saving):
            steps[label][SAVE_STEP + " less the save"] = [
                step - save for step, save in zip(saving, saves[label])]
            steps[label]["the save itself"] = saves[label]
    return steps


def print_steps(args):
    builds = [("this build", args.tarvelle)] + ([("compared", args.compare)] if args.compare
                                                 else [])
    steps = run_starts(args, builds, args.steps, args.applies)
    print("wine: final reply byte -> next command, by step (%d starts, %d applies)" %
          (args.steps, args.applies))
    for name in sorted(set().union(*steps.values())):
        for label, _ in builds:
            print("  %-36s %-10s %s" % (name, label, describe(steps[label].get(name, []))))
    return 0


def run_posix(args, name, config, applies):
    work = os.path.join(args.work, "bench-reply-pace-posix-" + name)
    os.makedirs(work, exist_ok=True)
    link = os.path.join(work, "com3")
    sim = harness.Simulator(args.sim, link, config=config, log=os.path.join(work, "com3.log"),
                            reply_log=os.path.join(work, "com3.sent.log"))
    try:
        subprocess.run([args.posix, "--link", link, "--profile", args.profile,
                        "--applies", str(applies)], check=True, timeout=60 + 10 * applies)
    finally:
        sim.stop()
    return timeline(sim)


def percentile(values, share):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(share * len(ordered)) - 1)]


def describe(values):
    if not values:
        return "no samples"
    return "median %6.2f ms  p99 %6.2f ms  max %6.2f ms  (%d)" % (
        statistics.median(values), percentile(values, 0.99), max(values), len(values))


def main():
    parser = argparse.ArgumentParser()
    for name in ("tarvelle", "driver", "probe", "posix", "sim", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--flags")
    parser.add_argument("--applies", type=int, default=50)
    parser.add_argument("--ratio-applies", type=int, default=20)
    parser.add_argument("--backends", default="wine,posix")
    parser.add_argument("--steps", type=int, default=0)
    parser.add_argument("--compare")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    if args.steps:
        return print_steps(args)
    runners = {"wine": run_wine, "posix": run_posix}

    for backend in args.backends.split(","):
        run = runners[backend]
        print("%s: final reply byte -> next command" % backend, flush=True)
        for pace in PACES:
            name = "%dms" % pace
            line = run(args, name, scenario(args.work, name, {c: pace for c in COMMANDS}),
                       args.applies)
            chained = line.gaps(lambda c: c not in (WAKE, PROFILE_STEP))
            profile = line.gaps(lambda c: c == PROFILE_STEP)
            print("  answers after %3d ms: %s" % (pace, describe(chained)), flush=True)
            print("    profile step before ATi9##: %s" % describe(profile), flush=True)
        line = run(args, "mixed", scenario(args.work, "mixed", MIXED), args.ratio_applies)
        ratios = line.apply_ratios()
        print("  apply at 150-700 ms per answer: time / modem's time median %.4f, max %.4f "
              "(%d applies)" % (statistics.median(ratios), max(ratios), len(ratios)), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
