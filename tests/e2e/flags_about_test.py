"""The country list's flags and the About box of tarvelle.exe under Wine.
Screenshots are left in the work folder; with --docs, those the README shows
are copied there too (cropped to the program's windows, without time stamps,
so an unchanged picture leaves the file as it was)."""

import argparse
import os
import shutil
import subprocess
import sys
import time

from wine_case import (IDC_COUNTRY, IDCANCEL, IDOK, READ_DONE, WAIT, add_modem, expect, run,
                       started)

VK_RETURN, VK_ESCAPE = 13, 27
SC_MINIMIZE, SC_RESTORE = 0xF020, 0xF120
ITEM_HEIGHT = 32
FLAG_SIZE = (48, 32)

# The earlier run met code 2A and recorded it; this modem lists it again.
RECORDED_UNKNOWN = "Bogus1=Unknown Country - 2A,unkn,2A\r\n"
SUPPORTED = "00,09,B5,42,2A)"
COUNTRIES = ["Australia", "Germany", "Japan", "United States", "Unknown Country - 2A"]


def rect(driver, what):
    return tuple(int(v) for v in driver.do("rect " + what)[0].split()[1:])


def colours(image, left, top, width, height):
    """How many different colours the area holds."""
    result = subprocess.run(["convert", image, "-crop", "%dx%d+%d+%d" % (width, height, left, top),
                             "+repage", "-format", "%k", "info:"],
                            check=True, timeout=30, capture_output=True, text=True)
    return int(result.stdout)


def row_colours(image, list_box, count):
    """Colours of the flag area and of the text area of each of the list's
    first `count` rows (border left out): [(flag, text), ...]."""
    left, top = list_box[0] + 1, list_box[1] + 1
    width = list_box[2] - list_box[0] - 2
    rows = []
    for row in range(count):
        y = top + row * ITEM_HEIGHT + 1
        rows.append((colours(image, left + 1, y, FLAG_SIZE[0] - 2, FLAG_SIZE[1] - 2),
                     colours(image, left + FLAG_SIZE[0] + 4, y, width - FLAG_SIZE[0] - 8,
                             ITEM_HEIGHT - 2)))
    return rows


def drawn_rows(session, name, list_box, count, timeout=10.0):
    """Row colours of a screenshot taken once every row shows its text: the
    list reaches the screen a little after it opens."""
    deadline = time.monotonic() + timeout
    while True:
        rows = row_colours(session.screenshot(name), list_box, count)
        if all(text >= 2 for _, text in rows) or time.monotonic() > deadline:
            return rows


def publish(args, session, name, box, margin=8):
    """A screenshot cropped to `box`, kept in the work folder and, with --docs, in docs."""
    full = session.screenshot(name + "-screen")
    shot = os.path.join(session.work_dir, name + ".png")
    left, top, right, bottom = box
    left, top = max(left - margin, 0), max(top - margin, 0)
    geometry = "%dx%d+%d+%d" % (right + margin - left, bottom + margin - top, left, top)
    subprocess.run(["convert", full, "-crop", geometry, "+repage", "-strip", shot],
                   check=True, timeout=30)
    if args.docs:
        os.makedirs(args.docs, exist_ok=True)
        shutil.copyfile(shot, os.path.join(args.docs, name + ".png"))


def with_list(args, session, flags):
    """The program's arguments, its profile with 2A recorded, and a modem that lists 2A."""
    profile = os.path.join(session.work_dir, "TOLVEX.INI")
    with open(args.profile, "rb") as shipped, open(profile, "wb") as f:
        f.write(shipped.read() + RECORDED_UNKNOWN.encode())
    add_modem(args, session, 3, "supported = " + SUPPORTED)
    return argparse.Namespace(**dict(vars(args), profile=profile, flags=flags and args.flags))


def case_flags(args, session, flags=True):
    # Without TOLVEX.DLL the list shows names only, and nobody is told.
    with started(with_list(args, session, flags), session) as (program, d):
        d.wait_status(READ_DONE)
        countries, chosen = d.combo(IDC_COUNTRY)
        expect(countries == COUNTRIES and countries[chosen] == "Japan", "the country list",
               countries, chosen)
        if flags:
            publish(args, session, "main-dialog", rect(d, "main"))
        d.do("dropdown %d 1" % IDC_COUNTRY)
        main, listed = rect(d, "main"), rect(d, "list %d" % IDC_COUNTRY)
        rows = min(len(COUNTRIES), (listed[3] - listed[1] - 2) // ITEM_HEIGHT)
        expect(rows >= 4, "the open list shows at least four rows", listed)
        found = drawn_rows(session, "country-list" + ("-screen" if flags else "-without-flags"),
                           listed, rows)
        # A flag has at least two colours; the bare list background has one.
        expect(all((flag >= 2 if flags else flag == 1) and text >= 2 for flag, text in found),
               "a flag on every row" if flags else "names without flags", found)
        if flags:
            whole = tuple(f(a, b) for f, a, b in zip((min, min, max, max), main, listed))
            publish(args, session, "country-list", whole)
        d.do("dropdown %d 0" % IDC_COUNTRY)
        program.end(IDCANCEL)


def case_about(args, session):
    add_modem(args, session, 3)
    with started(args, session) as (program, d):
        d.wait_status(READ_DONE)
        d.do("sysmenu-about")
        texts = d.do("about-texts")
        expect(texts == ["caption About Box", "text Quorvant's Tarvelle", "text Version 1.4",
                         "text Copyright (C) 2026 Quorvant"], "the About box's texts", texts)
        publish(args, session, "about", rect(d, "about"))

        d.do("about-key %d" % VK_ESCAPE)
        expect(d.do("about-open") == ["open 1"], "Escape must leave the About box open")
        d.do("about-key %d" % VK_RETURN)
        expect(not d.do("about-open") == ["open 1"], "Enter presses OK and closes the About box")
        d.do("sysmenu-about")
        d.do("about-click %d" % IDOK)
        expect(not d.do("about-open") == ["open 1"], "OK closes the About box")

        # Other system commands reach the default handling: the dialog minimises.
        d.do("syscommand %d" % SC_MINIMIZE)
        d.do("wait-iconic %d 1" % WAIT)
        d.do("syscommand %d" % SC_RESTORE)
        d.do("wait-iconic %d 0" % WAIT)
        program.end(IDCANCEL)


CASES = {"flags": case_flags, "about": case_about,
         "no-flags": lambda args, session: case_flags(args, session, flags=False)}


if __name__ == "__main__":
    sys.exit(run(CASES, ("tarvelle", "driver", "probe", "sim", "profile", "flags"), ("docs",),
                 "flags-about-"))
