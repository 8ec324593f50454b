"""tarvelle.exe under Wine against a simulated modem that fails, one case for
each kind of failure, and against damaged profiles. Each ends with the box
the failure calls for, the port given back, the profile untouched by a step
that did not get that far, a dialog that still reads the modem, and Cancel
ending the program with exit code 0."""

import os
import random
import sys
import time

from wine_case import (IDC_APPLY, IDC_COUNTRY, IDC_MODEM, IDC_STATUS, IDCANCEL, READ_DONE, WAIT,
                       add_modem, expect, run, started)

TIMEOUT = ("Modem Status", "Modem dialog timeout occurred!")
SET_FAILED = ("Modem Status", "Failure to set the Country Code!")
DEPLETED = ("Modem Status", "Internal Storage Depletion, disconnecting from port")
UNPLUGGED = ("Info Status", "Connection failed! Modem may be busy, not connected or unavailable.")
CURRENT = "Your modem is currently set for "


def held_ttys(session):
    """Pseudo-terminals that a process of the prefix (the wineserver
    included) has open: a port the program has let go of is in none."""
    held = set()
    for pid in session.prefix.pids():
        try:
            fds = os.listdir("/proc/%d/fd" % pid)
        except OSError:
            continue
        for fd in fds:
            try:
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
            except OSError:
                continue
            if target.startswith("/dev/pts/"):
                held.add(target)
    return held


def expect_port_released(session):
    # The close is over before the box's owner hears of it, but the
    # wineserver lets go of the device once it has served the close.
    deadline = time.monotonic() + 5
    while held_ttys(session) and time.monotonic() < deadline:
        time.sleep(0.05)
    expect(not held_ttys(session), "the port is still open", held_ttys(session))


def expect_boxes(d, *boxes):
    for box in boxes:
        got = d.box()
        expect(got == box, "the box", got, box)
        d.do("close-box")


def reread(d):
    """The dialog still answers: choosing the modem again reads it."""
    d.do("select %d 0" % IDC_MODEM)
    d.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
    # The list is filled, and enabled, before the present country is asked.
    deadline = time.monotonic() + WAIT / 1000
    while not d.text(IDC_STATUS).startswith(CURRENT) and time.monotonic() < deadline:
        time.sleep(0.05)
    expect(d.text(IDC_STATUS).startswith(CURRENT), "the read's status", d.text(IDC_STATUS))


def apply_us(d):
    countries, _ = d.combo(IDC_COUNTRY)
    d.do("select %d %d" % (IDC_COUNTRY, countries.index("United States")))
    d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
    d.do("press %d" % IDC_APPLY)


def fault_case(scenario, boxes, apply=False, read_again=True):
    def case(args, session):
        add_modem(args, session, 3, *scenario)
        with started(args, session) as (program, d):
            before = program.profile()
            if apply:
                d.wait_status(READ_DONE)
                apply_us(d)
            expect_boxes(d, *boxes)
            session.screenshot("after-fault")
            expect_port_released(session)
            expect(program.profile() == before, "the profile changed")
            if read_again:
                reread(d)
            program.end(IDCANCEL)
    return case


# Damaged profiles, each made in the program's folder before it starts.
def write(name, data):
    def make(folder):
        with open(os.path.join(folder, "TOLVEX.INI"), "wb") as f:
            f.write(data)
    return name, make


def entries(count, prefix):
    return "".join("%s%03X=Country %d,xx,%03X\r\n" % (prefix, i, i, i) for i in range(count))


COUNTRIES = "00=Japan,jp,00\r\n09=Australia,au,09\r\nB5=United States,us,B5\r\n"


def remove(folder):
    os.remove(os.path.join(folder, "TOLVEX.INI"))


def folder_named_like_it(folder):
    remove(folder)
    os.mkdir(os.path.join(folder, "TOLVEX.INI"))


def read_only(folder):
    os.chmod(os.path.join(folder, "TOLVEX.INI"), 0o444)


def hundred_megabytes(folder):
    path = os.path.join(folder, "TOLVEX.INI")
    with open(path, "ab") as f:
        f.truncate(100 << 20)  # sparse: the shipped countries, then zero bytes


def noise():
    rng = random.Random(20261206)
    return bytes(0 if rng.randrange(7) == 0 else rng.randrange(256) for _ in range(4096))


DAMAGES = [
    ("missing", remove),
    ("a-folder", folder_named_like_it),
    ("read-only", read_only),
    ("100-megabytes", hundred_megabytes),
    write("random-bytes", noise()),
    write("utf-16", b"\xff\xfe" + ("[tolvx]\r\n" + COUNTRIES).encode("utf-16-le")),
    write("no-country-section", ("[other]\r\n" + COUNTRIES).encode()),
    write("1000-entries", ("[tolvx]\r\n" + entries(1000, "K") + COUNTRIES).encode()),
    write("long-keys", ("[tolvx]\r\n" + entries(40, "LONGKEYNAME") + COUNTRIES).encode()),
    write("duplicate-sections", ("[tolvx]\r\n00=Japan,jp,00\r\n[cccfg]\r\ncc=00\r\n[tolvx]\r\n" +
                                 COUNTRIES + "[cccfg]\r\ncc=09\r\n").encode()),
]
# Files whose every byte a write must keep, with nothing but text lines added.
UNCHANGED = {"a-folder", "read-only", "utf-16"}


def snapshot(folder):
    path = os.path.join(folder, "TOLVEX.INI")
    if os.path.isdir(path):
        return "folder"
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def kept_every_byte(before, after):
    """Every byte of `before` is in `after`, in order, and what came in
    between is printable text and line ends."""
    at = 0
    for c in after:
        if at < len(before) and c == before[at]:
            at += 1
        elif not (c in b"\r\n" or 32 <= c < 127):
            return False
    return at == len(before)


def case_damaged_profiles(args, session):
    add_modem(args, session, 3)
    for name, make in DAMAGES:
        made = {}

        def prepare(folder):
            make(folder)
            made["before"] = snapshot(folder)

        with started(args, session, folder="tarvelle-" + name, prepare=prepare) as (program, d):
            before = made["before"]
            d.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
            countries, _ = d.combo(IDC_COUNTRY)
            expect(countries, name + ": an empty country list")
            d.do("select %d %d" % (IDC_COUNTRY, len(countries) - 1))
            if d.enabled(IDC_APPLY):
                d.do("press %d" % IDC_APPLY)
                d.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
            session.screenshot(name)
            program.end(IDCANCEL)
            after = snapshot(program.folder)
            if name in UNCHANGED:
                expect(after == before, name + ": the profile changed")
            elif before is not None:
                expect(kept_every_byte(before, after), name + ": bytes of the profile lost")


CASES = {
    "modem-error": fault_case(["fault.ncset = error x1"], [SET_FAILED], apply=True),
    "modem-silence": fault_case(["fault.nclist = silent x1"], [TIMEOUT]),
    "modem-hangup": fault_case(["fault.ncset = hangup x1"], [TIMEOUT], apply=True),
    "modem-unplugged": fault_case(["fault.i3 = unplug"], [UNPLUGGED], read_again=False),
    # ATi5's answer comes in three pieces 300 ms apart: any two of them fit
    # the gathered text, all three do not, however late the reading thread
    # wakes; only a block of all three at once (a reader stalled 600 ms)
    # would be dropped unread.
    "modem-line-noise": fault_case(["fault.i3 = garbage:40 nul", "note = CC00",
                                    "fault.i9 = long:2500", "fault.i5 = long:4000 split:1500 x1",
                                    "split_gap_ms = 300"],
                                   [DEPLETED, TIMEOUT]),
    "damaged-profiles": case_damaged_profiles,
}

if __name__ == "__main__":
    sys.exit(run(CASES, ("tarvelle", "driver", "probe", "sim", "profile"), ("flags",), "faults-"))
