#!/usr/bin/env python3
"""Every test that CTest runs carries a time limit of its own, so a test
that hangs (a close that never returns, a modem that never answers) fails
within minutes instead of after CTest's default of 1500 seconds.

Usage: time_limits_test.py CTEST BUILD_DIR"""
import json
import subprocess
import sys

LONGEST = 600  # seconds; the Wine prefix is the slowest thing set up


def main():
    ctest, build_dir = sys.argv[1], sys.argv[2]
    listing = subprocess.run([ctest, "--test-dir", build_dir, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True, timeout=60).stdout
    faults = []
    tests = json.loads(listing).get("tests", [])
    for test in tests:
        limits = [p["value"] for p in test.get("properties", []) if p["name"] == "TIMEOUT"]
        if not limits or not 0 < float(limits[0]) <= LONGEST:
            faults.append(f"{test['name']}: {limits[0] if limits else 'no'} time limit")
    print(f"{len(tests)} tests, {len(faults)} without a time limit of 1 to {LONGEST} s")
    for fault in faults:
        print("  " + fault)
    return 1 if faults or not tests else 0


if __name__ == "__main__":
    sys.exit(main())
