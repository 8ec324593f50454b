#!/usr/bin/python3
"""The Modem country page in Cockpit, in a real headless chromium, over the
real tarvelle-cli and simulated modems behind a fake /dev and sysfs. Run as
cli_test.py is (CASE --cli PATH --sim PATH --work DIR), with the built page's
folder in TARVELLE_COCKPIT_PAGE."""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

import console
from cli_test import expect, main

ACM = ("cdc_acm", "01")
DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"
MARKUP = "<img src=x onerror=alert(1)>"


class Page(console.Console):
    def __init__(self, bench, devices, **env):
        """`devices`: {name: (driver, protocol, scenario settings or None)},
        each with a simulated modem behind it when it has settings."""
        self.root = tempfile.mkdtemp(prefix="tv-")  # short device paths, for the pictures
        os.chmod(self.root, 0o755)
        for name, (driver, protocol, settings) in devices.items():
            line = "/nonexistent"
            if settings is not None:
                bench.modem(name, **settings)
                line = bench.sims[name].slave
                os.chmod(line, 0o666)  # the simulator runs as root, the console as nobody
            console.plant_device(self.root, name, line, driver, protocol)
        for path, mode in ((bench.work, 0o777), (bench.locks, 0o1777), (bench.profile, 0o666)):
            os.chmod(path, mode)
        super().__init__(os.path.join(bench.work, "console"), bench.cli, os.environ["TARVELLE_COCKPIT_PAGE"],
                         bench.env(TARVELLE_DEV_ROOT=self.root, TARVELLE_SYS_ROOT=self.root, **env))
        bench.sims["console"] = self  # closed with the modems
        self.open()
        self.wait(lambda: self.browser.find_element("tag name", "body").get_attribute("data-list-shown-ms"),
                  "the search done")

    def stop(self):
        self.close()
        shutil.rmtree(self.root)

    def device(self, name):
        return os.path.join(self.root, "dev", name)

    def rows(self, list_id):
        """Each item of a list as [flag picture, texts...]."""
        return [[os.path.basename(i.find_element("css selector", "img").get_attribute("src"))] +
                [s.text for s in i.find_elements("css selector", "span")]
                for i in self.find("#%s [role=option]" % list_id)]

    def keys(self, *keys):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.browser).send_keys(*keys).perform()

    def focused(self):
        return self.browser.switch_to.active_element.get_attribute("id")


def modems_countries_and_a_set_by_keyboard_alone(bench):
    from selenium.webdriver.common.keys import Keys
    page = Page(bench, {"ttyACM0": ACM + ({"dialect": "nc", "country": "B5"},),
                        "ttyACM1": ACM + ({"dialect": "gci", "country": "00"},)})
    expect(page.rows("modems") == [
        ["us.png", "United States", page.device("ttyACM0"), "ACF3_V1 simulated data modem", "AT*nc"],
        ["jp.png", "Japan", page.device("ttyACM1"), "ACF3_V1 simulated data modem", "AT+GCI"]],
        "the modems", page.rows("modems"))
    page.browser.save_screenshot(str(DOCS / "cockpit-modems.png"))

    page.keys(Keys.TAB)
    expect(page.focused() == "modems", "Tab reaches the modem list", page.focused())
    page.keys(Keys.ENTER)
    page.wait(lambda: page.find("#countries [role=option]"), "the countries")
    expect(page.rows("countries") == [["jp.png", "Japan"], ["us.png", "United States", "set now"],
                                      ["gb.png", "United Kingdom"], ["unkn.png", "Niger"], ["ng.png", "Nigeria"]],
           "the countries, the present one marked", page.rows("countries"))
    while page.focused() != "countries":
        page.keys(Keys.TAB)
    page.keys(Keys.ARROW_DOWN, Keys.ENTER)  # from the present country to the next
    page.wait(lambda: page.text("preview-text"), "the change to come")
    expect(page.text("preview-text") == "United States → United Kingdom", "the preview", page.text("preview-text"))
    expect("AT*ncB4\\r" not in bench.commands("ttyACM0"), "nothing set before the confirmation")
    page.browser.save_screenshot(str(DOCS / "cockpit-set-country.png"))
    shown = [e for e in page.find("button, input, [role=listbox]") if e.is_displayed()]
    unlabelled = [e.get_attribute("id") for e in shown if not e.accessible_name.strip()]
    expect(len(shown) == 7 and not unlabelled, "every control has a label", len(shown), unlabelled)
    expect(page.focused() == "confirm", "the confirmation has the focus", page.focused())
    page.keys(Keys.ENTER)
    page.wait(lambda: "now set" in page.text("result"), "the result")
    expect(page.text("result") == "The modem is now set to United Kingdom, as read back from it.",
           "the result read back", page.text("result"))
    sent = bench.commands("ttyACM0")
    expect("AT*ncB4\\r" in sent and sent.index("ATz\\r") > sent.index("AT*ncB4\\r"), "set, then ATz", sent)
    expect(page.rows("countries")[2][2:] == ["set now"] and page.rows("modems")[0][1] == "United Kingdom",
           "the new country marked", page.rows("countries"), page.rows("modems"))


def a_busy_port_shows_its_holder_and_gets_no_byte(bench):
    page = Page(bench, {"ttyACM0": ACM + ({},)})
    with open(bench.sims["ttyACM0"].slave) as line:
        holder = subprocess.Popen(["sleep", "600"], stdin=line, **console.AS_NOBODY)
    try:
        sent = len(bench.commands("ttyACM0"))
        page.find("#modems [role=option]")[0].click()
        page.wait(lambda: page.text("problem-holder"), "the holder")
        expect(page.text("problem-holder") == "The port is held by process %d (sleep)." % holder.pid,
               "the holder", page.text("problem-holder"))
        expect("in use by process %d" % holder.pid in page.text("problem-text") and
               page.text("problem-where") == "Port: " + page.device("ttyACM0"),
               "the program's message and the port", page.text("problem-text"), page.text("problem-where"))
        expect(not page.find("#borrow-button")[0].is_displayed(), "no borrowing offered without the program's word")
        expect(len(bench.commands("ttyACM0")) == sent, "no byte to the held port", bench.commands("ttyACM0"))
    finally:
        holder.kill()
        holder.wait()


def nothing_found_shows_what_was_passed_over_and_searches_again(bench):
    page = Page(bench, {"ttyACM0": ("cdc_acm", "00", {}), "ttyUSB0": ("ftdi_sio", None, {})})
    passed = [e.text for e in page.find("#passed-over-list li")]
    hint = ": name it with --port, or use --probe-all"
    expect(page.text("search-state").startswith("No modem found") and passed == [
        "Skipped: %s: not an AT device (cdc_acm, protocol 0)%s" % (page.device("ttyACM0"), hint),
        "Skipped: %s: a USB-serial adapter (ftdi_sio)%s" % (page.device("ttyUSB0"), hint)],
        "what was skipped and why", page.text("search-state"), passed)
    expect("no modem found" in page.text("problem-text"), "the program's message", page.text("problem-text"))
    # A modem plugged in behind a port that says nothing: the search takes a while, and says so.
    bench.modem("ttyACM2", **{"fault.v1": "silent"})
    bench.modem("ttyACM1")
    for name in ("ttyACM1", "ttyACM2"):
        os.chmod(bench.sims[name].slave, 0o666)
        console.plant_device(page.root, name, bench.sims[name].slave)
    page.find("#search-again")[0].click()
    page.wait(lambda: page.text("search-state").startswith("Searching for modems… 1."), "the time searched")
    page.wait(lambda: page.find("#modems [role=option]"), "the modem found")
    expect([r[2] for r in page.rows("modems")] == [page.device("ttyACM1")], "the modem", page.rows("modems"))


def text_from_modems_and_the_profile_is_never_markup(bench):
    bench.write_profile(open(bench.profile, newline="").read().replace("\r\n", "\n")
                        .replace("=Niger,", "=<i>Niger</i>,"))
    page = Page(bench, {"ttyACM0": ACM + ({"ident": "ACF3_V1 " + MARKUP},),
                        "ttyACM1": ACM + ({"ident": MARKUP},)})
    expect(page.rows("modems")[0][3] == "ACF3_V1 " + MARKUP, "the identification as text", page.rows("modems"))
    expect([e.text for e in page.find("#passed-over-list li")] ==
           ["Rejected: %s: answered, but failed the identification test: %s" % (page.device("ttyACM1"), MARKUP)],
           "the rejected device's identification as text")
    page.find("#modems [role=option]")[0].click()
    page.wait(lambda: page.find("#countries [role=option]"), "the countries")
    expect(["unkn.png", "<i>Niger</i>"] in page.rows("countries"), "a profile name as text", page.rows("countries"))
    expect(not page.find("img:not(.flag), i"), "no element made of outside text")
    expect(page.browser.execute_script("return document.querySelectorAll('img').length") ==
           len(page.find("img.flag")), "only flags")


def the_boot_unit_as_systemctl_tells_it(bench):
    units = os.path.join(bench.work, "units")
    os.makedirs(units)
    page = Page(bench, {"ttyACM0": ACM + ({},)}, SYSTEMD_UNIT_PATH=units)
    unit = "tarvelle-reapply@ttyACM0.service"
    unit_file = pathlib.Path(__file__).resolve().parents[2] / "packaging/linux/tarvelle-reapply@.service.in"
    # unit file installed, what the page says, whether the switch works
    for installed, said, switch in [
            (False, "Cannot tell whether %s is enabled: Failed to get unit file state for %s: "
                    "No such file or directory" % (unit, unit), False),
            (True, unit + " is disabled.", True)]:
        if installed:
            os.symlink(unit_file, os.path.join(units, "tarvelle-reapply@.service"))
        page.find("#modems [role=option]")[0].click()
        page.wait(lambda: page.text("boot-state") not in ("", "Asking systemd…") and
                  page.find("#modems[aria-disabled=false]"), "the unit's state, the modem read")
        toggle = page.find("#boot-switch")[0]
        expect((page.text("boot-state"), toggle.is_enabled(), toggle.is_selected()) == (said, switch, False),
               "the boot unit", page.text("boot-state"), toggle.is_enabled())
    toggle.click()  # enabling takes root: nobody is refused
    page.wait(lambda: page.text("problem-text"), "the refusal")
    expect("Permission denied" in page.text("problem-text") and page.find("#problem-admin")[0].is_displayed(),
           "systemctl's message, and that administrator access is needed", page.text("problem-text"))


if __name__ == "__main__":
    lacking = console.missing()
    if lacking:
        print("missing (scripts/setup.sh installs them): " + ", ".join(lacking))
        sys.exit(1 if os.environ.get("CI") == "true" else 77)
    sys.exit(main(modems_countries_and_a_set_by_keyboard_alone, a_busy_port_shows_its_holder_and_gets_no_byte,
                  nothing_found_shows_what_was_passed_over_and_searches_again,
                  text_from_modems_and_the_profile_is_never_markup, the_boot_unit_as_systemctl_tells_it))
