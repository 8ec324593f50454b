/* The "Modem country" page: the modems a search finds, the countries of the
 * one picked, setting one, re-applying the saved one, and the boot unit.
 * What a modem or the profile says is only ever put in as text. */
"use strict";

// The page's first line: the benchmark times the modem list from here.
const pageStarted = performance.now();

const DIALECTS = { nc: "AT*nc", gci: "AT+GCI" };
const PICTURE = /^[a-z][a-z0-9_]*$/;

const state = {
    busy: false,
    modems: [], // the scan's modems
    modem: null, // the one picked
    countries: [], // what show or set said the picked modem supports
    present: null, // its present country
    pending: null, // the country a confirmation would set
    unit: null, // its boot unit's name
    pictures: new Map(), // profile key, upper-case, to flag picture name
};

function $(id) {
    return document.getElementById(id);
}

// An element with attributes and children, strings among them made text nodes.
function el(tag, attributes, ...children) {
    const node = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes || {}))
        node.setAttribute(name, value);
    node.append(...children);
    return node;
}

function countryName(country) {
    return country ? String(country.name) : "an unknown country";
}

// The country's flag from the profile's picture name; the "unknown" flag for
// a country without one, or whose picture has no image.
function flag(country) {
    const key = country && typeof country.key === "string" ? country.key.toUpperCase() : "";
    const picture = state.pictures.get(key);
    const image = el("img", { class: "flag", alt: "", width: "36", height: "24" });
    image.src = "flags/" + (PICTURE.test(picture || "") ? picture : "unkn") + ".png";
    image.addEventListener("error", () => { image.src = "flags/unkn.png" }, { once: true });
    return image;
}

function setBusy(busy) {
    state.busy = busy;
    for (const id of ["search-again", "reapply", "confirm", "borrow-button"])
        $(id).disabled = busy;
    for (const id of ["modems", "countries"])
        $(id).setAttribute("aria-disabled", String(busy));
}

/* The two lists: Tab reaches a list, arrows, Home and End move in it, and
 * Enter, Space or a click picks the item. */
function activate(list, item) {
    for (const other of list.querySelectorAll(".active"))
        other.classList.remove("active");
    item.classList.add("active");
    list.setAttribute("aria-activedescendant", item.id);
    item.scrollIntoView({ block: "nearest" });
}

function makeListbox(list, pick) {
    const items = () => [...list.querySelectorAll("[role=option]")];
    list.addEventListener("keydown", event => {
        const all = items();
        const at = all.findIndex(item => item.id === list.getAttribute("aria-activedescendant"));
        const moves = { ArrowDown: at + 1, ArrowUp: Math.max(at - 1, 0), Home: 0, End: all.length - 1 };
        if (event.key in moves && all.length > 0) {
            activate(list, all[Math.min(moves[event.key], all.length - 1)]);
            event.preventDefault();
        } else if ((event.key === "Enter" || event.key === " ") && at >= 0) {
            pick(Number(all[at].dataset.index));
            event.preventDefault();
        }
    });
    list.addEventListener("focus", () => {
        const all = items();
        if (all.length > 0 && !list.getAttribute("aria-activedescendant"))
            activate(list, all.find(item => item.getAttribute("aria-selected") === "true") || all[0]);
    });
    list.addEventListener("click", event => {
        const item = event.target.closest("[role=option]");
        if (item && list.contains(item)) {
            activate(list, item);
            pick(Number(item.dataset.index));
        }
    });
}

function fillList(list, rows) {
    list.removeAttribute("aria-activedescendant");
    list.replaceChildren(...rows);
}

/* A failure: the program's own message, its port and step, the process that
 * holds the port and, where the program says the port may be borrowed, the
 * offer to run the command again with --borrow. */
function showProblem(run, retry) {
    const error = run.error || {};
    $("problem-text").textContent = run.message;
    const where = [];
    if (error.port)
        where.push("Port: " + error.port);
    if (error.step)
        where.push("step: " + error.step);
    $("problem-where").textContent = where.join("; ");
    const holder = error.holder && typeof error.holder === "object" ? error.holder : null;
    $("problem-holder").hidden = !holder;
    if (holder)
        $("problem-holder").textContent = "The port is held by process " + holder.pid + " (" + holder.name + ").";
    $("borrow").hidden = !(holder && holder.borrowable === true && retry);
    state.retry = retry;
    $("problem-admin").hidden = !run.noRights;
    $("problem").hidden = false;
}

function hideProblem() {
    $("problem").hidden = true;
    state.retry = null;
}

/* The search. */
function readPictures(run) {
    for (const entry of (run.out && run.out.countries) || [])
        state.pictures.set(String(entry.key).toUpperCase(), String(entry.picture));
}

function search() {
    if (state.busy)
        return Promise.resolve();
    hideProblem();
    setBusy(true);
    $("modem").hidden = true;
    $("passed-over").hidden = true;
    fillList($("modems"), []);
    $("modems").setAttribute("aria-busy", "true");
    const began = performance.now();
    const seconds = el("span", { "aria-hidden": "true" });
    $("search-state").replaceChildren("Searching for modems… ", seconds);
    const tick = () => { seconds.textContent = ((performance.now() - began) / 1000).toFixed(1) + " s" };
    tick();
    const timer = setInterval(tick, 100);
    const profile = state.pictures.size > 0 ? Promise.resolve() : tarvelle.run(["countries"]).then(readPictures);
    return Promise.all([tarvelle.run(["scan"]), profile]).then(([run]) => {
        clearInterval(timer);
        $("modems").setAttribute("aria-busy", "false");
        setBusy(false);
        showScan(run, (performance.now() - began) / 1000);
        if (!document.body.dataset.listShownMs)
            document.body.dataset.listShownMs = (performance.now() - pageStarted).toFixed(1);
    });
}

function modemRow(modem, index) {
    const row = el("li", { role: "option", id: "modem-" + index, "data-index": String(index), "aria-selected": "false" },
                   flag(modem.country),
                   el("span", { class: "country" }, countryName(modem.country)),
                   el("span", { class: "port" }, String(modem.port)),
                   el("span", { class: "ident" }, String(modem.ident)),
                   el("span", { class: "dialect" }, DIALECTS[modem.dialect] || String(modem.dialect)));
    return row;
}

const PASSED_OVER = [
    ["skipped", "Skipped", note => note.reason],
    ["unavailable", "Unavailable", note => note.reason],
    ["rejected", "Rejected", note => note.ident === null ? "answered without an identification"
        : "answered, but failed the identification test: " + note.ident],
];

function showScan(run, took) {
    const out = run.out;
    state.modems = out && Array.isArray(out.modems) ? out.modems : [];
    fillList($("modems"), state.modems.map(modemRow));
    const found = state.modems.length;
    $("search-state").textContent = found > 0
        ? "Found " + found + (found === 1 ? " modem" : " modems") + " in " + took.toFixed(1) +
          " s. Pick one to see its countries."
        : "No modem found (searched for " + took.toFixed(1) + " s).";
    const notes = [];
    for (const [kind, title, why] of PASSED_OVER) {
        for (const note of (out && out[kind]) || [])
            notes.push(el("li", { class: kind }, el("strong", {}, title + ": "), String(note.port) + ": " + String(why(note))));
    }
    $("passed-over-list").replaceChildren(...notes);
    $("passed-over").hidden = notes.length === 0;
    if (found === 0 && run.message)
        showProblem(run, null);
}

/* A modem picked: its countries. */
function pickModem(index, extra = []) {
    const modem = state.modems[index];
    if (state.busy || !modem)
        return Promise.resolve();
    hideProblem();
    for (const item of $("modems").querySelectorAll("[role=option]"))
        item.setAttribute("aria-selected", String(item.dataset.index === String(index)));
    state.modem = modem;
    state.pending = null;
    $("preview").hidden = true;
    $("result").textContent = "";
    $("modem").hidden = false;
    $("modem-title").textContent = "Countries of " + modem.port;
    $("modem-facts").textContent = String(modem.ident) + " (" + (DIALECTS[modem.dialect] || modem.dialect) + ")";
    fillList($("countries"), []);
    $("result").textContent = "Reading the modem…";
    setBusy(true);
    showBootUnit(modem.port);
    return tarvelle.run(["show", "--port", modem.port].concat(extra)).then(run => {
        setBusy(false);
        $("result").textContent = "";
        if (run.exit !== 0 || !run.out)
            return showProblem(run, more => pickModem(index, more));
        showCountries(run.out.supported, run.out.country);
    });
}

function countryRow(country, index) {
    const present = isPresent(country);
    const row = el("li", { role: "option", id: "country-" + index, "data-index": String(index), "aria-selected": String(present) },
                   flag(country), el("span", { class: "country" }, countryName(country)));
    if (present)
        row.append(el("span", { class: "present" }, "set now"));
    if (country.key === null)
        row.setAttribute("aria-disabled", "true");
    return row;
}

function isPresent(country) {
    const present = state.present;
    return !!present && present.code === country.code && present.key === country.key;
}

function showCountries(supported, present) {
    state.countries = Array.isArray(supported) ? supported : [];
    state.present = present || null;
    state.modem.country = state.present;
    fillList($("countries"), state.countries.map(countryRow));
    const index = state.modems.indexOf(state.modem);
    const row = $("modem-" + index);
    if (row)
        row.replaceWith(Object.assign(modemRow(state.modem, index), { className: row.className }));
    $("modem-" + index).setAttribute("aria-selected", "true");
}

/* Setting a country: what would change first, then the change on confirmation. */
function pickCountry(index, extra = []) {
    const country = state.countries[index];
    if (state.busy || !country || country.key === null)
        return Promise.resolve();
    hideProblem();
    $("preview").hidden = true;
    $("result").textContent = "Checking…";
    setBusy(true);
    const port = state.modem.port;
    return tarvelle.run(["--check", "set", "--key", country.key, "--port", port].concat(extra)).then(run => {
        setBusy(false);
        $("result").textContent = "";
        if (run.exit === 0 && run.out) {
            $("result").textContent = "Nothing to change: the modem is set to " + countryName(run.out.country) +
                ", and that is the saved choice.";
        } else if (run.exit === 5 && run.out) {
            state.pending = { key: country.key, port };
            $("preview-text").textContent = countryName(run.out.before) + " → " + countryName(run.out.country);
            $("preview").hidden = false;
            $("confirm").focus();
        } else {
            showProblem(run, more => pickCountry(index, more));
        }
    });
}

function confirmSet(extra = []) {
    const pending = state.pending;
    if (state.busy || !pending)
        return Promise.resolve();
    const confirmed = performance.now();
    hideProblem();
    $("preview").hidden = true;
    $("result").textContent = "Setting the country…";
    setBusy(true);
    return tarvelle.run(["set", "--key", pending.key, "--port", pending.port].concat(extra)).then(run => {
        setBusy(false);
        state.pending = null;
        $("result").textContent = "";
        if (run.exit !== 0 || !run.out) {
            state.pending = pending;
            return showProblem(run, more => confirmSet(more));
        }
        showCountries(run.out.supported, run.out.country);
        $("result").textContent = "The modem is now set to " + countryName(run.out.country) + ", as read back from it.";
        document.body.dataset.setShownMs = (performance.now() - confirmed).toFixed(1);
    });
}

function reapply(extra = []) {
    if (state.busy || !state.modem)
        return Promise.resolve();
    hideProblem();
    $("result").textContent = "Re-applying the saved country…";
    setBusy(true);
    return tarvelle.run(["reapply", "--port", state.modem.port].concat(extra)).then(run => {
        setBusy(false);
        $("result").textContent = "";
        if (run.exit !== 0 || !run.out)
            return showProblem(run, more => reapply(more));
        showCountries(run.out.supported, run.out.country);
        $("result").textContent = run.out.changed
            ? "Set again to the saved country, " + countryName(run.out.country) + ", as read back from the modem."
            : "The modem is already set to the saved country, " + countryName(run.out.country) + ".";
    });
}

/* The boot unit: what systemctl says of it, or that there is no telling. */
function showBootUnit(port) {
    const toggle = $("boot-switch");
    toggle.disabled = true;
    toggle.checked = false;
    $("boot-state").textContent = "Asking systemd…";
    const asked = state.unitAsked = {};
    return tarvelle.bootUnit(port)
        .then(boot => boot.unit ? tarvelle.unitState(boot.unit).then(said => Object.assign(boot, said)) : boot)
        .catch(e => ({ unit: null, why: String(e) }))
        .then(boot => {
            if (state.unitAsked !== asked)
                return;
            state.unit = boot.unit;
            if (!boot.state) {
                $("boot-state").textContent = "Cannot tell whether " + (boot.unit || "the boot unit") +
                    " is enabled: " + boot.why;
                return;
            }
            $("boot-state").textContent = boot.unit + " is " + boot.state + ".";
            toggle.checked = /^enabled/.test(boot.state);
            toggle.disabled = !/^(enabled|disabled)/.test(boot.state);
        });
}

function switchBootUnit() {
    const unit = state.unit;
    const enable = $("boot-switch").checked;
    hideProblem();
    $("boot-switch").disabled = true;
    $("boot-state").textContent = (enable ? "Enabling " : "Disabling ") + unit + "…";
    return tarvelle.setUnit(unit, enable).then(done => {
        if (!done.ok)
            showProblem({ message: done.message, noRights: done.noRights }, null);
        return showBootUnit(state.modem.port);
    });
}

function start() {
    makeListbox($("modems"), index => pickModem(index));
    makeListbox($("countries"), index => pickCountry(index));
    $("search-again").addEventListener("click", search);
    $("confirm").addEventListener("click", () => confirmSet());
    $("cancel").addEventListener("click", () => {
        state.pending = null;
        $("preview").hidden = true;
        $("countries").focus();
    });
    $("reapply").addEventListener("click", () => reapply());
    $("borrow-button").addEventListener("click", () => state.retry && state.retry(["--borrow"]));
    $("boot-switch").addEventListener("change", switchBootUnit);
    search();
}

document.addEventListener("DOMContentLoaded", start);
