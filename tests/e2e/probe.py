"""Runs serial_probe.exe in a harness Session and reads its report."""

import re
import time
import types

import harness

PORTS_NOT_OPEN = 2


def _figure(text, name):
    m = re.search(r"^%s ([0-9.]+)$" % name, text, re.M)
    return float(m.group(1)) if m else None


def talk(session, probe_exe, port, command="ATV1i3", timeout_ms=5000):
    """Opens COM`port`, sends `command` and CR, gathers up to the final result, closes."""
    result = session.run(probe_exe, ["talk", str(port), command, str(timeout_ms)],
                         timeout=timeout_ms / 1000 + 60)
    m = re.search(r'^received "(.*)"$', result.stdout, re.M)  # escaped as the probe prints it
    return types.SimpleNamespace(result=result, code=result.code, received=m and m.group(1),
                                 close_ms=_figure(result.stdout, "close_ms"),
                                 reply_ms=_figure(result.stdout, "reply_ms"))


def hold_idle(session, probe_exe, port, seconds):
    """CPU used by every process of the session's prefix (wineserver, the
    probe, Wine's services, the desktop) while the probe holds COM`port` open
    and silent for `seconds`."""
    proc = session.start(probe_exe, ["idle", str(port), str(seconds)])
    try:
        _wait_for(proc, "holding", 60)
        before = harness.cpu_ticks(session.prefix.pids())
        started = time.monotonic()
        _wait_for(proc, "held", seconds + 60)
        after = harness.cpu_ticks(session.prefix.pids())
        wall = time.monotonic() - started
        rest, _ = proc.communicate(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    output = rest.decode(errors="replace").replace("\r\n", "\n")
    if proc.returncode != 0:
        raise harness.HarnessError("idle probe ended with %r: %s" % (proc.returncode, output))
    cpu = harness.cpu_seconds_between(before, after)
    return types.SimpleNamespace(cpu_seconds=cpu, wall_seconds=wall, core_share=cpu / wall,
                                 close_ms=_figure(output, "close_ms"), output=output)


def _wait_for(proc, line, timeout):
    deadline = time.monotonic() + timeout
    while harness.read_line(proc.stdout, deadline, "serial_probe") != line:
        pass
