#!/usr/bin/env python3
"""The Ansible collection tarvelle.modem: built as Galaxy builds it, and its
modules run by ansible-playbook (connection: local) through the built
tarvelle-cli against simulated modems. Run as cli_test.py is:
ansible_test.py CASE --cli PATH --sim PATH --work DIR."""

import json
import os
import re
import shutil
import subprocess
import sys

from cli_test import Z, expect, main, read, sets, write

SOURCE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.join(SOURCE, "..", "..", "packaging", "ansible")
COLLECTION = os.path.join(COLLECTIONS, "ansible_collections", "tarvelle", "modem")


def ansible(bench, *words):
    """Runs an Ansible program with no configuration but ours: the
    collection from the source tree, temporary folders in the case's own."""
    if shutil.which(words[0]) is None:
        expect(os.environ.get("CI") != "true", words[0] + " missing: scripts/setup.sh installs it")
        print("skipped: %s is not installed" % words[0])
        sys.exit(77)
    home = os.path.join(bench.work, "ansible")
    env = bench.env(ANSIBLE_COLLECTIONS_PATH=COLLECTIONS, ANSIBLE_HOME=home,
                    ANSIBLE_LOCAL_TEMP=os.path.join(home, "tmp"),
                    ANSIBLE_REMOTE_TEMP=os.path.join(home, "remote"),
                    ANSIBLE_CONFIG=os.path.join(home, "none.cfg"), ANSIBLE_NOCOLOR="1",
                    ANSIBLE_STDOUT_CALLBACK="json", ANSIBLE_LOCALHOST_WARNING="0",
                    ANSIBLE_INVENTORY_UNPARSED_WARNING="0", ANSIBLE_RETRY_FILES_ENABLED="0")
    return subprocess.run(words, cwd=bench.work, env=env, capture_output=True, text=True,
                          timeout=120)


def play(bench, playbook, *flags, **extra):
    """The result of the playbook's one task."""
    extra.update(profile=bench.profile, cli=extra.get("cli", os.path.abspath(bench.cli)))
    done = ansible(bench, "ansible-playbook", "-i", "localhost,", *flags, "-e", json.dumps(extra),
                   os.path.join(SOURCE, "playbooks", playbook))
    out = json.loads(done.stdout)
    return out["plays"][0]["tasks"][0]["hosts"]["localhost"]


def collection_builds_and_documents(bench):
    version = re.search(r"set\(TARVELLE_VERSION (\S+)\)",
                        read(os.path.join(SOURCE, "..", "..", "packaging", "CMakeLists.txt")))[1]
    galaxy = re.search(r"^version: (\S+)$", read(os.path.join(COLLECTION, "galaxy.yml")), re.M)[1]
    expect(galaxy in (version, version + ".0"), "the program's version", version, galaxy)
    done = ansible(bench, "ansible-galaxy", "collection", "build", "--output-path", bench.work,
                   COLLECTION)
    built = os.path.join(bench.work, "tarvelle-modem-%s.tar.gz" % galaxy)
    expect(done.returncode == 0 and os.path.exists(built), "built", done.stdout, done.stderr)
    for module in ("country", "modem_info"):
        done = ansible(bench, "ansible-doc", "-t", "module", "tarvelle.modem." + module)
        expect(done.returncode == 0 and "RETURN VALUES" in done.stdout and
               "EXAMPLES" in done.stdout and not done.stderr.strip(), module, done.stdout,
               done.stderr)


def forget(bench, name, state):
    """Power off and on: the modem keeps its note and loses its country."""
    bench.stop(name)
    write(state, re.sub(r"^country = .*$", "country = 00", read(state), flags=re.M))
    bench.modem(name, "gci" if name == "gci" else "nc", state=state)


def country_module_reports_honestly(bench):
    states = {n: os.path.join(bench.work, n + ".state") for n in ("nc", "gci")}
    ports = {"nc": bench.modem("nc", state=states["nc"]),
             "gci": bench.modem("gci", "gci", state=states["gci"]),
             "refusing": bench.modem("refusing", **{"fault.ncset": "error"}),
             "silent": bench.modem("silent", **{"fault.v1": "silent"}),
             "nothing": os.path.join(bench.work, "nothing"), "held": bench.modem("held")}
    # (what happens first, the modem, the options and flags, changed (or the
    # exit code and words of a failure), the keys the diff shows, whether
    # it may send a set command)
    rows = [
        (None, "nc", {"country": "gb"}, [], True, None, True),
        (None, "nc", {"country": "gb"}, [], False, None, False),
        (None, "gci", {"key": "K4"}, ["--check"], True, None, False),
        (None, "gci", {"key": "K4"}, ["--check", "--diff"], True, ("00", "K4"), False),
        (None, "gci", {"key": "K4"}, ["--diff"], True, ("00", "K4"), True),
        ("forget", "gci", {"state": "reapplied"}, [], True, None, True),
        (None, "gci", {"state": "reapplied"}, [], False, None, False),
        ("forget", "nc", {"state": "reapplied"}, ["--check"], True, None, False),
        (None, "refusing", {"country": "gb"}, [], (1, "AT*ncB4"), None, True),
        (None, "silent", {"country": "gb"}, [], (3, "nothing answered"), None, False),
        (None, "nc", {"country": "gb", "cli": "/nowhere/tarvelle-cli"}, [], (None, "not found"),
         None, False),
        ("hold", "held", {"country": "gb", "borrow": True}, [], (4, "did not let go"), None,
         False),
    ]
    for first, name, options, flags, outcome, diff, may_set in rows:
        if first == "forget":
            forget(bench, name, states[name])
        elif first == "hold":  # by a program that gives way to no lock: only the wake-up
            holder = os.open(ports[name], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        sent = len(bench.commands(name)) if name in bench.sims else 0
        profile = read(bench.profile, "rb")
        result = play(bench, "country.yml", *flags, port=ports[name], **options)
        if first == "hold":
            os.close(holder)
        new = bench.commands(name)[sent:] if name in bench.sims else []
        row = (name, options, flags)
        if isinstance(outcome, bool):
            expect(not result.get("failed") and result["changed"] is outcome and
                   result["port"] == ports[name] and result["country"]["key"] == "K4" and
                   result["dialect"] == ("gci" if name == "gci" else "nc") and
                   len(result["supported"]) == 5, "result", row, result)
        else:
            expect(result.get("failed") and result.get("rc") == outcome[0] and
                   outcome[1] in result["msg"] and
                   (outcome[0] is None or result["msg"].startswith(ports[name] + ": ")),
                   "failure", row, result)
        if diff:
            shown = (result["diff"]["before"], result["diff"]["after"])
            expect(["key: " + k in s for k, s in zip(diff, shown)] == [True, True], "diff", row,
                   shown)
        if not may_set:
            expect(sets(new) == [] and Z not in new and
                   not [c for c in new if c.startswith(("ATi9#", "ATi9cc"))], "reads only", row,
                   new)
        if "--check" in flags:
            expect(read(bench.profile, "rb") == profile, "the profile untouched", row)


def modem_info_returns_the_scan(bench):
    nc, gci = bench.modem("nc", country="B5"), bench.modem("gci", "gci", country="K4")
    absent = os.path.join(bench.work, "absent")
    found = play(bench, "info.yml", ports=[nc, gci, absent])
    expect(not found["changed"] and [(m["port"], m["country"]["key"]) for m in found["modems"]] ==
           [(nc, "B5"), (gci, "K4")] and found["unavailable"][0]["port"] == absent, "scan", found)
    one = play(bench, "info.yml", port=gci)
    expect(not one["changed"] and len(one["modems"]) == 1 and
           len(one["modems"][0]["supported"]) == 5, "show", one)
    bench.modem("silent", **{"fault.v1": "silent"})
    none = play(bench, "info.yml", port=bench.sims["silent"].link)
    expect(not none.get("failed") and none["modems"] == [], "no modem: none", none)
    failed = play(bench, "info.yml", port=absent)
    expect(failed.get("failed") and failed["rc"] == 4, "a missing port fails", failed)


if __name__ == "__main__":
    sys.exit(main(collection_builds_and_documents, country_module_reports_honestly,
                  modem_info_returns_the_scan))
