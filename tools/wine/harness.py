"""Runs Win32 programs under Wine against simulated modems.

A test builds one `Session`: its own X display (Xvfb), its own copy of a
cached Wine prefix (so tests run in parallel, each with its own wineserver),
its COM links pointed at simulated modems and every other port at nothing.
Leaving the session stops everything it started, even when the test failed.

    template = harness.ensure_template(work_root)
    with harness.Session(work_dir, template) as s:
        s.add_modem(3, sim_exe)                    # COM3 -> a simulator's line
        s.check_unused_ports(probe_exe)            # the others fail at once
        result = s.run(probe_exe, ["talk", "3"], timeout=30)

Module functions and the `Display`, `Prefix` and `Simulator` classes can be
used on their own (the run script and the benchmark do).
"""

import contextlib
import ctypes
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PORT_COUNT = 9
ERROR_FILE_NOT_FOUND = 2
# Change this when the template's recipe changes: older templates are remade.
TEMPLATE_RECIPE = "tarvelle-wine-template 5"
DESKTOP_SIZE = "1024x768"


class HarnessError(Exception):
    """Something the harness set up did not come about as it should."""


def _find(names, fallbacks):
    for name in names:
        found = shutil.which(name)
        if found:
            return found
    for path in fallbacks:
        if os.access(path, os.X_OK):
            return path
    raise HarnessError("none of %s is installed" % ", ".join(names))


def wine_loader():
    # Debian's "wine" wrapper picks the 64-bit loader when there is no 32-bit
    # one, but nags on every start; call the loader itself.
    return _find(["wine64"], ["/usr/lib/wine/wine64", "/usr/lib/wine/wine"])


def wineserver():
    return _find(["wineserver"], ["/usr/lib/wine/wineserver"])


def wine_fonts_dir():
    """Wine's own fonts (Marlett for the caption buttons among them), where
    Wine itself looks: its data folder, two levels above the loader's folder
    and then share/wine."""
    loader_dir = os.path.dirname(os.path.realpath(wine_loader()))
    return os.path.normpath(os.path.join(loader_dir, "..", "..", "share", "wine", "fonts"))


def read_line(stream, deadline, what):
    """One line from a pipe, waiting until the monotonic `deadline`."""
    fd = stream.fileno()
    data = b""
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise HarnessError("no line from %s in time" % what)
        chunk = os.read(fd, 1)
        if not chunk:
            raise HarnessError("%s closed its output early (got %r)" % (what, data))
        data += chunk
    return data.decode(errors="replace").rstrip("\r\n")


def _die_with_parent():
    # Xvfb and the simulators end with the test process, even when a test
    # runner kills it outright and no clean-up code runs (PR_SET_PDEATHSIG).
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)


def stop_process(proc, grace=5.0):
    """SIGTERM, then SIGKILL if it outlives the grace period."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Display:
    """An Xvfb server on a display number it picks itself (-displayfd), or,
    given a name, a display that someone else runs (left running at stop)."""

    def __init__(self, size=DESKTOP_SIZE, start_timeout=20.0, name=None):
        self.proc = None
        self.name = name
        if name is None:
            self._start_xvfb(size, start_timeout)

    def _start_xvfb(self, size, start_timeout):
        reader, writer = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(writer), "-screen", "0", size + "x24",
                 "-nolisten", "tcp"],
                pass_fds=[writer], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True, preexec_fn=_die_with_parent)
        finally:
            os.close(writer)
        with os.fdopen(reader, "rb") as pipe:
            try:
                number = read_line(pipe, time.monotonic() + start_timeout, "Xvfb")
            except HarnessError:
                stop_process(self.proc)
                raise
        self.name = ":" + number

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path],
                       check=True, timeout=30)

    def stop(self):
        stop_process(self.proc)


def _text(data):
    return data.decode(errors="replace").replace("\r\n", "\n")


class RunResult:
    def __init__(self, code, stdout, stderr, timed_out):
        self.code = code
        self.stdout = stdout
        self.stderr = stderr
        self.timed_out = timed_out

    def __repr__(self):
        return "RunResult(code=%r, timed_out=%r, stdout=%r, stderr=%r)" % (
            self.code, self.timed_out, self.stdout, self.stderr[-2000:])


def _descendants(parents, roots):
    found = set(roots)
    grew = True
    while grew:
        more = {pid for pid, parent in parents.items() if parent in found} - found
        found |= more
        grew = bool(more)
    return found


class Prefix:
    """A Wine prefix whose dosdevices/comN links a test controls."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.started = []  # pids of the programs started here

    def port_path(self, n):
        return os.path.join(self.path, "dosdevices", "com%d" % n)

    def link_port(self, n, target):
        """Makes COMn the device at `target`; Wine looks the link up at each open."""
        self.unlink_port(n)
        os.symlink(target, self.port_path(n))

    def unlink_port(self, n):
        path = self.port_path(n)
        if os.path.islink(path) or os.path.isfile(path):
            os.unlink(path)
        elif os.path.isdir(path):
            os.rmdir(path)

    def make_port_placeholders(self):
        """Folders at com1..com9: a Wine session that starts with these makes no
        port devices of its own. Without them, each session start makes COM1 a
        device for /dev/ttyS0 when that exists (such a port opens whatever its
        link says) and removes the comN links that are there."""
        for n in range(1, PORT_COUNT + 1):
            self.unlink_port(n)
            os.mkdir(self.port_path(n))

    def remove_port_placeholders(self):
        for n in range(1, PORT_COUNT + 1):
            self.unlink_port(n)

    def linked_ports(self):
        return [n for n in range(1, PORT_COUNT + 1) if os.path.lexists(self.port_path(n))]

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def install(self, files, folder="tarvelle"):
        """Copies files into C:\\<folder>; gives the Unix path of that folder."""
        target = self.drive_c(folder)
        os.makedirs(target, exist_ok=True)
        for f in files:
            shutil.copy2(f, target)
        return target

    def env(self, display):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": self.path,
            "WINEARCH": "win64",
            "WINEDEBUG": env.get("TARVELLE_WINEDEBUG", "-all"),
            "WINELOADER": wine_loader(),
            # No installers for .NET or the HTML engine, no desktop menu entries,
            # and no USB and HID bus drivers: they watch the host's devices all
            # the time (a few percent of a core) and nothing here needs them.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d;winebus.sys,wineusb.sys=d",
        })
        if display is not None:
            env["DISPLAY"] = display.name
        return env

    def start(self, exe, args, display, cwd=None, stdin=subprocess.DEVNULL,
              stdout=subprocess.PIPE, stderr=subprocess.PIPE):
        """Starts a Win32 program; by default its stdout and stderr are pipes.

        The first program of a Wine session starts wineserver and Wine's
        services, which keep that program's stdout and stderr open for as long
        as the session lasts: a pipe given to it never reaches its end. A
        Session starts its Wine session with files for those.
        """
        if os.path.exists(exe):  # a Unix path, not a program of Wine's own
            exe = os.path.abspath(exe)
        proc = subprocess.Popen([wine_loader(), exe] + list(args), env=self.env(display),
                                cwd=cwd or os.path.dirname(exe) or None,
                                stdin=stdin, stdout=stdout, stderr=stderr,
                                start_new_session=True)
        self.started.append(proc.pid)
        return proc

    def run(self, exe, args, display, timeout, cwd=None):
        """Runs a Win32 program to its end, killing it after `timeout` seconds.

        Output goes to files and the wait is for the program itself, so a
        process that inherited its output cannot hold the run up."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = self.start(exe, args, display, cwd, stdout=out, stderr=err)
            try:
                proc.wait(timeout)
                timed_out = False
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                timed_out = True
            out.seek(0)
            err.seek(0)
            return RunResult(proc.returncode, _text(out.read()), _text(err.read()), timed_out)

    def wait_server(self, timeout=60):
        """Waits until this prefix's wineserver has ended (wineboot, reg)."""
        subprocess.run([wineserver(), "-w"], env=self.env(None), timeout=timeout, check=False)

    def kill(self):
        """Ends every Wine process of this prefix, the wineserver included."""
        try:
            subprocess.run([wineserver(), "-k"], env=self.env(None), timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass
        for pid in self.pids():
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)

    def pids(self):
        """Processes running in this prefix: the programs started here and
        their children, and the wineserver and services, found by their
        environment (Wine reuses the environment's memory in the programs
        themselves, so theirs cannot be read reliably)."""
        wanted = ("WINEPREFIX=" + self.path).encode()
        found = set()
        parents = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parents[int(entry)] = int(f.read().rsplit(")", 1)[1].split()[1])
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if wanted in f.read().split(b"\0"):
                        found.add(int(entry))
            except OSError:
                continue
        found |= _descendants(parents, {pid for pid in self.started if pid in parents})
        return sorted(found)


def cpu_ticks(pids):
    """utime + stime of each process, in clock ticks; gone processes are left out."""
    ticks = {}
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        ticks[pid] = int(fields[11]) + int(fields[12])  # fields 14 and 15 of stat
    return ticks


def cpu_seconds_between(before, after):
    """CPU time used between two cpu_ticks() readings; new processes count in full."""
    used = sum(t - before.get(pid, 0) for pid, t in after.items())
    return used / os.sysconf("SC_CLK_TCK")


@contextlib.contextmanager
def _locked(path):
    with open(path, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def _template_stamp():
    version = subprocess.run([wine_loader(), "--version"], capture_output=True, text=True)
    return "%s\n%s\n" % (TEMPLATE_RECIPE, version.stdout.strip())


def _wine_reg(prefix, display, *args):
    result = prefix.run("reg", list(args), display, timeout=60, cwd=prefix.path)
    if result.code != 0 and args[0] != "delete":
        raise HarnessError("reg %s failed: %r" % (" ".join(args), result))


def _build_template(path):
    # Wine makes the C: and Z: links only when it makes dosdevices itself,
    # so a prefix that starts with dosdevices gets them here.
    os.makedirs(os.path.join(path, "drive_c"))
    dosdevices = os.path.join(path, "dosdevices")
    os.makedirs(dosdevices)
    os.symlink("../drive_c", os.path.join(dosdevices, "c:"))
    os.symlink("/", os.path.join(dosdevices, "z:"))
    prefix = Prefix(path)
    prefix.make_port_placeholders()
    display = Display()  # a prefix made without a display can fail to open windows later
    try:
        boot = prefix.run("wineboot", ["-i"], display, timeout=300, cwd=path)
        if boot.code != 0:
            raise HarnessError("wineboot failed: %r" % boot)
        prefix.wait_server(timeout=300)
        # A virtual desktop shows captions in screenshots and lets programs exit faster.
        _wine_reg(prefix, display, "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop",
                  "/d", "Default", "/f")
        _wine_reg(prefix, display, "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v",
                  "Default", "/d", DESKTOP_SIZE, "/f")
        # Every port listed here becomes a device object, even with an empty value.
        _wine_reg(prefix, display, "delete", r"HKLM\Software\Wine\Ports", "/f")
        # Wine names its data folder "<loader folder>/../../share/wine" and
        # hands that, ".." and all, to the Windows side, where the path leads
        # nowhere: its own fonts are never loaded, and the caption buttons show
        # the letters "0 1 r" for want of Marlett. The same folder, named
        # plainly in the font path, is read.
        fonts = wine_fonts_dir()
        if os.path.isdir(fonts):
            _wine_reg(prefix, display, "add", r"HKCU\Software\Wine\Fonts", "/v", "Path", "/d",
                      "Z:" + fonts.replace("/", "\\"), "/f")
        prefix.wait_server(timeout=120)
    finally:
        prefix.kill()
        display.stop()


def ensure_template(cache_dir, name="wineprefix-template", log=sys.stderr):
    """The prefix `name` under `cache_dir`, made once (under a lock) when missing or stale."""
    os.makedirs(cache_dir, exist_ok=True)
    template = os.path.join(os.path.abspath(cache_dir), name)
    stamp_path = os.path.join(template, "tarvelle-template.txt")
    stamp = _template_stamp()
    with _locked(template + ".lock"):
        with contextlib.suppress(OSError), open(stamp_path) as f:
            if f.read() == stamp:
                return template
        print("making the Wine prefix template %s" % template, file=log, flush=True)
        started = time.monotonic()
        building = template + ".new"
        shutil.rmtree(building, ignore_errors=True)
        _build_template(building)
        with open(os.path.join(building, "tarvelle-template.txt"), "w") as f:
            f.write(stamp)
        shutil.rmtree(template, ignore_errors=True)
        os.rename(building, template)
        print("template made in %.1f s" % (time.monotonic() - started), file=log, flush=True)
    return template


# Wine's own modules in drive_c, which nothing rewrites: a prefix copy shares them.
SHARED_MODULES = (".dll", ".exe", ".sys", ".drv", ".ocx", ".cpl", ".acm", ".tlb", ".ds")


def copy_prefix(template, path):
    """A prefix of its own for a test, cheap to make: Wine's modules (most
    of the 700 MB) are hard links to the template's; everything else, the
    registry and the .ini files that programs may rewrite in place included,
    is a real copy."""
    def copy(source, target):
        if source.endswith(SHARED_MODULES) and os.path.dirname(source) != template:
            os.link(source, target)
        else:
            shutil.copy2(source, target)

    shutil.copytree(template, path, symlinks=True, copy_function=copy)
    return Prefix(path)


class Simulator:
    """A modem-sim process whose line is linked at `link`."""

    def __init__(self, exe, link, config=None, log=None, state=None, reply_log=None,
                 start_timeout=10.0):
        args = [exe, "--link", link]
        for flag, value in (("--config", config), ("--log", log), ("--state", state),
                            ("--reply-log", reply_log)):
            if value is not None:
                args += [flag, value]
        self.link = link
        self.log = log
        self.reply_log = reply_log
        self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     start_new_session=True, preexec_fn=_die_with_parent)
        try:
            line = read_line(self.proc.stdout, time.monotonic() + start_timeout, "modem-sim")
        except HarnessError:
            self.stop()
            raise
        if not line.startswith("ready "):
            self.stop()
            raise HarnessError("modem-sim said %r instead of ready" % line)
        self.slave = line[len("ready "):]

    def commands(self):
        """The commands logged so far, each as the log spells its bytes."""
        if self.log is None or not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [m.group(1) for m in re.finditer(r'^\S+ "(.*)"$', f.read(), re.M)]

    def stop(self):
        stop_process(self.proc)
        if self.proc.stdout is not None:
            self.proc.stdout.close()


def parse_port_report(text):
    """The probe's "COMn open" / "COMn error E" lines as {n: None or E}."""
    report = {}
    for m in re.finditer(r"^COM(\d+) (?:open|error (\d+))\s*$", text, re.M):
        report[int(m.group(1))] = int(m.group(2)) if m.group(2) else None
    return report


def _end_cleanly_on_sigterm():
    # A test runner's time-out sends SIGTERM: leave through the sessions'
    # clean-up rather than dying with Xvfb, wineserver and simulators around.
    def leave(signum, frame):
        raise SystemExit(128 + signum)

    if signal.getsignal(signal.SIGTERM) == signal.SIG_DFL:
        signal.signal(signal.SIGTERM, leave)


class Session:
    """A display, a prefix and simulators for one test; all stopped on exit.

    By default the prefix is a copy of `template` under `work_dir`, removed
    when the session ends cleanly and kept for a look when the test failed.
    With `prefix_path` the session uses that prefix (made from the same
    recipe) as it is and keeps it; with `display_name` it uses that display
    instead of starting an Xvfb. The work folder holds the modems' links and
    logs and any screenshots.
    """

    def __init__(self, work_dir, template=None, prefix_path=None, display_name=None):
        self.work_dir = os.path.abspath(work_dir)
        self.template = template
        self.prefix_path = prefix_path
        self.display_name = display_name
        self.display = None
        self.prefix = None
        self.modems = {}
        self.keeper = None

    def __enter__(self):
        _end_cleanly_on_sigterm()
        try:
            shutil.rmtree(self.work_dir, ignore_errors=True)
            os.makedirs(self.work_dir)
            if self.prefix_path is not None:
                self.prefix = Prefix(self.prefix_path)
                self.prefix.kill()  # a session left from an earlier run
                self.prefix.make_port_placeholders()
            else:
                path = os.path.join(self.work_dir, "wineprefix")
                self.prefix = copy_prefix(self.template, path)
            self.display = Display(name=self.display_name)
            self._start_wine_session()
        except BaseException:
            self.close(keep=True)
            raise
        return self

    def _start_wine_session(self):
        # The copy starts with placeholder folders at com1..com9. The session
        # must start with them in place and then last until the test ends: a
        # new session would make COM1 a device again and drop the links. A
        # console waiting on its input keeps the session up.
        self.session_log = open(os.path.join(self.work_dir, "wine-session.log"), "wb")
        self.keeper = self.prefix.start("cmd", [], self.display, cwd=self.work_dir,
                                        stdin=subprocess.PIPE, stdout=self.session_log,
                                        stderr=self.session_log)
        started = self.run("cmd", ["/c", "exit"], timeout=120, cwd=self.work_dir)
        if started.code != 0:
            raise HarnessError("the Wine session did not start: %r" % started)
        self.prefix.remove_port_placeholders()

    def __exit__(self, kind, value, traceback):
        self.close(keep=kind is not None)
        return False

    def add_modem(self, port, sim_exe, config=None, state=None):
        """Starts a simulator and makes COM`port` its line; gives the Simulator."""
        link = os.path.join(self.work_dir, "modem-com%d" % port)
        log = os.path.join(self.work_dir, "modem-com%d.log" % port)
        sent = os.path.join(self.work_dir, "modem-com%d.sent.log" % port)
        sim = Simulator(sim_exe, link, config=config, log=log, state=state, reply_log=sent)
        self.modems[port] = sim
        self.prefix.link_port(port, link)
        return sim

    def check_unused_ports(self, probe_exe, timeout=60):
        """Every port without a link must fail to open with ERROR_FILE_NOT_FOUND,
        and every port linked to a live line must be found. Gives {n: error or None}."""
        live = {n for n in self.prefix.linked_ports() if os.path.exists(self.prefix.port_path(n))}
        unused = set(range(1, PORT_COUNT + 1)) - set(self.prefix.linked_ports())
        result = self.run(probe_exe, ["ports"], timeout=timeout)
        report = parse_port_report(result.stdout)
        if result.code != 0 or len(report) != PORT_COUNT:
            raise HarnessError("port check did not run: %r" % result)
        wrong = {n: e for n, e in report.items()
                 if (n in unused and e != ERROR_FILE_NOT_FOUND)
                 or (n in live and e == ERROR_FILE_NOT_FOUND)}
        if wrong:
            raise HarnessError("ports not as linked (live %s): %r" % (sorted(live), wrong))
        return report

    def start(self, exe, args=(), cwd=None, **streams):
        """Starts a Win32 program in the session (streams: stdin, stdout, stderr)."""
        return self.prefix.start(exe, args, self.display, cwd, **streams)

    def run(self, exe, args=(), timeout=60, cwd=None):
        return self.prefix.run(exe, args, self.display, timeout, cwd)

    def screenshot(self, name):
        path = os.path.join(self.work_dir, name + ".png")
        self.display.screenshot(path)
        return path

    def settled_screenshot(self, name, tries=10):
        """A screenshot once two in a row agree, pixel for pixel: what Wine
        has painted reaches the X server a little later, and the server
        draws it after requests it already holds."""
        last = None
        for _ in range(tries):
            path = self.screenshot(name)
            pixels = subprocess.run(["identify", "-format", "%#", path], check=True,
                                    timeout=30, capture_output=True, text=True).stdout
            if pixels == last:
                break
            last = pixels
        return path

    def close(self, keep=False):
        for sim in self.modems.values():
            sim.stop()
        self.modems = {}
        if self.keeper is not None:
            self.keeper.stdin.close()
        if self.prefix is not None:
            self.prefix.kill()
            if self.keeper is not None:
                stop_process(self.keeper)
                self.keeper = None
                self.session_log.close()
            if not keep and self.prefix_path is None:
                shutil.rmtree(self.prefix.path, ignore_errors=True)
        if self.display is not None:
            self.display.stop()
            self.display = None


def demo_picture(session, driver_exe, name="tarvelle"):
    """The demo's picture of the program once the modem has been read (the
    country list, 1000, is then enabled) and the window has been painted.
    The driver gives up after 30 s, when no modem answers. Gives the
    picture's path and whether the modem was read."""
    driver = session.start(driver_exe, [], stdin=subprocess.PIPE)
    answers = []
    try:
        # Enabled is not yet drawn: "settle" returns once the program waits
        # for input again with every window painted anew.
        for line in ("find 30000", "wait-enabled 1000 30000 1", "settle 10000"):
            driver.stdin.write((line + "\n").encode())
            driver.stdin.flush()
            deadline = time.monotonic() + 40
            answer = ""
            while answer != "ok" and not answer.startswith("error"):
                answer = read_line(driver.stdout, deadline, "driver")
            answers.append(answer)
            if answer != "ok":
                break
    except HarnessError as error:
        answers.append(str(error))
    finally:
        stop_process(driver)
    return session.settled_screenshot(name), answers[-1] == "ok"


def _demo_screenshot(session, driver_exe):
    # Without a display nobody sees the window, so the demo shows itself as a
    # picture.
    path, read = demo_picture(session, driver_exe)
    print("screenshot of the program%s saved in %s" % ("" if read else " (no modem read)", path),
          flush=True)


def run_with_modem(args):
    """Starts a simulated modem on a COM port of a kept prefix (or links COM
    ports to real devices) and runs a program against it on a display, until
    the program ends or Ctrl-C."""
    home = os.path.abspath(args.home)
    prefix_path = ensure_template(home, "wineprefix")
    display = args.display or None
    if display is None:
        print("No display ($DISPLAY is empty): running under Xvfb instead.", flush=True)
    devices = dict(_parse_device(d) for d in args.device)
    with Session(os.path.join(home, "run"), prefix_path=prefix_path,
                 display_name=display) as session:
        for port, path in sorted(devices.items()):
            session.prefix.link_port(port, path)
            print("COM%d is %s" % (port, path), flush=True)
        if args.port not in devices:
            state = os.path.join(home, "modem-com%d.state" % args.port)
            sim = session.add_modem(args.port, args.sim, config=args.config, state=state)
            print("simulated modem on COM%d (%s), commands logged in %s" %
                  (args.port, sim.slave, sim.log), flush=True)
        if args.probe:
            session.check_unused_ports(args.probe)
        program = session.start(args.program[0], args.program[1:], stdin=None, stdout=None,
                                stderr=None)
        try:
            if display is None and args.driver:
                _demo_screenshot(session, args.driver)
            return program.wait()
        except KeyboardInterrupt:
            return 130


def _parse_device(text):
    """"3=/dev/ttyACM0" (or "COM3=/dev/ttyACM0") as (3, "/dev/ttyACM0")."""
    m = re.match(r"^(?:COM)?([1-9])=(.+)$", text, re.I)
    if m is None:
        raise SystemExit("not a port mapping (COMn=/dev/...): %s" % text)
    return int(m.group(1)), m.group(2)


def main(argv):
    import argparse
    parser = argparse.ArgumentParser(prog="harness.py")
    commands = parser.add_subparsers(dest="command", required=True)
    # Used by CTest to make the template once before the tests that copy it.
    template = commands.add_parser("make-template")
    template.add_argument("cache_dir")
    run = commands.add_parser("run", help="a program against a simulated modem")
    run.add_argument("--home", required=True, help="folder of the kept prefix and the logs")
    run.add_argument("--sim", required=True)
    run.add_argument("--config", help="scenario of the simulated modem")
    run.add_argument("--port", type=int, default=3)
    run.add_argument("--probe", help="serial_probe.exe, to check the ports first")
    run.add_argument("--driver", help="tarvelle_driver.exe, to see when to take a screenshot")
    run.add_argument("--device", action="append", default=[],
                     help="COMn=/dev/... links a COM port to a real device")
    run.add_argument("--display", default=os.environ.get("DISPLAY"),
                     help="X display to use; an Xvfb of its own when empty")
    run.add_argument("program", nargs="+", help="the Win32 program and its arguments")
    args = parser.parse_args(argv[1:])
    if args.command == "make-template":
        print(ensure_template(args.cache_dir, log=sys.stdout))
        return 0
    return run_with_modem(args)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
