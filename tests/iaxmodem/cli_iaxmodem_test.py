"""tarvelle-cli against iaxmodem, a real AT interpreter of another maker,
whose answers the simulated standard modem of cli_standard_test.py copies:
  - show --any-modem lists every profile country in its "+GCI:(00-FF)",
    asked for after its bare OK to AT*nc?;
  - set reports honestly that iaxmodem reads back something other than
    what was sent, with exit 1, and saves nothing.
Exit 77 (skipped) when iaxmodem is not installed.
    cli_iaxmodem_test.py --cli PATH --profile TOLVEX.INI --work DIR"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys

from iaxmodem_peer import IaxModem, installed


def expect(condition, message, *details):
    if not condition:
        raise AssertionError(" ".join([message] + [repr(d) for d in details]))


def hex_keys_up_to_ff(profile):
    """The profile's keys in file order that a range 00-FF holds."""
    with open(profile, encoding="cp1252") as f:
        section = re.search(r"^\[tolvx\]\s*$(.*?)(?=^\[|\Z)", f.read(), re.M | re.S | re.I)
    keys = [line.split("=", 1)[0].strip() for line in section.group(1).splitlines()
            if "=" in line and not line.lstrip().startswith(";")]
    return [k for k in keys if re.fullmatch(r"[0-9A-Fa-f]{1,11}", k) and int(k, 16) <= 0xFF]


def main():
    parser = argparse.ArgumentParser()
    for name in ("cli", "profile", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    if not installed():
        print("iaxmodem is not installed")
        return 77
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    profile = os.path.join(args.work, "TOLVEX.INI")
    shutil.copy(args.profile, profile)
    env = dict(os.environ, TARVELLE_PROFILE=profile, TARVELLE_LOCK_DIR=args.work)

    def run(*arguments, code):
        proc = subprocess.run([args.cli, "--json"] + list(arguments), capture_output=True,
                              text=True, env=env, timeout=60)
        expect(proc.returncode == code, "exit code of %s" % " ".join(arguments),
               proc.returncode, proc.stdout, proc.stderr)
        return json.loads(proc.stdout)

    with IaxModem(args.work) as modem:
        out = run("show", "--any-modem", "--port", modem.link, code=0)
        keys = [c["key"] for c in out["supported"]]
        expect(out["dialect"] == "gci" and out["ident"] == "www.soft-switch.org", "modem", out)
        expect(keys == hex_keys_up_to_ff(args.profile), "the profile's countries", keys)
        expect(out["country"]["key"] == "00", "AT+GCI? gives the present country", out)

        with open(profile, "rb") as f:
            before = f.read()
        out = run("set", "gb", "--any-modem", "--port", modem.link, code=1)
        error = out["error"]
        expect("14" in error["message"] and "B4" in error["message"], "both codes named", error)
        expect(error["step"] == "AT+GCI?", "the read-back step", error)
        with open(profile, "rb") as f:
            expect(f.read() == before, "nothing saved")
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
