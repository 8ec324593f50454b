"""iaxmodem, a soft modem of another maker, as a peer on a pseudo-terminal.

iaxmodem answers AT commands on a pty it links at the path named by `device`
in its configuration, and needs no IAX server to do so: without one it only
fails to register, which does not touch the AT side. It speaks the standard
dialect (AT+GCI) and none of the vendor's own commands, so it is the real
"other make" that --any-modem is for.

    with IaxModem(work_dir) as modem:
        talk_to(modem.link)

iaxmodem reads its configuration only from /etc/iaxmodem/<name>, but takes
<name> as it is given, so a name of "../../<absolute path>" reaches a private
file in the test's own folder and /etc stays untouched. Its log file would be
/var/log/iaxmodem/<name>, which then names a folder that does not exist: it
keeps no log, and says so on no channel we read.
"""

import grp
import os
import pwd
import select
import shutil
import socket
import subprocess
import time

PROGRAM = "iaxmodem"


def installed():
    return shutil.which(PROGRAM) is not None


def _free_udp_port():
    # iaxmodem binds a UDP port for IAX; parallel tests each need their own.
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _config_text(link):
    owner = "%s:%s" % (pwd.getpwuid(os.getuid()).pw_name, grp.getgrgid(os.getgid()).gr_name)
    lines = [
        ("device", link),
        ("owner", owner),
        ("mode", "660"),
        ("port", str(_free_udp_port())),
        ("refresh", "300"),
        ("server", "127.0.0.1"),
        ("peername", "tarvelle-test"),
        ("secret", "unused"),
        ("codec", "slinear"),
    ]
    return "".join("%s\t%s\n" % line for line in lines)


class IaxModem:
    """An iaxmodem process whose line is linked at WORK/ttyIAX."""

    def __init__(self, work_dir, start_timeout=10.0):
        work_dir = os.path.abspath(work_dir)
        os.makedirs(work_dir, exist_ok=True)
        self.link = os.path.join(work_dir, "ttyIAX")
        config = os.path.join(work_dir, "iaxmodem.cfg")
        with open(config, "w") as f:
            f.write(_config_text(self.link))
        self.proc = subprocess.Popen([PROGRAM, "../.." + config], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        try:
            self._wait_for_link(time.monotonic() + start_timeout)
        except Exception:
            self.stop()
            raise

    def _wait_for_link(self, deadline):
        # iaxmodem says "Modem started" as it makes the link, not after, so
        # each look at its output is followed by a look at the path.
        said = b""
        while not os.path.lexists(self.link):
            left = deadline - time.monotonic()
            if left <= 0:
                raise RuntimeError("iaxmodem made no link in time; it said %r" % said)
            if select.select([self.proc.stdout], [], [], min(left, 0.05))[0]:
                chunk = os.read(self.proc.stdout.fileno(), 4096)
                if not chunk:
                    raise RuntimeError("iaxmodem ended early; it said %r" % said)
                said += chunk

    def stop(self, grace=5.0):
        """SIGTERM, on which iaxmodem removes its link; SIGKILL if it lingers."""
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(grace)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
