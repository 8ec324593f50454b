"""What the Wine test scripts share: one case run in a prefix of its own, the
driver that works the program's dialogs, and the program installed and running."""

import argparse
import contextlib
import os
import subprocess
import time
import traceback

import harness

IDOK, IDCANCEL, IDC_COUNTRY, IDC_STATUS, IDC_APPLY, IDC_MODEM = 1, 2, 1000, 1007, 1031, 1033
SC_CLOSE = 0xF060  # the Close command of the dialog's system menu
WAIT = 20000  # ms: safety limits of the driver's waits
READ_DONE = "Your modem is currently set for Japan"


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [repr(d) for d in details]))


def expect_commands(session, wrote):
    """What the simulated modems were sent, by port, in their logs' spelling."""
    got = {port: session.modems[port].commands() for port in wrote}
    expect(got == wrote, "the modems' commands", got)


def run(cases, required, optional=(), folder=""):
    """Runs the case named on the command line in WORK/<folder><case>. Exit code
    0: passed; 1: failed; 77: a required path (a program) is missing."""
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(cases))
    for name in required + ("work",) + optional:
        parser.add_argument("--" + name, required=name not in optional)
    args = parser.parse_args()
    for path in (getattr(args, name) for name in required):
        if not os.path.exists(path):
            print("not built: %s" % path)
            return 77
    work = os.path.join(args.work, folder + args.case)
    try:
        with harness.Session(work, harness.ensure_template(args.work)) as session:
            cases[args.case](args, session)
    except Exception:
        traceback.print_exc()
        print("kept for a look: %s" % work)
        return 1
    print("passed; screenshots in %s" % work)
    return 0


def add_modem(args, session, port, *lines):
    """A simulated modem on COM`port` playing the scenario `lines`."""
    path = os.path.join(session.work_dir, "com%d.conf" % port)
    with open(path, "w") as f:
        f.write("".join(line + "\n" for line in lines))
    return session.add_modem(port, args.sim, config=path)


@contextlib.contextmanager
def started(args, session, **install):
    """The program, started once only the modems' ports open, and its driver.
    `install`: the Program's folder and prepare."""
    session.check_unused_ports(args.probe)
    program = Program(args, session, **install)
    try:
        yield program, program.driver
    finally:
        program.stop()


class Driver:
    """The driver program, one command line in, its answer lines out."""

    def __init__(self, session, exe):
        self.proc = session.start(exe, [], stdin=subprocess.PIPE)

    def do(self, line, timeout=40.0):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        answer = []
        deadline = time.monotonic() + timeout
        while True:
            got = harness.read_line(self.proc.stdout, deadline, "driver (%s)" % line)
            if got == "ok":
                return answer
            if got.startswith("error "):
                raise AssertionError("driver: %s: %s %r" % (line, got[6:], answer))
            answer.append(got)

    def wait_status(self, text):
        self.do("wait-text %d %d %s" % (IDC_STATUS, WAIT, text))

    def text(self, control):
        return self.do("text %d" % control)[0][len("text "):]

    def enabled(self, control):
        return self.do("enabled %d" % control) == ["enabled 1"]

    def combo(self, control):
        lines = self.do("combo %d" % control)
        items = [l.split(" ", 2)[2] if l.count(" ") >= 2 else "" for l in lines
                 if l.startswith("item ")]
        return items, int(lines[-1].split()[1])

    def box(self):
        lines = self.do("wait-box %d" % WAIT)
        return lines[0][len("box "):], lines[1][len("says "):]

    def stop(self):
        try:
            self.proc.communicate(b"quit\n", timeout=10)
        except (OSError, ValueError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()


class Program:
    """tarvelle.exe installed with its profile in C:\\tarvelle, and running."""

    def __init__(self, args, session, folder="tarvelle", prepare=None, quiet_start=False,
                 stderr=None):
        """`prepare(folder)` may change the installed files before the start.
        `quiet_start` has the driver up and running before the program starts
        and leaves the finding of the dialog to the caller (`find`): neither
        the driver's start nor its questions then compete with the program's
        own start. `stderr`: a file for the program's standard error."""
        files = [args.tarvelle, args.profile] + ([args.flags] if args.flags else [])
        self.folder = session.prefix.install(files, folder)
        if prepare is not None:
            prepare(self.folder)
        if quiet_start:
            self.driver = Driver(session, args.driver)
            self.driver.do("ready")
        self.proc = session.start(os.path.join(self.folder, os.path.basename(args.tarvelle)),
                                  **({"stderr": stderr} if stderr is not None else {}))
        if not quiet_start:
            self.driver = Driver(session, args.driver)
            self.find()

    def find(self):
        self.driver.do("find %d" % WAIT)

    def profile(self):
        with open(os.path.join(self.folder, "TOLVEX.INI"), "rb") as f:
            return f.read().decode("latin-1")

    def end(self, button):
        """With no message box open, `button` (or SC_CLOSE, the dialog's Close
        command) ends the program with exit code 0."""
        self.driver.do("no-box")
        if button == SC_CLOSE:
            self.driver.do("syscommand %d" % SC_CLOSE)
        else:
            self.driver.do("press %d" % button)
        self.driver.do("wait-gone %d" % WAIT)
        try:
            code = self.proc.wait(20)
        except subprocess.TimeoutExpired:
            code = "still running"
        expect(code == 0, "the program must end with exit code 0", code)

    def stop(self):
        self.driver.stop()
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
