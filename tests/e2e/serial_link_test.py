"""The Win32 serial link under Wine against simulated modems.

    serial_link_test.py CASE --probe EXE --sim EXE --work DIR

Exit code 0: passed; 1: failed; 77: the probe has not been built.
"""

import argparse
import os
import sys
import traceback

import harness
import probe

IDENT = "ACF3_V1 simulated data modem"


def write_config(session, name, lines):
    path = os.path.join(session.work_dir, name + ".conf")
    with open(path, "w") as f:
        f.write("".join(line + "\n" for line in lines))
    return path


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [repr(d) for d in details]))


# Each modem sits on a port of its own in one session; each row is one
# conversation: open, write, gather through the callback, close.
CONVERSATIONS = [
    # name, port, scenario lines, command, expected reply (as the probe escapes it)
    ("an answer that is waiting at once", 3, [], "ATV1i3",
     "ATV1i3\\r\\r\\n%s\\r\\n\\r\\nOK\\r\\n" % IDENT),
    ("an answer that comes after the port has gone idle", 4, ["fault.i3 = delay:600"],
     "ATV1i3", "\\r\\n%s\\r\\n\\r\\nOK\\r\\n" % IDENT),
    ("an answer in small pieces is gathered to its end", 5,
     ["fault.i3 = split:3", "split_gap_ms = 30"], "ATV1i3",
     "\\r\\n%s\\r\\n\\r\\nOK\\r\\n" % IDENT),
    ("a refused command", 6, ["echo = 0"], "AT+GCI=?", "\\r\\nERROR\\r\\n"),
]


def case_conversations(args, session):
    for name, port, lines, _, _ in CONVERSATIONS:
        session.add_modem(port, args.sim, config=write_config(session, "com%d" % port, lines))
    session.check_unused_ports(args.probe)
    for name, port, _, command, reply in CONVERSATIONS:
        talk = probe.talk(session, args.probe, port, command)
        expect(talk.code == 0, name + ": no final result", talk.result)
        expect(talk.received is not None and talk.received.endswith(reply),
               name + ": wrong reply", talk.received)
        expect(talk.close_ms is not None, name + ": no close report", talk.result)
        expect(session.modems[port].commands() == [command + "\\r"],
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


# The receive thread of an open, silent port must sleep between looks at the
# port: Wine cancels every wait for characters on a pseudo-terminal at once.
IDLE_SECONDS = 3
IDLE_CPU_LIMIT = 0.5


def case_idle_cpu(args, session):
    session.add_modem(3, args.sim)
    session.check_unused_ports(args.probe)
    idle = probe.hold_idle(session, args.probe, 3, IDLE_SECONDS)
    print("idle: %.3f s CPU over %.2f s; close %.2f ms" %
          (idle.cpu_seconds, idle.wall_seconds, idle.close_ms or -1))
    expect(idle.cpu_seconds < IDLE_CPU_LIMIT, "an idle open port costs too much CPU",
           idle.cpu_seconds)
    expect(idle.close_ms is not None, "no close report", idle.output)
    expect(session.modems[3].commands() == [], "the idle probe sent something",
           session.modems[3].commands())


CASES = {
    "conversations": case_conversations,
    "port_links": case_port_links,
    "idle_cpu": case_idle_cpu,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--probe", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if not os.path.exists(args.probe):
        print("skipped: %s has not been built" % args.probe)
        return 77
    template = harness.ensure_template(args.work)
    try:
        with harness.Session(os.path.join(args.work, args.case), template) as session:
            CASES[args.case](args, session)
    except (AssertionError, harness.HarnessError):
        traceback.print_exc()
        print("kept for a look: %s" % os.path.join(args.work, args.case))
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
