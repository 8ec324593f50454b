"""The country list's flags and the About box of tarvelle.exe under Wine.

    flags_about_test.py CASE --tarvelle EXE --driver EXE --probe EXE --sim EXE
                        --profile INI --flags DLL --work DIR [--docs DIR]

Exit code 0: passed; 1: failed; 77: a program has not been built.
Screenshots are left in DIR; with --docs, those the README shows are copied
there too (cropped to the program's windows, without time stamps, so an
unchanged picture leaves the file as it was).
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import traceback

import harness
from program_test import IDCANCEL, IDC_COUNTRY, IDC_STATUS, WAIT, Program, add_modem, \
    ends_with_exit_code_0, expect

IDOK = 1
VK_RETURN, VK_ESCAPE = 13, 27
SC_MINIMIZE, SC_RESTORE = 0xF020, 0xF120
ITEM_HEIGHT = 32
FLAG_SIZE = (48, 32)

# The earlier run met code 2A and recorded it; this modem lists it again.
RECORDED_UNKNOWN = "Bogus1=Unknown Country - 2A,unkn,2A\r\n"
SUPPORTED = "00,09,B5,42,2A)"
COUNTRIES = ["Australia", "Germany", "Japan", "United States", "Unknown Country - 2A"]
READ_DONE = "Your modem is currently set for Japan"


def rect(driver, what):
    left, top, right, bottom = (int(v) for v in driver.do("rect " + what)[0].split()[1:])
    return left, top, right, bottom


def crop(full, out, box, margin=8):
    left, top, right, bottom = box
    left, top = max(left - margin, 0), max(top - margin, 0)
    geometry = "%dx%d+%d+%d" % (right + margin - left, bottom + margin - top, left, top)
    subprocess.run(["convert", full, "-crop", geometry, "+repage", "-strip", out],
                   check=True, timeout=30)
    return out


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


def shot_of_drawn_list(session, name, list_box, count, timeout=10.0):
    """A screenshot once every row shows its text: the list reaches the
    screen a little after it opens. Gives the picture and its row colours."""
    deadline = time.monotonic() + timeout
    while True:
        full = session.screenshot(name)
        rows = row_colours(full, list_box, count)
        if all(text >= 2 for _, text in rows) or time.monotonic() > deadline:
            return full, rows


def publish(args, session, name, box):
    """A screenshot cropped to `box`, kept in the work folder and, with --docs, in docs."""
    full = session.screenshot(name + "-screen")
    shot = crop(full, os.path.join(session.work_dir, name + ".png"), box)
    if args.docs:
        os.makedirs(args.docs, exist_ok=True)
        shutil.copyfile(shot, os.path.join(args.docs, name + ".png"))
    return full


def start_with_list(args, session, flags):
    profile = os.path.join(session.work_dir, "TOLVEX.INI")
    with open(args.profile, "rb") as f:
        shipped = f.read()
    with open(profile, "wb") as f:
        f.write(shipped + RECORDED_UNKNOWN.encode())
    add_modem(args, session, 3, "supported = " + SUPPORTED)
    session.check_unused_ports(args.probe)
    program = Program(argparse.Namespace(**dict(vars(args), profile=profile,
                                                flags=args.flags if flags else None)), session)
    d = program.driver
    d.do("wait-text %d %d %s" % (IDC_STATUS, WAIT, READ_DONE))
    countries, chosen = d.combo(IDC_COUNTRY)
    expect(countries == COUNTRIES and countries[chosen] == "Japan", "the country list",
           countries, chosen)
    return program


def case_flags(args, session):
    with start_with_list(args, session, flags=True) as program:
        d = program.driver
        publish(args, session, "main-dialog", rect(d, "main"))
        d.do("dropdown %d 1" % IDC_COUNTRY)
        main, listed = rect(d, "main"), rect(d, "list %d" % IDC_COUNTRY)
        whole = (min(main[0], listed[0]), min(main[1], listed[1]),
                 max(main[2], listed[2]), max(main[3], listed[3]))
        rows = min(len(COUNTRIES), (listed[3] - listed[1] - 2) // ITEM_HEIGHT)
        expect(rows >= 4, "the open list shows at least four rows", listed)
        _, found = shot_of_drawn_list(session, "country-list-screen", listed, rows)
        # A flag has at least two colours; the bare list background has one.
        expect(all(flag >= 2 and text >= 2 for flag, text in found), "a flag on every row",
               found)
        publish(args, session, "country-list", whole)
        d.do("dropdown %d 0" % IDC_COUNTRY)
        d.do("no-box")
        ends_with_exit_code_0(program, IDCANCEL)


def case_no_flags(args, session):
    # Without TOLVEX.DLL the list shows names only, and nobody is told.
    with start_with_list(args, session, flags=False) as program:
        d = program.driver
        d.do("dropdown %d 1" % IDC_COUNTRY)
        listed = rect(d, "list %d" % IDC_COUNTRY)
        _, found = shot_of_drawn_list(session, "country-list-without-flags", listed, 4)
        expect(all(flag == 1 and text >= 2 for flag, text in found), "names without flags",
               found)
        d.do("dropdown %d 0" % IDC_COUNTRY)
        d.do("no-box")
        ends_with_exit_code_0(program, IDCANCEL)


def about_open(driver):
    return driver.do("about-open") == ["open 1"]


def case_about(args, session):
    add_modem(args, session, 3)
    session.check_unused_ports(args.probe)
    with Program(args, session) as program:
        d = program.driver
        d.do("wait-text %d %d %s" % (IDC_STATUS, WAIT, READ_DONE))
        d.do("sysmenu-about")
        texts = d.do("about-texts")
        expect(texts == ["caption About Box", "text Quorvant's Tarvelle", "text Version 1.4",
                         "text Copyright (C) 2026 Quorvant"], "the About box's texts", texts)
        publish(args, session, "about", rect(d, "about"))

        d.do("about-key %d" % VK_ESCAPE)
        expect(about_open(d), "Escape must leave the About box open")
        d.do("about-key %d" % VK_RETURN)
        expect(not about_open(d), "Enter presses OK and closes the About box")
        d.do("sysmenu-about")
        d.do("about-click %d" % IDOK)
        expect(not about_open(d), "OK closes the About box")

        # Other system commands reach the default handling: the dialog minimises.
        d.do("syscommand %d" % SC_MINIMIZE)
        d.do("wait-iconic %d 1" % WAIT)
        d.do("syscommand %d" % SC_RESTORE)
        d.do("wait-iconic %d 0" % WAIT)
        d.do("no-box")
        ends_with_exit_code_0(program, IDCANCEL)


CASES = {
    "flags": case_flags,
    "no-flags": case_no_flags,
    "about": case_about,
}


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    for name in ("tarvelle", "driver", "probe", "sim", "profile", "flags", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--docs")
    args = parser.parse_args(argv[1:])
    for exe in (args.tarvelle, args.driver, args.probe, args.sim, args.flags):
        if not os.path.exists(exe):
            print("not built: %s" % exe)
            return 77
    work = os.path.join(args.work, "flags-about-" + args.case)
    template = harness.ensure_template(args.work)
    try:
        with harness.Session(work, template) as session:
            CASES[args.case](args, session)
    except Exception:
        traceback.print_exc()
        return 1
    print("passed; screenshots in %s" % work)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
