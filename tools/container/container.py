"""Boots this build's Debian package in a minimal Debian under systemd-nspawn.

The boot unit runs as root at every boot with nobody watching; here a real
systemd starts it, with its sandbox, in a container whose ports are simulated
modems. Used by the package tests, and by hand to look around:

    container.py shell --build build/native --sim build/native/tools/modem-sim/modem-sim

The root is made once per build folder with mmdebstrap, from the machine's
own apt sources and release (the package is built against its libraries),
and kept as a tarball. Everything runs as root in a mount namespace of its
own, so no mount outlives the process, however it ends.

    with private_mounts(), Workspace(build) as ws:
        base = ws.base_tree(setup_script, binds)      # the package installed
        with Overlay(base, ws.path("case")) as root, \\
                Container(root, binds=[(pts, "/dev/ttyACM0")]) as box:
            box.wait_ready(60)
            box.run("systemctl", "show", "-P", "Result", unit)
"""

import contextlib
import ctypes
import fcntl
import glob
import os
import select
import shlex
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import harness  # noqa: E402  (the process helpers the Wine tests use too)

# "--include" of the root; the name of the tarball changes with it.
ROOT_PACKAGES = "systemd,systemd-sysv,dbus,mgetty"
ROOT_RECIPE = "minbase-systemd-mgetty-1"
# What the root needs no copy of: it shrinks the tarball by a quarter.
ROOT_EXCLUDES = ("/usr/share/doc/*", "/usr/share/man/*", "/usr/share/locale/*", "/usr/share/info/*")
# The machine's apt settings that reaching its mirrors can depend on.
APT_OPTIONS = ("Acquire::http::Proxy", "Acquire::https::Proxy", "Acquire::Check-Valid-Until",
               "Acquire::Check-Date")
PACKAGE_IN_ROOT = "/run/tarvelle-cli.deb"
CLONE_NEWNS = 0x00020000
IN_OPEN = 0x00000020
IN_CREATE = 0x00000100


class ContainerError(Exception):
    """The container or its root could not be made, booted or reached."""


def _run(args, timeout, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, timeout=timeout, **kwargs)
    if result.returncode != 0:
        raise ContainerError("%s: exit %d\n%s%s" % (shlex.join(args), result.returncode,
                                                    result.stdout, result.stderr))
    return result.stdout


def _die_with_parent():
    # nspawn then shuts its container down, the simulator stops: nothing is
    # left when the process that started them is killed outright.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


@contextlib.contextmanager
def private_mounts():
    """A mount namespace of this process's own (before any thread starts)."""
    if ctypes.CDLL(None, use_errno=True).unshare(CLONE_NEWNS) != 0:
        raise ContainerError("unshare: %s" % os.strerror(ctypes.get_errno()))
    _run(["mount", "--make-rprivate", "/"], 30)
    yield


def host_release():
    with open("/etc/os-release") as f:
        fields = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    return fields.get("VERSION_CODENAME", "").strip('"')


def host_sources(release):
    """The machine's apt sources for `release` and its updates, as sources.list lines."""
    lines = _run(["apt-get", "indextargets", "--format",
                  "$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)", "Identifier: Packages"], 60)
    wanted = (release, release + "-updates", release + "-security")
    return sorted({line for line in lines.splitlines() if line.split()[2] in wanted})


def host_apt_options():
    dump = _run(["apt-config", "dump"], 30).splitlines()
    return [line.rstrip(";") for line in dump if line.split(" ", 1)[0] in APT_OPTIONS]


@contextlib.contextmanager
def _locked(path):
    with open(path, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def ensure_root(cache_dir, log=sys.stderr):
    """The root's tarball in `cache_dir`, made (under a lock) when missing."""
    release = host_release()
    os.makedirs(cache_dir, exist_ok=True)
    tarball = os.path.join(cache_dir, "debian-%s-%s.tar" % (release, ROOT_RECIPE))
    with _locked(tarball + ".lock"):
        if os.path.exists(tarball):
            return tarball
        sources = host_sources(release)
        if not sources:
            raise ContainerError("the machine's apt sources serve no %r" % release)
        print("making %s from %s" % (tarball, "; ".join(sources)), file=log, flush=True)
        started = time.monotonic()
        with tempfile.TemporaryDirectory(dir=cache_dir) as tmp:
            listed = os.path.join(tmp, "sources.list")
            with open(listed, "w") as f:
                f.write("".join(line + "\n" for line in sources))
            made = os.path.join(tmp, "root.tar")
            _run(["mmdebstrap", "--quiet", "--variant=minbase", "--include=" + ROOT_PACKAGES] +
                 ["--aptopt=" + option for option in host_apt_options()] +
                 ["--dpkgopt=path-exclude=" + path for path in ROOT_EXCLUDES] +
                 [release, made, listed], 200)
            os.rename(made, tarball)
        print("root made in %.0f s" % (time.monotonic() - started), file=log, flush=True)
    return tarball


def make_package(build_dir, out_dir):
    """The .deb that CPack makes from the build."""
    _run(["cpack", "-G", "DEB", "--config", os.path.join(build_dir, "CPackConfig.cmake"),
          "-B", out_dir], 300)
    debs = glob.glob(os.path.join(out_dir, "tarvelle-cli_*.deb"))
    if len(debs) != 1:
        raise ContainerError("cpack made %s" % os.listdir(out_dir))
    return debs[0]


def _bind_args(binds, read_only=()):
    return (["--bind=%s:%s" % bind for bind in binds] +
            ["--bind-ro=%s:%s" % bind for bind in read_only])


def _nspawn(root, *args):
    return ["systemd-nspawn", "--quiet", "-D", root, "--register=no", "--keep-unit",
            "--console=pipe"] + list(args)


class Workspace:
    """A work folder (under private_mounts()) and the tree that every boot
    starts from: the root with the package installed and `setup` (a shell
    script) run in it as root."""

    def __init__(self, build_dir, log=sys.stderr):
        self.build_dir = os.path.abspath(build_dir)
        self.log = log
        # The folders of runs that were killed outright: no one holds their lock.
        for lock_path in glob.glob(os.path.join(self.build_dir, "container.*.lock")):
            with contextlib.suppress(OSError), open(lock_path) as lock:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                shutil.rmtree(lock_path[:-len(".lock")], ignore_errors=True)
                os.unlink(lock_path)
        self.work = tempfile.mkdtemp(prefix="container.", dir=self.build_dir)
        self.lock = open(self.work + ".lock", "w")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        # In memory, in this process's mount namespace: quick to fill and to
        # empty, and gone with the namespace however the run ends.
        _run(["mount", "-t", "tmpfs", "-o", "mode=0700,size=2g", "tarvelle", self.work], 30)

    def path(self, name):
        return os.path.join(self.work, name)

    def base_tree(self, setup, binds=()):
        tarball = ensure_root(os.path.join(self.build_dir, "container"), self.log)
        deb = make_package(self.build_dir, self.path("package"))
        base = self.path("base")
        os.mkdir(base)
        _run(["tar", "-C", base, "-xf", tarball], 300)
        script = "dpkg -i %s >/dev/null\n%s" % (PACKAGE_IN_ROOT, setup)
        args = _nspawn(base, "--machine=tarvelle-setup",
                       *_bind_args(binds, [(deb, PACKAGE_IN_ROOT)]))
        proc = subprocess.run(args + ["/bin/sh", "-euc", script], capture_output=True, text=True,
                              timeout=120, preexec_fn=_die_with_parent)
        if proc.returncode != 0:
            raise ContainerError("setting up the root: exit %d\n%s%s" %
                                 (proc.returncode, proc.stdout, proc.stderr))
        return base

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        subprocess.run(["umount", "--lazy", self.work], timeout=30)
        with contextlib.suppress(OSError):
            os.rmdir(self.work)
            os.unlink(self.lock.name)
        self.lock.close()


class Overlay:
    """A fresh copy of `lower` for one boot: an overlay whose changes go to
    `folder` and are gone with it."""

    def __init__(self, lower, folder):
        self.root = os.path.join(folder, "root")
        for name in ("root", "upper", "work"):
            os.makedirs(os.path.join(folder, name))
        _run(["mount", "-t", "overlay", "overlay", "-o", "lowerdir=%s,upperdir=%s,workdir=%s" % (
            lower, os.path.join(folder, "upper"), os.path.join(folder, "work")), self.root], 30)

    def __enter__(self):
        return self.root

    def __exit__(self, *exc):
        subprocess.run(["umount", "--lazy", self.root], timeout=30)


class Watch:
    """The next inotify event of `mask` on `path`, through any path to it:
    IN_OPEN of a file, IN_CREATE of a name in a folder."""

    def __init__(self, path, mask):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, path.encode(), mask) < 0:
            raise ContainerError("inotify on %s: %s" % (path, os.strerror(ctypes.get_errno())))
        self.path = path

    def wait(self, timeout, name=None):
        """Until an event (for `name`, if given) or the time is up."""
        deadline = time.monotonic() + timeout
        try:
            while select.select([self.fd], [], [], max(deadline - time.monotonic(), 0))[0]:
                events = os.read(self.fd, 4096)
                while events:
                    length = struct.unpack_from("iIII", events)[3]
                    got = events[16:16 + length].rstrip(b"\0").decode()
                    if name is None or got == name:
                        return
                    events = events[16 + length:]
            raise ContainerError("no event on %s in %.0f s" % (self.path, timeout))
        finally:
            os.close(self.fd)


class Container:
    """systemd booting `root`, with host files bound in: `binds` are
    (host path, container path) pairs. Commands reach it through nsenter.
    Leaving it shuts the container down, or kills it."""

    def __init__(self, root, binds=(), name=None):
        self.notify = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.notify.bind(os.path.join(os.path.dirname(root), "notify"))
        env = dict(os.environ, NOTIFY_SOCKET=self.notify.getsockname())
        self.started = time.monotonic()
        self.log = open(os.path.join(os.path.dirname(root), "console.log"), "w")
        self.proc = subprocess.Popen(
            _nspawn(root, "-b", "--notify-ready=yes", "--machine=" + (name or "tarvelle-boot"),
                    *_bind_args(binds)), env=env, stdin=subprocess.DEVNULL, stdout=self.log,
            stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        self.ended = os.pidfd_open(self.proc.pid)
        self.leader = None
        self._ready = False
        try:
            self._until(lambda: self.leader is not None, 60)
        except BaseException:
            self.__exit__()
            raise

    def _until(self, condition, timeout):
        deadline = time.monotonic() + timeout
        while not condition():
            left = deadline - time.monotonic()
            woken = select.select([self.notify, self.ended], [], [], max(left, 0))[0]
            if self.notify not in woken:
                self.log.flush()
                with open(self.log.name) as f:
                    said = f.read()[-2000:]
                raise ContainerError("the container %s\n%s" % (
                    "stopped: exit %s" % self.proc.wait() if woken else
                    "did not come up in %.0f s" % timeout, said))
            for line in self.notify.recv(4096).decode().splitlines():
                key, _, value = line.partition("=")
                if key == "X_NSPAWN_LEADER_PID":
                    self.leader = int(value)
                self._ready = self._ready or line == "READY=1"

    def wait_ready(self, timeout):
        """Until the boot has finished: every unit it started is done. Once."""
        self._until(lambda: self._ready, timeout)
        # nspawn passes on the container's status, twice a second while a job
        # runs long; unread, the socket's queue fills and nspawn, then the
        # container's systemd, block sending. Closed, it refuses them.
        self.notify.close()
        return time.monotonic() - self.started

    def run(self, *args):
        """A command in the container, as its root; its output."""
        return _run(["nsenter", "-t", str(self.leader), "-a", "--"] + list(args), 60)

    def path(self, inside):
        """A path of the container's, as seen from here."""
        return "/proc/%d/root%s" % (self.leader, inside)

    def read(self, inside):
        """A file of the container's, or "" while there is none."""
        with contextlib.suppress(FileNotFoundError), open(self.path(inside), errors="replace") as f:
            return f.read()
        return ""

    def main_pid(self, unit):
        return int(self.run("systemctl", "show", "-P", "MainPID", unit))

    def holds(self, pid, device):
        """Whether the container's process `pid` has `device` (an st_rdev) open."""
        fds = self.path("/proc/%d/fd" % pid)
        with contextlib.suppress(FileNotFoundError):  # no such process, or it closed one
            return any(os.stat(os.path.join(fds, fd)).st_rdev == device for fd in os.listdir(fds))
        return False

    def plug_in(self, source, target):
        """`source`, a device of the container's, appears as `target`."""
        self.run("sh", "-ec", ': > "$2"; mount --bind "$1" "$2"', "sh", source, target)

    def journal(self, unit):
        self.run("journalctl", "--sync")
        return self.run("journalctl", "--no-pager", "-o", "cat", "-u", unit)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        # nspawn passes SIGTERM on to systemd as a request to power off.
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                if self.leader is not None:  # the container's PID 1: its whole namespace goes
                    with contextlib.suppress(ProcessLookupError):
                        os.kill(self.leader, signal.SIGKILL)
                harness.stop_process(self.proc, 10)
        self.notify.close()
        os.close(self.ended)
        self.log.close()
        _remove_cgroups()


def _remove_cgroups():
    # nspawn leaves the groups it made for the container and itself beside
    # this process's own, empty: remove those, never one still in use.
    with open("/proc/self/cgroup") as f:
        for line in f:
            _, controllers, path = line.rstrip("\n").split(":", 2)
            mount = {"": "unified", "name=systemd": "systemd"}.get(controllers)
            if mount is None:
                continue
            top = "/sys/fs/cgroup/" + mount if os.path.isdir("/sys/fs/cgroup/" + mount) \
                else "/sys/fs/cgroup"
            for child in ("payload", "supervisor"):
                for folder, _, _ in os.walk(os.path.join(top + path, child), topdown=False):
                    with contextlib.suppress(OSError):
                        os.rmdir(folder)


def main(argv):
    """container.py shell --build DIR --sim MODEM_SIM: a shell in the booted
    container, the package installed, a simulated modem as /dev/ttyACM0."""
    import argparse
    parser = argparse.ArgumentParser(description=main.__doc__)
    parser.add_argument("command", choices=["shell"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args(argv)
    with private_mounts(), Workspace(args.build) as ws:
        sim = harness.Simulator(args.sim, ws.path("link"), log=ws.path("modem.log"))
        try:
            with Overlay(ws.base_tree("mkdir /run/lock"), ws.path("boot")) as root, \
                    Container(root, [(sim.slave, "/dev/ttyACM0")]) as box:
                box.wait_ready(120)
                print("the modem's log: %s" % sim.log, flush=True)
                return subprocess.call(["nsenter", "-t", str(box.leader), "-a", "--", "/bin/bash"])
        finally:
            sim.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
