"""The Win32 serial link under Wine against simulated modems."""

import os
import sys

import harness
import probe
from wine_case import add_modem, expect, expect_commands, run

IDENT = "ACF3_V1 simulated data modem"
REPLY = r"\r\n%s\r\n\r\nOK\r\n" % IDENT  # as the probe escapes it

# Each modem sits on a port of its own in one session; each row is one
# conversation: open, write, gather through the callback, close.
CONVERSATIONS = [
    # name, port, scenario lines, command, expected end of the reply
    ("an answer that is waiting at once", 3, [], "ATV1i3", r"ATV1i3\r" + REPLY),
    ("an answer that comes after the port has gone idle", 4, ["fault.i3 = delay:600"],
     "ATV1i3", REPLY),
    ("an answer in small pieces is gathered to its end", 5,
     ["fault.i3 = split:3", "split_gap_ms = 30"], "ATV1i3", REPLY),
    ("a refused command", 6, ["echo = 0"], "AT+GCI=?", r"\r\nERROR\r\n"),
    # Each byte alone on the line: none may wait in the port for the next to come.
    ("an answer one byte at a time", 7, ["fault.i3 = split:1", "split_gap_ms = 5"], "ATV1i3",
     REPLY),
]


def case_conversations(args, session):
    for _, port, lines, _, _ in CONVERSATIONS:
        add_modem(args, session, port, *lines)
    session.check_unused_ports(args.probe)
    for name, port, _, command, reply in CONVERSATIONS:
        talk = probe.talk(session, args.probe, port, command)
        expect(talk.code == 0, name + ": no final result", talk.result)
        expect((talk.received or "").endswith(reply), name + ": wrong reply", talk.received)
        expect(talk.close_ms is not None, name + ": no close report", talk.result)
        expect(session.modems[port].commands() == [command + r"\r"],
               name + ": the modem saw other commands", session.modems[port].commands())


def case_port_links(args, session):
    # COM2 points at a line that is not there yet; COM7 is never linked.
    session.prefix.link_port(2, os.path.join(session.work_dir, "unplugged"))
    session.add_modem(5, args.sim)
    report = session.check_unused_ports(args.probe)
    expect(report[2] == harness.ERROR_FILE_NOT_FOUND, "a dangling link must fail as missing",
           report)
    for port in (2, 7):
        talk = probe.talk(session, args.probe, port)
        expect(talk.code == probe.PORTS_NOT_OPEN, "COM%d must not open" % port, talk.result)
    # Plugging a modem in while the session runs: the next open finds it.
    session.add_modem(2, args.sim)
    for port in (2, 5, 2):
        talk = probe.talk(session, args.probe, port)
        expect(talk.code == 0 and IDENT in talk.received, "COM%d must answer" % port,
               talk.result)


def case_idle_cpu(args, session):
    # The receive thread of an open, silent port must sleep: Wine cancels every
    # wait for characters on a pseudo-terminal at once, and asking again at
    # once would spin.
    session.add_modem(3, args.sim)
    session.check_unused_ports(args.probe)
    idle = probe.hold_idle(session, args.probe, 3, seconds=3)
    print("idle: %.3f s CPU over %.2f s; close %.2f ms" %
          (idle.cpu_seconds, idle.wall_seconds, idle.close_ms or -1))
    expect(idle.cpu_seconds < 0.5, "an idle open port costs too much CPU", idle.cpu_seconds)
    expect(idle.close_ms is not None, "no close report", idle.output)
    expect_commands(session, {3: []})


CASES = {"conversations": case_conversations, "port_links": case_port_links,
         "idle_cpu": case_idle_cpu}

if __name__ == "__main__":
    sys.exit(run(CASES, ("probe", "sim")))
