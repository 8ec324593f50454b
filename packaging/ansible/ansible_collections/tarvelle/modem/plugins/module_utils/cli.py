# Running tarvelle-cli for the modules: the program decides everything, the
# modules only pass options in and its JSON out.
# Copyright (c) 2026 The Tarvelle developers; MIT License

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

# Exit codes the modules tell apart.
EXIT_NO_MODEM = 3
EXIT_WOULD_CHANGE = 5


def find_cli(module):
    """The program's path: `cli` as given when it names a path, else looked
    up in PATH. Fails the task, saying so, when it is not there."""
    cli = module.params["cli"]
    if os.sep in cli:
        found = cli if os.access(cli, os.X_OK) and os.path.isfile(cli) else None
    else:
        found = module.get_bin_path(cli)
    if found is None:
        module.fail_json(msg="%s not found on this host: install the tarvelle-cli package, or "
                         "give its path in the cli option" % cli, rc=None)
    return found


def common_words(module, check):
    """The options every command takes, ahead of the command."""
    words = [find_cli(module), "--json"]
    if module.params.get("profile"):
        words += ["--profile", module.params["profile"]]
    if module.params.get("any_modem"):
        words.append("--any-modem")
    if check:
        words.append("--check")
    return words


def run_cli(module, words, accepted):
    """Runs the program; gives (exit code, parsed output) when the code is
    one of `accepted`, else fails the task with the program's own message
    (which names the port and the step), its exit code, port and step."""
    rc, out, err = module.run_command(words)
    lines = out.strip().splitlines()
    try:
        output = json.loads(lines[-1]) if lines else None
    except ValueError:
        output = None
    if rc in accepted and isinstance(output, dict):
        return rc, output
    error = output.get("error", {}) if isinstance(output, dict) else {}
    module.fail_json(msg=error.get("message") or err.strip() or "tarvelle-cli failed",
                     rc=rc, port=error.get("port"), step=error.get("step"),
                     stderr=err, cmd=words)


def without_envelope(output):
    """The output's own fields, without its version and check flags."""
    return dict((k, v) for k, v in output.items() if k not in ("version", "check"))
