#!/usr/bin/env python3
"""tarvelle-cli with modems of other makes (--any-modem, AT+GCI?, lists with
ranges) and reapply --wait, against simulated modems on pseudo-terminals.
Run as cli_test.py is: cli_standard_test.py CASE --cli PATH --sim PATH --work DIR."""

import os
import sys
import time

from cli_test import JAPAN, expect, held, main, sets

OTHER = "Generic Fax Modem 2.0"
BARE_OK = {"reply.nclist": "AT*nc?\\r\\r\\nOK\\r\\n"}  # to the vendor's list command
# A modem of the standard kind: its own identification, a range for a list,
# no ATi5, and a bare OK to the vendor's list command.
STANDARD = dict(BARE_OK, ident=OTHER, supported="+GCI:(00-80)", codes="00,3D,80",
                **{"fault.i5": "error"})


def any_modem_takes_a_standard_modem(bench):
    port = bench.modem("std", "gci", **STANDARD)
    out = bench.run("show", "--port", port, code=3)
    expect("--any-modem" in out["error"]["message"], "the flag is suggested", out)
    # As iaxmodem_test.py's peer, but one that keeps what it is sent: 00-80
    # holds 00, 3D and 80 (K4 is no number, B5 and 81 are past 80).
    out = bench.run("set", "fr", "--any-modem", "--port", port)
    expect(out["changed"] is True and out["country"]["key"] == "3D" and out["before"] == JAPAN and
           [c["key"] for c in out["supported"]] == ["00", "80", "3D"], "set", out)
    expect(sets(bench.commands("std")) == ["AT+GCI=3D\\r"] and
           bench.commands("std")[-1] == "AT+GCI?\\r", "sent, read back with AT+GCI?",
           bench.commands("std"))
    expect(bench.choice() == "3D", "saved", bench.choice())
    out = bench.run("scan", "--any-modem", "--port", port)
    expect([m["dialect"] for m in out["modems"]] == ["gci"] and out["rejected"] == [], "scan", out)


def reapply_waits_for_the_modem(bench):
    bench.write_profile(open(bench.profile).read() + "[cccfg]\ncc=K4\n")
    late = os.path.join(bench.work, "serial", "by-id", "late")
    # The modem appears a moment after the command started, in a folder
    # made with it, as udev makes /dev/serial/by-id.
    proc = bench.start("--json", "reapply", "--wait", "30", "--port", late)
    time.sleep(0.6)
    os.makedirs(os.path.dirname(late))
    os.symlink(bench.modem("late"), late)
    out, err = proc.communicate(timeout=60)
    expect(proc.returncode == 0 and bench.parsed(["reapply"], out)["changed"], "set once it appeared",
           out, err)
    # Another program holds the port for a moment.
    bench.stop("late")
    port = bench.modem("held")
    with held(port):
        proc = bench.start("--json", "reapply", "--wait", "30", "--port", port)
        time.sleep(0.6)
    out, err = proc.communicate(timeout=60)
    bench.parsed(["reapply"], out)
    expect(proc.returncode == 0 and sets(bench.commands("held")) == ["AT*ncB4\\r"],
           "set once the port was free", out, err)
    # Nothing ever comes: the wait ends at its time, not before.
    started = time.monotonic()
    out = bench.run("reapply", "--wait", "1", "--port", os.path.join(bench.work, "never"), code=4)
    took = time.monotonic() - started
    expect(1.0 <= took < 10 and "waited 1 s" in out["error"]["message"], "gave up", took, out)


if __name__ == "__main__":
    sys.exit(main(any_modem_takes_a_standard_modem, reapply_waits_for_the_modem))
