#!/usr/bin/python3
"""Prints what the web console's page adds to tarvelle-cli's own time, in a
headless chromium over Cockpit's web server and bridge (run as nobody) and
two simulated modems behind a fake /dev and sysfs (medians of --rounds):

  list shown    the page's first script line -> the modem list shown, against
                a bare `tarvelle-cli --json scan` (goal: 300 ms or less added)
  set shown     the confirmation -> the result read back shown, against a
                bare `tarvelle-cli --json set` (goal: 300 ms or less added)"""

import argparse
import os
import shutil
import statistics
import subprocess
import time

import console
import harness

# The page sets the first on each round, the bare run the second, so that every set changes the modem.
PAGE_SETS, BARE_SETS = "Australia", "B5"


def bare(args, env):
    """Seconds a run of tarvelle-cli as nobody takes, start to exit."""
    started = time.monotonic()
    subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + args, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.monotonic() - started


def shown_ms(page, name):
    return page.wait(lambda: page.browser.find_element("tag name", "body").get_attribute(name), name)


def main():
    parser = argparse.ArgumentParser()
    for name in ("cli", "sim", "page", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    root, locks = os.path.join(args.work, "root"), os.path.join(args.work, "locks")
    os.makedirs(locks)
    for path, mode in ((args.work, 0o777), (locks, 0o1777)):
        os.chmod(path, mode)
    profile = os.path.join(args.work, "TOLVEX.INI")
    shutil.copy(args.profile, profile)
    os.chmod(profile, 0o666)
    sims = [harness.Simulator(args.sim, os.path.join(args.work, name), log=os.path.join(args.work, name + ".log"))
            for name in ("ttyACM0", "ttyACM1")]
    for sim in sims:
        os.chmod(sim.slave, 0o666)
        console.plant_device(root, os.path.basename(sim.link), sim.slave)
    env = dict(os.environ, TARVELLE_DEV_ROOT=root, TARVELLE_SYS_ROOT=root, TARVELLE_PROFILE=profile,
               TARVELLE_LOCK_DIR=locks)
    page = console.Console(os.path.join(args.work, "console"), args.cli, args.page, env)
    port = os.path.join(root, "dev", "ttyACM0")
    figures = {"list": [], "bare scan": [], "set": [], "bare set": []}
    try:
        for _ in range(args.rounds):
            page.open()
            figures["list"].append(float(shown_ms(page, "data-list-shown-ms")) / 1000)
            figures["bare scan"].append(bare([args.cli, "--json", "scan"], env))
            page.find("#modems [role=option]")[0].click()
            row = page.wait(lambda: [r for r in page.find("#countries [role=option]") if PAGE_SETS in r.text],
                            "the countries")[0]
            row.click()
            page.wait(lambda: page.find("#preview:not([hidden])"), "the preview")
            page.find("#confirm")[0].click()
            figures["set"].append(float(shown_ms(page, "data-set-shown-ms")) / 1000)
            figures["bare set"].append(bare([args.cli, "--json", "set", "--key", BARE_SETS, "--port", port], env))
    finally:
        page.close()
        for sim in sims:
            sim.stop()
    median = {name: statistics.median(values) for name, values in figures.items()}
    for what, page_key, bare_key, bare_name in (("list shown", "list", "bare scan", "scan"),
                                                ("set shown", "set", "bare set", "set")):
        added = (median[page_key] - median[bare_key]) * 1000
        print("%-11s page %6.0f ms, bare %-4s %6.0f ms: %+5.0f ms added (goal: 300 or less) %s" % (
            what, median[page_key] * 1000, bare_name, median[bare_key] * 1000, added,
            "ok" if added <= 300 else "OVER"))


if __name__ == "__main__":
    main()
