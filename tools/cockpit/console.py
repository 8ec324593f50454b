"""The web console in a folder of its own: Cockpit's web server and bridge,
run as nobody, serve the built page from the folder's own data home, and
Debian's chromium drives it headless through Selenium. The bridge runs
tarvelle-cli from the folder's bin/, and its environment (the fake /dev and
sysfs roots, the profile, the lock folder) reaches every command the page
runs; the program honours those settings because nobody is not root.
Needs Debian's cockpit-ws, cockpit-bridge, chromium, chromium-driver and
python3-selenium (run with /usr/bin/python3)."""

import os
import shutil
import socket
import subprocess
import tempfile
import time

COCKPIT_WS = "/usr/lib/cockpit/cockpit-ws"
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
NOBODY = 65534
AS_NOBODY = dict(user=NOBODY, group=NOBODY, extra_groups=[]) if os.geteuid() == 0 else {}
# Root's chromium runs without its sandbox; nothing it is not asked for goes out.
BROWSER_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 "--window-size=1000,1080"]


def missing():
    """What the console needs and this machine lacks."""
    lacking = [p for p in (COCKPIT_WS, "/usr/bin/cockpit-bridge", CHROMIUM, CHROMEDRIVER)
               if not os.path.exists(p)]
    try:
        import selenium  # noqa: F401
    except ImportError:
        lacking.append("python3-selenium")
    return lacking


def link(path, target):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.symlink(target, path)


def plant_device(root, name, line, driver="cdc_acm", protocol="01"):
    """Device `name` in the fake `root`/dev, linked to `line`, with its USB
    interface in the fake `root`/sys: its driver and, for an ACM device, the
    protocol it declares (01: V.250 AT commands)."""
    link(os.path.join(root, "dev", name), line)
    device = os.path.join(root, "sys/class/tty", name, "device")
    bus = "usb" if driver == "cdc_acm" else "usb-serial"
    link(os.path.join(device, "driver"), os.path.join(root, "sys/bus", bus, "drivers", driver))
    if driver == "cdc_acm":
        with open(os.path.join(device, "bInterfaceProtocol"), "w") as f:
            f.write(protocol + "\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Console:
    """cockpit-ws on a free port of 127.0.0.1, and a browser on the page."""

    def __init__(self, work, cli, page, env, timeout=30):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        self.work, self.timeout = work, timeout
        home, data = os.path.join(work, "home"), os.path.join(work, "data")
        os.makedirs(os.path.join(work, "bin"), exist_ok=True)
        os.makedirs(home, exist_ok=True)
        if os.geteuid() == 0:
            shutil.chown(home, NOBODY, NOBODY)
        os.symlink(os.path.abspath(cli), os.path.join(work, "bin", "tarvelle-cli"))
        shutil.copytree(page, os.path.join(data, "cockpit", "tarvelle"))
        env = dict(env, HOME=home, XDG_DATA_HOME=data, XDG_RUNTIME_DIR=home,
                   PATH=os.path.join(work, "bin") + ":/usr/sbin:/usr/bin:/sbin:/bin")
        self.port = free_port()
        self.log = open(os.path.join(work, "cockpit-ws.log"), "w")
        self.ws = subprocess.Popen([COCKPIT_WS, "--local-session=cockpit-bridge", "--address",
                                    "127.0.0.1", "--port", str(self.port)], env=env, cwd=home,
                                   stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                                   start_new_session=True, **AS_NOBODY)
        self.browser = None
        deadline = time.monotonic() + timeout
        while True:  # the server says nothing when it listens: its port does
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.ws.poll() is not None or time.monotonic() > deadline:
                    self.close()
                    raise RuntimeError("cockpit-ws did not listen: see " + self.log.name)
                time.sleep(0.02)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in BROWSER_FLAGS + ["--user-data-dir=" + tempfile.mkdtemp(dir=work)]:
            options.add_argument(flag)
        self.browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)

    def open(self):
        self.browser.get("http://127.0.0.1:%d/cockpit/@localhost/tarvelle/index.html" % self.port)

    def wait(self, condition, what):
        """Waits until condition() is true; its last value."""
        from selenium.common.exceptions import TimeoutException
        from selenium.webdriver.support.ui import WebDriverWait
        try:
            return WebDriverWait(self.browser, self.timeout, poll_frequency=0.02).until(lambda _: condition())
        except TimeoutException:
            raise AssertionError("the page never showed %s; it shows:\n%s" % (
                what, self.browser.find_element("tag name", "body").text)) from None

    def find(self, selector):
        return self.browser.find_elements("css selector", selector)

    def text(self, element_id):
        return self.browser.find_element("id", element_id).text

    def close(self):
        if self.browser is not None:
            self.browser.quit()
        os.killpg(self.ws.pid, 15)
        self.ws.wait(timeout=10)
        self.log.close()
