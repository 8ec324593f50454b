#!/usr/bin/python
# Copyright (c) 2026 The Tarvelle developers; MIT License

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: modem_info
short_description: The data modems of a host and their countries
description:
  - Runs C(tarvelle-cli scan), or C(tarvelle-cli show) when I(port) is given,
    with C(--check), so that nothing is written, not even the profile entry
    for a country code the profile does not know.
  - Never reports changed. No modem found is an empty list, not a failure;
    a port that is missing or busy, or a modem that fails, fails the task.
version_added: "1.4.0"
author:
  - Tarvelle developers
options:
  port:
    description:
      - One modem's port; its supported countries are returned too.
    type: str
  ports:
    description:
      - The ports to scan, in place of the program's search.
    type: list
    elements: str
  any_modem:
    description:
      - Also take a device that fails the identification test, as a modem of
        the standard AT+GCI kind.
    type: bool
    default: false
  profile:
    description:
      - The country profile that names the countries (C(--profile)).
    type: path
  cli:
    description:
      - The program, as a path or a name looked up in PATH.
    type: str
    default: tarvelle-cli
attributes:
  check_mode:
    support: full
    description: Nothing is ever changed.
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: Which modems has this host, set to which country
  tarvelle.modem.modem_info:
  register: found

- name: Hosts whose modem is not set to the United Kingdom
  ansible.builtin.debug:
    msg: "{{ item.port }} is set to {{ item.country.name | default('nothing') }}"
  loop: "{{ found.modems }}"
  when: item.country is none or item.country.key != 'K4'
"""

RETURN = r"""
modems:
  description:
    - The modems found; empty when none was.
    - Each has C(port), C(ident) (its identification), C(dialect) (C(nc) or
      C(gci)) and C(country) (C(key), C(name), C(code), or null), and with
      I(port) also C(supported), a list of countries.
  returned: always
  type: list
  elements: dict
  sample: [{"port": "/dev/ttyACM0", "ident": "ACF3_V1 data modem", "dialect": "nc",
            "country": {"key": "K4", "name": "United Kingdom", "code": "B4"}}]
rejected:
  description: Devices that answered but failed the identification test (scan only).
  returned: when scanned
  type: list
  elements: dict
unavailable:
  description: Ports that were missing or busy, with the reason (scan only).
  returned: when scanned
  type: list
  elements: dict
skipped:
  description: Devices not probed because they declare no AT commands (scan only).
  returned: when scanned
  type: list
  elements: dict
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarvelle.modem.plugins.module_utils.cli import (
    EXIT_NO_MODEM, common_words, run_cli, without_envelope)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type="str"),
            ports=dict(type="list", elements="str"),
            any_modem=dict(type="bool", default=False),
            profile=dict(type="path"),
            cli=dict(type="str", default="tarvelle-cli"),
        ),
        mutually_exclusive=[("port", "ports")],
        supports_check_mode=True,
    )
    port, ports = module.params["port"], module.params["ports"] or []
    command = ["show", "--port", port] if port else ["scan"] + [w for p in ports
                                                               for w in ("--port", p)]
    rc, output = run_cli(module, common_words(module, True) + command, (0, EXIT_NO_MODEM))
    if port:
        result = {"modems": [] if rc == EXIT_NO_MODEM else [without_envelope(output)]}
    else:
        result = without_envelope(output)
        result.pop("error", None)  # no modem: an empty list
    module.exit_json(changed=False, **result)


if __name__ == "__main__":
    main()
