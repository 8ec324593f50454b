/* The programs the page runs through Cockpit's bridge, each with an argument
 * list and never a shell line: tarvelle-cli, whose --json output is every
 * value the page shows, and systemd's tools for the boot unit. */
"use strict";

const tarvelle = {}; // eslint-disable-line no-unused-vars

(function () {
    // Runs a program; resolves (never rejects) to {exit, data, problem, message}:
    // its exit code (-1 when it did not run), its stdout, Cockpit's name for a
    // failure to run it, and its stderr.
    function spawn(args, options) {
        return new Promise(resolve => {
            cockpit.spawn(args, Object.assign({ err: "message" }, options))
                .then(data => resolve({ exit: 0, data, problem: null, message: "" }),
                      (ex, data) => resolve({
                          exit: typeof ex.exit_status === "number" ? ex.exit_status : -1,
                          data: data || "",
                          problem: ex.problem || null,
                          message: (ex.message || "").trim(),
                      }));
        });
    }

    // The words that say a command lacked the rights it needed: the system's
    // own (strerror, polkit), or Cockpit's problem code.
    const NO_RIGHTS = /permission denied|operation not permitted|access denied|authentication required/i;

    // `tarvelle-cli --json <args>`, as root in an administrator's session and
    // as the user otherwise. Resolves to {exit, out, error, message, noRights}:
    // out is the parsed output (null if none), error its "error" object, and
    // message the program's own words for a failure.
    tarvelle.run = function (args) {
        return spawn(["tarvelle-cli", "--json"].concat(args), { superuser: "try" }).then(run => {
            let out = null;
            try {
                out = JSON.parse(run.data);
            } catch (e) {
                out = null;
            }
            if (out === null || typeof out !== "object")
                out = null;
            const error = out && out.error && typeof out.error === "object" ? out.error : null;
            let message = error ? String(error.message) : run.message;
            if (run.problem === "not-found")
                message = "tarvelle-cli was not found: install the tarvelle-cli package.";
            else if (!message && run.exit !== 0 && run.exit !== 5)
                message = "tarvelle-cli failed (" + (run.problem || "exit " + run.exit) + ").";
            return {
                exit: run.exit,
                out,
                error,
                message,
                noRights: run.problem === "access-denied" || NO_RIGHTS.test(message),
            };
        });
    };

    // The boot unit's instance for a port: its path below /dev, escaped as
    // systemd-escape does. A test's fake device folder ends in "dev" too.
    tarvelle.bootUnit = function (port) {
        const below = /^.*\/dev\/(.+)$/.exec(port);
        if (!below)
            return Promise.resolve({ unit: null, why: "the port is not under /dev" });
        return spawn(["systemd-escape", "--", below[1]], {}).then(run => {
            const instance = run.data.trim();
            if (run.exit !== 0 || !instance)
                return { unit: null, why: run.message || "systemd-escape did not answer" };
            return { unit: "tarvelle-reapply@" + instance + ".service", why: "" };
        });
    };

    // What `systemctl is-enabled` says of a unit ("enabled", "disabled",
    // "static"...), or null with why when it cannot tell.
    tarvelle.unitState = function (unit) {
        return spawn(["systemctl", "is-enabled", "--", unit], {}).then(run => {
            const said = run.data.trim();
            if (/^[a-z-]+$/.test(said))
                return { state: said, why: "" };
            return { state: null, why: run.message || run.problem || "systemctl did not answer" };
        });
    };

    // systemctl enable or disable; resolves to {ok, message, noRights}.
    tarvelle.setUnit = function (unit, enable) {
        return spawn(["systemctl", enable ? "enable" : "disable", "--", unit], { superuser: "try" })
            .then(run => ({
                ok: run.exit === 0,
                message: run.message || run.problem || "",
                noRights: run.problem === "access-denied" || NO_RIGHTS.test(run.message),
            }));
    };
}());
