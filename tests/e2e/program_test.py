"""tarvelle.exe under Wine, worked through its main dialog by the driver, against
simulated modems; screenshots of the states a case reaches are left in its work folder."""

import argparse
import os
import sys

import harness
from wine_case import (IDC_APPLY, IDC_COUNTRY, IDC_MODEM, IDC_STATUS, IDCANCEL, IDOK, READ_DONE,
                       SC_CLOSE, WAIT, Program, add_modem, expect, expect_commands, run, started)

NO_MODEM = "Unable to find a Modem! May be busy or disconnected"
INSERT_MODEM = "Insert modem and press 'Apply' !"
BUSY = "Modem is busy performing a task. Please try again later!"
SIM_IDENT = "ACF3_V1 simulated data modem"
VENDOR_IDENT = "Quorvant V.92 simulated modem"
COUNTRIES = ["Australia", "Japan", "United States"]

# What the program writes to read a modem, in the simulator's log spelling.
WAKE = r"\rATV1\r"
IDENTIFY = [WAKE, r"ATV1i3\r"]
READ_NC = [WAKE, r"AT*nc?\r", WAKE, r"ATi5\r", r"ATi9\r"]
# A modem that refuses AT*nc? gives its list to AT+GCI=? instead.
READ_GCI = [WAKE, r"AT*nc?\r", r"AT+GCI=?\r", WAKE, r"ATi5\r", r"ATi9\r"]


def choose(driver, country):
    countries, chosen = driver.combo(IDC_COUNTRY)
    driver.do("select %d %d" % (IDC_COUNTRY, countries.index(country)))
    driver.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
    return countries, chosen


def apply_country(driver, modem, country):
    """Chooses `country`, presses Apply and waits for its end; gives the
    commands the apply sent to `modem`."""
    choose(driver, country)
    read = modem.commands()
    driver.do("press %d" % IDC_APPLY)
    driver.wait_status("Your modem is currently set for " + country)
    driver.do("wait-enabled %d %d 1" % (IDC_COUNTRY, WAIT))
    return modem.commands()[len(read):]


def case_no_modem(args, session):
    # COM10 is beyond the scan; the other ports lead nowhere.
    link = os.path.join(session.work_dir, "modem-com10")
    session.modems[10] = harness.Simulator(args.sim, link, log=link + ".log")
    os.symlink(link, os.path.join(session.prefix.path, "dosdevices", "com10"))

    with started(args, session) as (program, d):
        d.wait_status(INSERT_MODEM)
        expect(d.combo(IDC_MODEM) == ([NO_MODEM], 0), "one 'no modem' item", d.combo(IDC_MODEM))
        expect(d.enabled(IDC_APPLY), "Apply must be enabled")
        expect(not d.enabled(IDC_COUNTRY), "the country list must be disabled")
        session.screenshot("no-modem")

        # Apply scans again, and finds nothing again.
        d.do("press %d" % IDC_APPLY)
        d.do("wait-enabled %d %d 1" % (IDC_APPLY, WAIT))
        expect(d.combo(IDC_MODEM) == ([NO_MODEM], 0), "still one 'no modem' item")
        expect(d.text(IDC_STATUS) == INSERT_MODEM, "status after the rescan", d.text(IDC_STATUS))
        expect_commands(session, {10: []})  # COM10 is never probed

        d.do("sysmenu-about")
        session.screenshot("about")
        about = d.do("about")
        expect(about == ["text Quorvant's Tarvelle", "text Version 1.4",
                         "text Copyright (C) 2026 Quorvant"], "About box texts", about)
        program.end(IDCANCEL)


def case_two_modems(args, session):
    add_modem(args, session, 5, "ident = " + VENDOR_IDENT)
    add_modem(args, session, 2)
    add_modem(args, session, 7, "ident = Acme Fax Modem 33.6")

    with started(args, session) as (program, d):
        d.wait_status(READ_DONE)
        items, selected = d.combo(IDC_MODEM)
        expect(items == [VENDOR_IDENT + "  COM5", SIM_IDENT + "  COM2"] and selected == 0,
               "modems COM5 then COM2, COM5 selected", items, selected)
        countries, chosen = d.combo(IDC_COUNTRY)
        expect(countries == COUNTRIES and chosen == 1, "countries, Japan selected", countries,
               chosen)
        expect(d.enabled(IDC_COUNTRY) and not d.enabled(IDC_APPLY), "list on, Apply off")
        expect_commands(session, {5: IDENTIFY + READ_NC, 2: IDENTIFY, 7: IDENTIFY})
        session.screenshot("two-modems")
        program.end(IDOK)  # OK without a pick


def case_apply(args, session):
    # The modem copies the profile as each "ATi9##" arrives: the choice is
    # recorded before the note is touched, also when the modem then refuses
    # the note (the second time).
    at_note = os.path.join(session.work_dir, "profile-at-note.ini")
    profile = os.path.join(session.prefix.drive_c("tarvelle"), "TOLVEX.INI")
    com3 = add_modem(args, session, 3, "copy.i9clear = %s > %s" % (profile, at_note),
                     "fault.i9clear = error skip:1 x1")

    with started(args, session) as (program, d):
        d.wait_status(READ_DONE)
        applied = apply_country(d, com3, "United States")
        expect(applied == [WAKE, r"AT*ncB5\r", r"ATz\r", r"ATi5\r", r"ATi9##\r",
                           r"ATi9ccB5#\r"], "the apply's commands", applied)
        expect(not d.enabled(IDC_APPLY), "Apply off after the apply")
        with open(at_note, "rb") as f:
            expect(b"[cccfg]\r\ncc=B5\r\n" in f.read(), "the choice recorded first")
        session.screenshot("applied")
        choose(d, "Australia")
        d.do("press %d" % IDC_APPLY)
        expect(d.box() == ("Modem Status", "Failure to clear/set the I9 string!"), "the box")
        d.do("close-box")
        with open(at_note, "rb") as f:
            expect(b"[cccfg]\r\ncc=09\r\n" in f.read(), "the choice recorded before the refusal")
        expect("[cccfg]\r\ncc=09\r\n" in program.profile(), "and kept", program.profile()[-50:])
        program.end(IDCANCEL)


def case_busy(args, session):
    # COM5's list comes late, so choosing COM2 meanwhile meets a running read.
    add_modem(args, session, 5, "fault.nclist = delay:2000")
    add_modem(args, session, 2)

    with started(args, session) as (program, d):
        d.do("wait-combo %d %d 2" % (IDC_MODEM, WAIT))
        d.do("select %d 1" % IDC_MODEM)
        caption, text = d.box()
        expect((caption, text) == ("Country Code Status", BUSY), "the busy box", caption, text)
        session.screenshot("busy")
        d.do("close-box")
        d.wait_status(READ_DONE)
        program.end(IDCANCEL)


def case_stalled_scan(args, session):
    # COM9 refuses the wake-up twice; COM7 answers it but never identifies.
    add_modem(args, session, 9, "fault.v1 = error")
    add_modem(args, session, 7, "fault.i3 = silent")
    add_modem(args, session, 5)

    with started(args, session) as (program, d):
        caption, _ = d.box()
        expect(caption == "Modem Status", "the refused wake-up's box", caption)
        d.do("close-box")
        d.wait_status(READ_DONE)
        expect(d.combo(IDC_MODEM) == ([SIM_IDENT + "  COM5"], 0), "COM5 alone listed",
               d.combo(IDC_MODEM))
        expect_commands(session, {9: [WAKE, WAKE], 7: IDENTIFY, 5: IDENTIFY + READ_NC})
        program.end(IDCANCEL)


def case_gci_ok(args, session):
    # OK with a pick on an AT+GCI modem: the key is the code sent, the modem's
    # note is left alone, the profile is not written, and the program ends.
    com4 = add_modem(args, session, 4, "dialect = gci", "country = 00",
                     "supported = +GCI: (09,00,B5)")

    with started(args, session) as (program, d):
        d.wait_status(READ_DONE)
        read = com4.commands()
        expect(read == IDENTIFY + READ_GCI, "the AT+GCI read", read)
        profile_before = program.profile()
        countries, chosen = choose(d, "United States")
        expect(countries == COUNTRIES and chosen == 1, "countries, Japan selected", countries,
               chosen)
        program.end(IDOK)
        applied = com4.commands()[len(read):]
        expect(applied == [WAKE, r"AT+GCI=B5\r", r"ATz\r", r"ATi5\r"], "the apply's commands",
               applied)
        expect(program.profile() == profile_before, "the profile unchanged")


def case_start_and_end(args, session):
    # The dialog runs owned by a minimised window with the program's title; each
    # way out, Cancel, OK without a pick and the Close command, ends it with 0.
    add_modem(args, session, 3)
    for ending in (IDCANCEL, IDOK, SC_CLOSE):
        with started(args, session) as (program, d):
            owner = d.do("owner")
            expect(owner == ["class CTarvelleWin", "iconic 1", "title Tarvelle"],
                   "the minimised owner window", owner)
            d.wait_status(READ_DONE)
            program.end(ending)


def case_key_differs(args, session):
    # An entry whose key is not its code: an AT+GCI modem lists and takes the
    # key; an AT*nc modem takes the code, and the key goes into the profile's
    # choice and the modem's note.
    with open(args.profile, "rb") as f:
        shipped = f.read()
    profile = os.path.join(session.work_dir, "TOLVEX.INI")
    with open(profile, "wb") as f:
        f.write(shipped.replace(b"[tolvx]\r\n", b"[tolvx]\r\nFD=Testland,xx,T9\r\n", 1))
    args = argparse.Namespace(**dict(vars(args), profile=profile))
    gci = add_modem(args, session, 5, "dialect = gci", "supported = +GCI: (00,FD)")
    nc = add_modem(args, session, 3, "supported = 00,T9)")

    with started(args, session) as (program, d):
        for modem, applied in ((gci, [WAKE, r"AT+GCI=FD\r", r"ATz\r", r"ATi5\r"]),
                               (nc, [WAKE, r"AT*ncT9\r", r"ATz\r", r"ATi5\r", r"ATi9##\r",
                                     r"ATi9ccFD#\r"])):
            if modem is nc:
                d.do("select %d 1" % IDC_MODEM)
            d.wait_status(READ_DONE)
            got = apply_country(d, modem, "Testland")
            expect(got == applied, "the apply's commands", got)
            choice = program.profile().partition("[cccfg]\r\n")[2]
            expect(choice == ("cc=FD\r\n" if modem is nc else ""), "the recorded choice", choice)
        program.end(IDCANCEL)


CASES = {"no-modem": case_no_modem, "two-modems": case_two_modems, "apply": case_apply,
         "busy": case_busy, "stalled-scan": case_stalled_scan, "gci-ok": case_gci_ok,
         "start-and-end": case_start_and_end, "key-differs": case_key_differs}

if __name__ == "__main__":
    sys.exit(run(CASES, ("tarvelle", "driver", "probe", "sim", "profile"), ("flags",),
                 "program-"))
