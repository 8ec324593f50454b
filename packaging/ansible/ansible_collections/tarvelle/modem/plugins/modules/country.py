#!/usr/bin/python
# Copyright (c) 2026 The Tarvelle developers; MIT License

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: country
short_description: Set a data modem's country
description:
  - Sets the country of a data modem with C(tarvelle-cli set), or applies the
    country saved on the host again with C(tarvelle-cli reapply), for modems
    that forget it at power-off.
  - The task is C(changed) only when the modem's country or the saved choice
    changed, so a second run reports C(ok) and sends the modem no set command.
  - A thin layer over C(tarvelle-cli --json), which must be installed on the
    managed host; every decision is the program's.
version_added: "1.4.0"
author:
  - Tarvelle developers
options:
  country:
    description:
      - The country by picture code (C(gb)), by name, or by the start of
        exactly one name, as C(tarvelle-cli set) takes it.
      - Exactly one of I(country) and I(key) with C(state=present).
    type: str
  key:
    description:
      - The country by its profile key (C(K4)), as C(tarvelle-cli set --key).
    type: str
  port:
    description:
      - The modem's port, such as C(/dev/ttyACM0) or a path under
        C(/dev/serial/by-id/). Without it the program searches for the modem.
    type: str
  any_modem:
    description:
      - Also take a device that fails the identification test, as a modem of
        the standard AT+GCI kind (C(--any-modem)).
    type: bool
    default: false
  borrow:
    description:
      - Take the port from a getty that holds it, such as mgetty or HylaFAX's
        faxgetty, over the port's UUCP lock, and give it back after
        (C(--borrow)). A getty in a call, or a holder that does not give way
        to the lock, fails the task with rc 4.
    type: bool
    default: false
  force:
    description:
      - Send the country even when the modem reports it is set to it
        already (C(--force)). The task is then always changed.
      - Only with C(state=present).
    type: bool
    default: false
  profile:
    description:
      - The country profile to read and save the choice in (C(--profile)).
        By default the program's own, C(/var/lib/tarvelle/TOLVEX.INI) for root.
    type: path
  state:
    description:
      - C(present) sets the country given by I(country) or I(key) and saves
        it as the host's choice.
      - C(reapplied) applies the saved choice again if the modem lost it; it
        takes no I(country) or I(key).
    type: str
    choices: [present, reapplied]
    default: present
  wait:
    description:
      - With C(state=reapplied), how many seconds to wait for the modem to
        appear, be free and answer (C(--wait)); 0 tries once.
    type: int
    default: 0
  cli:
    description:
      - The program, as a path or a name looked up in PATH.
    type: str
    default: tarvelle-cli
attributes:
  check_mode:
    support: full
    description: Runs the program with C(--check), which reads the modem and decides, but sends no set command, no reset and no note, and writes nothing.
  diff_mode:
    support: full
    description: Shows the modem's country (key and name) before and after.
notes:
  - On failure, C(msg) is the program's own message, which names the port
    and the AT command that failed, and C(rc) its exit code.
"""

EXAMPLES = r"""
- name: Set the fax modem to the United Kingdom
  tarvelle.modem.country:
    country: united kingdom
    port: /dev/serial/by-id/usb-Maker_Modem_0001-if00

- name: The same by profile key, on whichever modem the search finds
  tarvelle.modem.country:
    key: K4

- name: Set the country of the modem a fax server's getty waits on
  tarvelle.modem.country:
    country: gb
    port: /dev/ttyACM0
    borrow: true

- name: Apply the saved choice again if the modem lost it
  tarvelle.modem.country:
    state: reapplied
    port: /dev/ttyACM0
    wait: 30
"""

RETURN = r"""
port:
  description: The port of the modem worked on.
  returned: success
  type: str
  sample: /dev/ttyACM0
dialect:
  description: The modem's command dialect, C(nc) (AT*nc) or C(gci) (AT+GCI).
  returned: success
  type: str
  sample: nc
country:
  description: The country the modem is set to (in check mode, would be set to).
  returned: success
  type: dict
  contains:
    key:
      description: The profile's key; null when no entry has the code.
      type: str
    name:
      description: The country's name.
      type: str
    code:
      description: The code the modem reports for it.
      type: str
  sample: {"key": "K4", "name": "United Kingdom", "code": "B4"}
before:
  description: The country the modem had, in the same form; null when it reported none.
  returned: success
  type: dict
supported:
  description: The countries the modem lists, in the same form.
  returned: success
  type: list
  elements: dict
rc:
  description: The program's exit code (3 no modem, 4 port missing or busy, 1 the modem failed...).
  returned: failure
  type: int
step:
  description: The AT command that failed, such as C(ATz).
  returned: failure
  type: str
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarvelle.modem.plugins.module_utils.cli import (
    EXIT_WOULD_CHANGE, common_words, run_cli, without_envelope)


def described(country):
    if not country:
        return "country: unknown\n"
    return "country: %s\nkey: %s\n" % (country["name"], country["key"] or "(code %s)" % country["code"])


def main():
    module = AnsibleModule(
        argument_spec=dict(
            country=dict(type="str"),
            key=dict(type="str", no_log=False),
            port=dict(type="str"),
            any_modem=dict(type="bool", default=False),
            borrow=dict(type="bool", default=False),
            force=dict(type="bool", default=False),
            profile=dict(type="path"),
            state=dict(type="str", default="present", choices=["present", "reapplied"]),
            wait=dict(type="int", default=0),
            cli=dict(type="str", default="tarvelle-cli"),
        ),
        mutually_exclusive=[("country", "key")],
        required_if=[("state", "present", ("country", "key"), True)],
        supports_check_mode=True,
    )
    p = module.params
    if p["state"] == "reapplied":
        if p["country"] is not None or p["key"] is not None or p["force"]:
            module.fail_json(msg="state=reapplied takes no country, key or force: it applies the "
                             "choice saved on the host")
        command = ["reapply", "--wait", str(p["wait"])]
    else:
        if p["wait"]:
            module.fail_json(msg="wait is taken only with state=reapplied")
        command = ["set"] + (["--force"] if p["force"] else [])
        command += ["--key", p["key"]] if p["key"] is not None else []
    if p["borrow"]:
        command.append("--borrow")
    if p["port"]:
        command += ["--port", p["port"]]
    if p["country"] is not None:
        command += ["--", p["country"]]  # a country is never taken for an option
    words = common_words(module, module.check_mode) + command
    # Exit 5 under --check is the program's "would change"; the task's
    # changed says it, and a non-zero rc would fail the task.
    output = run_cli(module, words, (0, EXIT_WOULD_CHANGE))[1]
    result = without_envelope(output)
    if module._diff:
        result["diff"] = {"before": described(output["before"]),
                          "after": described(output["country"])}
    module.exit_json(**result)


if __name__ == "__main__":
    main()
