"""The picture that scripts/run.sh saves of the demo is of the whole window:
taken several times in a row, each shows the modem's name in the modem list
and the flag in the country list."""

import os
import subprocess
import sys

import harness
from wine_case import IDC_COUNTRY, IDC_MODEM, IDCANCEL, expect, run, started

FLAG_SIZE = (48, 32)
ROUNDS = 3


def colours(image, box):
    """The colours in `box` (left, top, right, bottom) of the picture, by name."""
    left, top, right, bottom = box
    result = subprocess.run(["convert", image, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top,
                                                                       left, top),
                             "+repage", "-unique-colors", "-depth", "8", "txt:"],
                            check=True, timeout=30, capture_output=True, text=True)
    return {line.split()[2] for line in result.stdout.splitlines()[1:]}


def case_demo_picture(args, session):
    session.add_modem(3, args.sim, config=args.config)
    for n in range(ROUNDS):
        with started(args, session) as (program, d):
            picture, read = harness.demo_picture(session, args.driver, "demo-%d" % n)
            expect(read, "the modem read before the picture", n)
            rect = lambda id: tuple(int(v) for v in d.do("rect item %d" % id)[0].split()[1:])
            # The modem list's text, inside its border and left of its button.
            modem = rect(IDC_MODEM)
            text = colours(picture, (modem[0] + 3, modem[1] + 3, modem[2] - 24, modem[1] + 18))
            # The flag at the left of the country list's box.
            country = rect(IDC_COUNTRY)
            flag = colours(picture, (country[0] + 4, country[1] + 4,
                                     country[0] + FLAG_SIZE[0] - 2, country[1] + FLAG_SIZE[1] - 2))
            # Black letters on white; the flag scaled into its box takes many
            # colours, where an undrawn box has one or two.
            dark = [c for c in text if max(int(c[i:i + 2], 16) for i in (1, 3, 5)) < 0x60]
            expect(dark and len(flag) >= 8, "a whole picture", n, picture, sorted(text), len(flag))
            program.end(IDCANCEL)


if __name__ == "__main__":
    sys.exit(run({"picture": case_demo_picture},
                 ("tarvelle", "driver", "probe", "profile", "flags", "config", "sim"), (),
                 "demo-"))
