"""A real getty on a simulated modem, for the tests and the benchmarks of
--borrow: Debian's mgetty or HylaFAX's faxgetty, under a supervisor that
starts it again when it exits, as init or systemd would. A getty locks its
line under its /dev name, so the simulated modem's pty is bind-mounted onto
an empty file /dev/ttyTV<pid> (a mknod node of a pty gives EIO). mgetty's
config, log and lock folders are built in: settings go in as options, its
log is /var/log/mgetty/mg_<tty>.log, its locks the real /var/lock. faxgetty
gets a spool folder of its own, owned by uucp (it runs as uucp). Root only."""

import glob
import os
import shutil
import subprocess
import threading
import time

AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


class GettyError(Exception):
    pass


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


TTY = "ttyTV%d" % os.getpid()  # runs that overlap under ctest -j2 stay apart
DEV = "/dev/" + TTY
LOCK = "/var/lock/LCK.." + TTY
LOG = "/var/log/mgetty/mg_%s.log" % TTY
# Its set-up is one AT: the simulated modem need not play every modem mgetty knows.
MGETTY = ["mgetty", "-x", "4", "-s", "38400", "-m", '"" AT OK', TTY]
MGETTY_INIT = "AT\\r"
FAXGETTY_INIT = "ATZ\\r"
# A class 1 fax modem, as faxgetty wants one: the classes and its rates.
FAX_MODEM = dict({"reply.%slist" % c: "\\r\\n%s\\r\\n\\r\\nOK\\r\\n" % rates for c, rates in
                  (("ftm", "24,48,72,96"), ("frm", "24,48,72,96"), ("fth", "3"), ("frh", "3"))},
                 fclass="0,1")
FAX_CONFIG = "ModemType: Class1\nModemRate: 38400\nUUCPLockDir: /var/lock\nUUCPLockType: ascii\n"


def poll(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() >= deadline:
            raise GettyError("timed out waiting: " + what)
        time.sleep(0.02)  # polling another program's files, not ours


def bind_under_dev(slave, dev):
    """Shows the pty `slave` as `dev` in the real /dev: a pty opens only
    through its own inode, so it is bound over an empty file."""
    write(dev, "")
    if subprocess.run(["mount", "--bind", slave, dev]).returncode != 0:
        os.unlink(dev)
        raise GettyError("cannot bind %s at %s" % (slave, dev))


def unbind(dev):
    """Takes `dev` away again. The detach is lazy: a root search elsewhere on
    the machine may hold the name for a moment, and a plain umount would then
    fail and leave the name behind."""
    subprocess.run(["umount", "--lazy", dev])
    os.unlink(dev)


def holds(pid, device):
    """Whether process `pid` has the tty `device` open."""
    def names(fd):
        try:
            return os.stat(fd).st_rdev == device
        except OSError:  # closed meanwhile
            return False
    return any(names(fd) for fd in glob.glob("/proc/%d/fd/*" % pid))


class Line:
    """The simulated modem's pty at DEV, and what holds it: a getty under a
    supervisor (as `user`), or a plain process that knows nothing of locks."""

    def __init__(self, slave, work, holder, user="root"):
        """`slave`: the simulated modem's pty (FAX_MODEM's settings for
        faxgetty); `work`: a folder of the caller's; `holder`: "mgetty",
        "faxgetty" or "plain"."""
        self.stopping, self.getty, self.starts = False, None, 0
        self.fax = holder == "faxgetty"
        os.chmod(slave, 0o666)
        bind_under_dev(slave, DEV)
        self.device = os.stat(DEV).st_rdev
        for path in (LOG, LOCK):
            if os.path.exists(path):
                os.unlink(path)
        self.runner, self.command = AS_NOBODY if user == "nobody" else [], MGETTY
        if self.fax:
            self.spool = os.path.join(work, "spool")
            for folder in ("etc", "status", "log", "tmp", "info", "recvq"):
                os.makedirs(os.path.join(self.spool, folder))
            write(os.path.join(self.spool, "etc", "config." + TTY), FAX_CONFIG)
            os.mkfifo(os.path.join(self.spool, "FIFO"))
            subprocess.run(["chown", "-R", "uucp:uucp", self.spool], check=True)
            self.command = ["faxgetty", "-q", self.spool, TTY]
        if holder in ("mgetty", "faxgetty"):
            write(LOG, "")
            shutil.chown(LOG, user)  # mgetty as nobody cannot make it in /var/log/mgetty
            self.supervisor = threading.Thread(target=self.supervise)
            self.supervisor.start()
            self.ready(1)
        elif holder == "plain":
            self.plain = os.open(DEV, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def supervise(self):
        while not self.stopping:
            self.getty = subprocess.Popen(self.runner + self.command, stdin=subprocess.DEVNULL,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.starts += 1
            self.getty.wait()

    def ready(self, starts=0):
        """Waits until the getty's start number `starts` (or a later one) has
        set the modem up and waits for a call, holding the port and no lock."""
        poll(lambda: self.starts >= starts and self.idle() and
             holds(self.getty.pid, self.device) and not os.path.exists(LOCK), 40,
             "the getty's start %d" % starts)

    def idle(self):
        if self.fax:
            status = os.path.join(self.spool, "status", TTY)
            return os.path.exists(status) and open(status).read().startswith("Running and idle")
        return self.log().count("waiting...") >= self.starts

    def log(self):
        with open(LOG, errors="replace") as f:
            return f.read()

    def close(self):
        self.stopping = True
        if self.getty is not None:
            while self.supervisor.is_alive():
                self.getty.terminate()
                self.supervisor.join(0.1)
        if hasattr(self, "plain"):
            os.close(self.plain)
        unbind(DEV)
        for path in (LOG, LOCK):
            if os.path.exists(path):
                os.unlink(path)


