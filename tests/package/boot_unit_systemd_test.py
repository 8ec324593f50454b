#!/usr/bin/env python3
"""The boot unit as a real systemd runs it: a minimal Debian booted in a
container, the .deb installed, a saved choice, the unit enabled, a simulated
modem as /dev/ttyACM0. Each row is one boot of a fresh copy of that root.
Skipped (77) without root or a tool, unless CI=true.
    boot_unit_systemd_test.py --build DIR --sim MODEM_SIM"""

import argparse
import os
import re
import shutil
import sys
import time

import container
import harness
from getty_line import GettyError, poll

UNIT = "tarvelle-reapply@ttyACM0.service"
PORT = "/dev/ttyACM0"
PROFILE = "/var/lib/tarvelle/TOLVEX.INI"
LOCK = "/run/lock/LCK..ttyACM0"
WAKE_UP = "\\rATV1\\r"
LOST, KEPT = "country = 00", "country = 09"
LATER = "/mnt/modem"  # a modem plugged in later waits here, out of the program's sight
# The README's steps, as root. Unbooted, the root has no /run/lock yet.
SETUP = "systemctl enable {0}\nmkdir /run/lock\ntarvelle-cli set Australia --port {1}\n".format(
    UNIT, PORT)
SET_COMMANDS = re.compile(r"AT\*NC[0-9A-Z]|ATI9(##|CC)", re.I)
HOLDER = ("/etc/systemd/system/port-holder.service", "[Unit]\nBefore=%s\n[Service]\nType=exec\n"
          "ExecStart=/bin/sleep infinity\nStandardInput=file:%s\n"
          "[Install]\nWantedBy=multi-user.target\n" % (UNIT, PORT))
GETTY = "mgetty@ttyACM0.service"
# The simulated modem wants a set-up of one AT.
MGETTY_CONFIG = ("/etc/mgetty/mgetty.config", "port ttyACM0\n  init-chat \"\" AT OK\n")
MGETTY_LOG = "/var/log/mgetty/mg_ttyACM0.log"


def readme_getty():
    """The README's unit for mgetty, as a user would save it."""
    with open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md")) as f:
        text = f.read()
    block = re.search(r"Save as\s+`(/etc/systemd/system/\S+)`.*?\n\n((?:    [^\n]*\n|\n)+)",
                      text, re.S)
    return block.group(1), re.sub(r"(?m)^    ", "", block.group(2))


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [str(d) for d in details]))


def held_by_the_holder(box, journal, sim):
    pid = box.main_pid(os.path.basename(HOLDER[0]))
    expect("in use by process %d (sleep), which did not let go" % pid in journal,
           "the holder named", journal)


def plugged_in_while_waiting(box):
    locked = container.Watch(box.path("/run/lock"), container.IN_CREATE)
    box.plug_in(LATER, PORT)
    # Other programs read its PID to tell whether it is stale.
    locked.wait(30, os.path.basename(LOCK))
    mode = os.stat(box.path(LOCK)).st_mode & 0o777
    expect(mode == 0o644, "the UUCP lock's mode is %o" % mode)


def borrowed_from_the_getty(box, sim):
    # Each start fails until the modem is there: past systemd's start limit
    # (5 in 10 s), the getty must still be trying.
    poll(lambda: box.read(MGETTY_LOG).count("cannot get terminal line") > 5, 30,
         "mgetty trying again without its modem")
    box.plug_in(LATER, PORT)
    getty_holds_the_port(box, sim, 1)
    box.run("sh", "-c", "systemctl start %s || true" % UNIT)  # as the udev rule starts it


def getty_holds_the_port(box, sim, start):
    """Until mgetty's start number `start` has set the modem up and waits for
    a call, holding the port and no lock."""
    device = os.stat(sim.slave).st_rdev
    poll(lambda: box.read(MGETTY_LOG).count("waiting...") >= start and
         box.holds(box.main_pid(GETTY), device) and not os.path.exists(box.path(LOCK)), 40,
         "mgetty's start %d" % start)


def getty_took_it_back(box, journal, sim):
    sent = sim.commands()
    set_at = next(i for i, c in enumerate(sent) if SET_COMMANDS.search(c))
    expect(WAKE_UP in sent[:set_at] and sent[set_at + 1] == "ATz\\r", "borrowed, then set", sent)
    expect("lock file exists" in box.read(MGETTY_LOG), "mgetty stepped aside")
    getty_holds_the_port(box, sim, 2)


def rated_in_place(box, journal, sim):
    said = box.run("systemd-analyze", "security", "--no-pager", UNIT)
    rated = re.search(r"Overall exposure level for \S+: ([0-9.]+)", said)
    expect(rated and float(rated.group(1)) <= 2.5, "rated 2.5 or better", said[-300:])
    print("exposure %s" % rated.group(1))


# name, the modem (a modem-sim scenario), when the port comes ("getty": after
# boot, into a getty's hands, and the unit is then started as the udev rule
# starts it), files added (units enabled), the unit's Result, its journal
# says, set commands sent (None: only the wake-up of a borrow), a last look.
CASES = [
    ("lost_country_set_at_boot", LOST, "boot", (), "success", PORT + ": set to Australia", True,
     None),
    ("second_boot_only_reads", KEPT, "boot", (), "success", "already set to Australia [09]; "
     "nothing sent", False, None),
    # The slow answer keeps the lock there for a look.
    ("plugged_in_after_the_unit_started", LOST + "\nfault.i5 = delay:500 x1", "later", (),
     "success", "set to Australia", True, None),
    ("busy_port_left_alone", LOST, "boot", (HOLDER,), "exit-code", "(waited 30 s)", None,
     held_by_the_holder),
    ("sandbox_rated_online", KEPT, "boot", (), "success", "nothing sent", False, rated_in_place),
    ("borrowed_from_a_getty", LOST, "getty", (readme_getty(), MGETTY_CONFIG), "success",
     "set to Australia", True, getty_took_it_back),
]


def boot(args, ws, base, case):
    name, modem, comes, files, result, said, sets, then = case
    folder = ws.path(name)
    os.makedirs(folder)
    with open(os.path.join(folder, "modem.cfg"), "w") as f:
        f.write(modem + "\n")
    sim = harness.Simulator(args.sim, os.path.join(folder, "link"), log=os.path.join(folder, "log"),
                            config=os.path.join(folder, "modem.cfg"))
    try:
        with container.Overlay(base, os.path.join(folder, "tree")) as root:
            system = root + "/etc/systemd/system/"
            for path, text in files:  # units enabled, as "systemctl enable" leaves them
                with open(root + path, "a") as f:
                    f.write(text)
                if path.endswith(".service"):
                    unit = os.path.basename(path)
                    os.symlink("../" + unit, system + "multi-user.target.wants/" +
                               unit.replace("@.", "@ttyACM0."))
            if comes == "getty":
                os.unlink(system + "multi-user.target.wants/" + UNIT)
            if comes == "later":  # it reads the profile first thing, in its sandbox
                started = container.Watch(root + PROFILE, container.IN_OPEN)
            binds = [(sim.slave, PORT if comes == "boot" else LATER)]
            with container.Container(root, binds, name="tarvelle-" + name.replace("_", "-")) as box:
                if comes == "later":
                    started.wait(30)
                    plugged_in_while_waiting(box)
                seconds = box.wait_ready(100)
                if comes == "getty":
                    borrowed_from_the_getty(box, sim)
                journal = box.journal(UNIT)
                got = box.run("systemctl", "show", "-P", "Result", UNIT).strip()
                expect(got == result, "Result=%s" % got, journal)
                expect(said in journal, "the journal says %r" % said, journal)
                sent = sim.commands()
                expect(not os.path.exists(box.path(LOCK)), "no lock left behind")
                if sets is None:
                    expect(sent == [WAKE_UP], "only the wake-up sent", sent)
                else:
                    expect(any(SET_COMMANDS.search(c) for c in sent) == sets and
                           any("ATi5" in c for c in sent), "set commands: %s" % sets, sent)
                if then:
                    then(box, journal, sim)
        return seconds
    finally:
        sim.stop()


def missing():
    tools = ("mmdebstrap", "systemd-nspawn", "nsenter", "cpack")
    return ["root"] * (os.geteuid() != 0) + [t for t in tools if shutil.which(t) is None]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    lacking = missing()
    if lacking:
        print("needs %s (scripts/setup.sh installs the tools)" % ", ".join(lacking))
        return 1 if os.environ.get("CI") == "true" else 77
    harness._end_cleanly_on_sigterm()
    began = time.monotonic()
    failures = 0
    with container.private_mounts(), container.Workspace(args.build) as ws:
        # The choice is saved as the README says: set as root on the modem.
        sim = harness.Simulator(args.sim, ws.path("link"))
        try:
            base = ws.base_tree(SETUP, [(sim.slave, PORT)])
        finally:
            sim.stop()
        print("root ready in %.1f s" % (time.monotonic() - began), flush=True)
        for case in CASES:
            started = time.monotonic()
            try:
                print("%s: booted in %.1f s, done in %.1f s" % (
                    case[0], boot(args, ws, base, case), time.monotonic() - started), flush=True)
            except (AssertionError, container.ContainerError, harness.HarnessError,
                    GettyError) as e:
                print("FAIL %s: %s" % (case[0], e), flush=True)
                failures += 1
    print("%d cases in %.1f s" % (len(CASES), time.monotonic() - began))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
