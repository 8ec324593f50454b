#!/usr/bin/env python3
"""tarvelle-cli beside other serial devices: a search probes only devices
that say they speak AT commands, and no port another program has open gets a
byte; the ports are probed at once, yet a search takes the first modem in its
order and lets go of the rest as soon as that is known. The devices are
simulated modems behind a fake /dev (TARVELLE_DEV_ROOT) and a fake sysfs
(TARVELLE_SYS_ROOT), which the program honours only when it is not root, so
it runs as nobody here.
Run as cli_test.py is: neighbour_test.py CASE --cli PATH --sim PATH --work DIR."""

import datetime
import json
import os
import re
import signal
import sys

from cli_test import AS_NOBODY, JAPAN, expect, held, holding, main, wait_for_command, write

ROOT = os.geteuid() == 0
RUNNER = AS_NOBODY if ROOT else []
HINT = ": name it with --port, or use --probe-all"
BY_ID = "serial/by-id/usb-Maker_Modem_42-if00"
# A program that holds a port open with no lock, under a name with a
# terminal escape, as any process may name itself.
HOLDER = b"\x1b[2Jholder"

# kernel name: driver, bInterfaceProtocol, by-id link, in the fake /dev of
# "all" devices only or also in that of the "skipped" ones
DEVICES = {
    "ttyACM0": ("cdc_acm", "01", None, False),
    "ttyACM1": ("cdc_acm", "07", None, True),
    "ttyACM2": ("cdc_acm", "06", BY_ID, False),
    "ttyACM3": ("cdc_acm", "02", None, False),  # held open by another program
    "ttyACM4": ("cdc_acm", "01", None, False),  # locked by a program of another user
    "ttyUSB0": ("ftdi_sio", None, None, True),
    "ttyUSB1": (None, None, None, True),  # nothing in sysfs, and no device behind it
}


def make_link(path, target):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.symlink(target, path)


def plant(bench):
    """DEVICES in their fake /dev and sysfs; gives the sysfs root."""
    os.chmod(bench.work, 0o755)
    os.chmod(bench.own_locks, 0o1777)
    sysfs = os.path.join(bench.work, "sysfs")
    for name, (driver, protocol, by_id, skipped) in DEVICES.items():
        target = "/nonexistent"
        if driver:
            bench.modem(name)
            target = bench.sims[name].slave
            os.chmod(target, 0o666)  # the simulator runs as root
        for root in ("all", "skipped") if skipped else ("all",):
            make_link(os.path.join(bench.work, root, "dev", name), target)
        if by_id:
            make_link(os.path.join(bench.work, "all", "dev", by_id), "../../" + name)
        if driver:
            device = os.path.join(sysfs, "sys/class/tty", name, "device")
            bus = "usb" if driver == "cdc_acm" else "usb-serial"
            make_link(os.path.join(device, "driver"),
                      os.path.join(sysfs, "sys/bus", bus, "drivers", driver))
            if protocol:
                with open(os.path.join(device, "bInterfaceProtocol"), "w") as f:
                    f.write(protocol + "\n")
    return sysfs


def port(bench, name):
    return os.path.join(bench.work, "all", "dev", BY_ID if name == "by-id" else name)


def outcomes(bench, out):
    """Each port's fate in a command's JSON output, by its short name."""
    short = {port(bench, name): name for name in list(DEVICES) + ["by-id"]}
    short.update({p.replace("/all/", "/skipped/"): n for p, n in short.items()})
    seen = {short[m["port"]]: "modem" for m in out.get("modems", [])}
    for kind in ("rejected", "unavailable", "skipped"):
        seen.update({short[n["port"]]: "%s: %s" % (kind, n.get("reason", n.get("ident")))
                     for n in out.get(kind, [])})
    if "port" in out:
        seen[short[out["port"]]] = "modem"
    if "error" in out:
        seen["error"] = out["error"]["message"]
        if "holder" in out["error"]:
            seen["holder"] = "{pid} ({name})".format(**out["error"]["holder"])
    return seen


# user, arguments, fake /dev, exit code, {port or "error": what is said of it},
# devices that get no byte
RUNS = [
    ("nobody", ["scan"], "all", 0, {
        "ttyACM0": "modem", "by-id": "modem",
        "ttyACM1": "skipped: not an AT device (cdc_acm, protocol 7)" + HINT,
        "ttyUSB0": "skipped: a USB-serial adapter (ftdi_sio)" + HINT,
        "ttyUSB1": "skipped: an unknown device (no USB interface in sysfs)" + HINT,
        "ttyACM3": "unavailable: in use by process {holder} ({name})",
        "ttyACM4": "unavailable: busy, locked by process {me}"},
     ["ttyACM1", "ttyUSB0", "ttyACM3", "ttyACM4"]),
    ("nobody", ["show", "--port", "ttyACM3"], "all", 4,
     {"error": "{ttyACM3}: in use by process {holder} ({name})", "holder": "{holder} ({name})"},
     ["ttyACM3"]),
    # The simulator holds its pty's master and slave; root sees it, and it
    # is the line's other end, no second user.
    ("root", ["show", "--port", "ttyUSB0"], "all", 0, {"ttyUSB0": "modem"}, ["ttyACM3"]),
    ("nobody", ["scan", "--probe-all"], "all", 0, {
        "ttyACM0": "modem", "by-id": "modem", "ttyACM1": "modem", "ttyUSB0": "modem",
        "ttyUSB1": "unavailable: missing", "ttyACM3": "unavailable: in use by process {holder}",
        "ttyACM4": "unavailable: busy, locked by process {me}"},
     ["ttyACM3", "ttyACM4"]),
    ("nobody", ["show"], "skipped", 3, {
        "error": "no modem found (skipped: {skipped}/ttyACM1: not an AT device (cdc_acm, "
                 "protocol 7)" + HINT + "; {skipped}/ttyUSB0: a USB-serial adapter (ftdi_sio)"},
     ["ttyACM1", "ttyUSB0"]),
    # As root the fake folders are not honoured: none of their devices is probed.
    ("root", ["scan"], "all", None, {}, [name for name in DEVICES if DEVICES[name][0]]),
]


def search_probes_only_at_devices_and_leaves_busy_ports_alone(bench):
    sysfs = plant(bench)
    # Its program (this one, as root) may not be signalled by nobody, yet it
    # lives; the file is nobody's, so that only that judgement keeps it.
    bench.runner = RUNNER  # whose lock folder is the bench's own
    write(bench.lock("ttyACM4"), "%10d\n" % os.getpid())
    os.chown(bench.lock("ttyACM4"), 65534, 65534)
    with holding(bench.sims["ttyACM3"].slave, "read-write", HOLDER, "nobody" if ROOT else None) \
            as holder:
        words = dict({n: port(bench, n) for n in DEVICES}, holder=holder, name="\\x1b[2Jholder",
                     me=os.getpid(), skipped=os.path.join(bench.work, "skipped", "dev"))
        for user, args, root, code, wanted, untouched in RUNS:
            bench.runner = RUNNER if user == "nobody" else []
            os.environ.update(TARVELLE_DEV_ROOT=os.path.join(bench.work, root),
                              TARVELLE_SYS_ROOT=sysfs)
            args = [words.get(a, a) for a in args]
            before = {name: len(bench.commands(name)) for name in untouched}
            proc = bench.start("--json", *args)
            out, err = proc.communicate(timeout=60)
            expect(code is None or proc.returncode == code, "exit code", args, out, err)
            seen = outcomes(bench, bench.parsed(args, out)) if code is not None else {}
            for where, said in wanted.items():
                expect(said.format(**words) in seen.pop(where, ""), " ".join(args), where, out)
            expect(not seen, "nothing else said", args, seen)
            after = {name: len(bench.commands(name)) for name in untouched}
            expect(after == before, "no byte to", args, before, after)
        bench.runner = RUNNER
        out, err = bench.start("scan").communicate(timeout=60)
        expect("skipped      %s: a USB-serial adapter" % port(bench, "ttyUSB0") in out and
               "incomplete" in err, "human output, and the note that others' processes "
               "were not seen", out, err)


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
    for path, mode in ((bench.work, 0o777), (bench.own_locks, 0o1777), (bench.profile, 0o666)):
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

    # SIGTERM ends every probe, their locks go (the system's folder may hold others' stale ones).
    quiet = [bench.modem("quiet2", **SILENT), bench.modem("quiet3", **SILENT)]
    proc = bench.start("scan", *[a for p in quiet for a in ("--port", p)])
    for name in ("quiet2", "quiet3"):
        wait_for_command(bench, name, "\\rATV1\\r")
    proc.send_signal(signal.SIGTERM)
    _, err = proc.communicate(timeout=10)
    expect(proc.returncode == 143 and not [n for n in ("quiet2", "quiet3") if os.path.lexists(
        bench.lock(n))], "ended, locks released", proc.returncode, err, os.listdir(bench.locks))
    for port in quiet:
        with held(port):
            pass



if __name__ == "__main__":
    sys.exit(main(search_probes_only_at_devices_and_leaves_busy_ports_alone,
                  ports_are_probed_at_once))
