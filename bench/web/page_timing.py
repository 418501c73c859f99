#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page's cost in each engine's browser (headless chromium, headless firefox-esr, WebKitGTK's
MiniBrowser on an X server of its own), at device pixel ratios 1 and 2: the CPU of all of the
browser's processes over a whole 8-vane run and, turn about in the same browser, over the floor page
(floor.html: a timer of the page's period and a canvas patch each animation frame) twice, with an
8 x 8 patch (the browser's own share of a run) and with a patch of the page's mean changed area
(the engine's share of putting the picture on the canvas too); the run's length; the time inside
ticks and canvas updates as the page measures them; the three side by side. Then Lighthouse's
performance score for the served page, with its mobile defaults, and chromium's screenshot of the
window mid-animation, and one of a phone's whole screen beside it (SCREENSHOT-phone.png).

usage: page_timing.py SITE SCREENSHOT.png LIGHTHOUSE_CLI [ROUNDS] [ENGINE...]"""

import base64
import contextlib
import os
import statistics
import sys
import time

# The shared helpers are read from the source tree, which nothing here writes to.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "web"))
from page_session import ENGINES, Browser, lighthouse, serve  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PERIOD_MS = 10
TICKS_A_RUN = 503
# How often both runs are polled for their end: the same for both, as polling costs the browser.
POLL_SECONDS = 0.05
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def processes(browser):
    """The browser's processes: those below its WebDriver server, or the browser and those below
    it."""
    parents = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as f:
            parents[int(pid)] = int(f.read().rsplit(")", 1)[1].split()[1])
    below, found = set(), {browser.bridge.root}
    while found:
        below |= found
        found = {pid for pid, parent in parents.items() if parent in found} - below
    return below if browser.bridge.own else below - {browser.bridge.root}


def cpu_seconds(browser):
    """CPU seconds of each of the browser's processes, by pid."""
    seconds = {}
    for pid in processes(browser):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue  # gone meanwhile
        seconds[pid] = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
    return seconds


def cpu_share(browser, start, done):
    """Runs `start` (a script), polls `done` until true; returns the share of one core all of the
    browser's processes used meanwhile."""
    before = cpu_seconds(browser)
    wall = time.monotonic()
    browser.js(start)
    browser.wait_for(done, timeout=30, poll=POLL_SECONDS)
    wall = time.monotonic() - wall
    after = cpu_seconds(browser)
    return sum(seconds - before.get(pid, 0) for pid, seconds in after.items()) / wall


def page_run(browser, url):
    browser.open(url)
    browser.js("document.getElementById('mmain').click();"
               "document.getElementById('eeight').click();")
    share = cpu_share(browser, "document.getElementById('Command1').click();",
                      "performance.getEntriesByName('rotavel run').length > 0")
    return share, browser.last_run()


def floor_run(browser, url, side):
    browser.open(url)
    return cpu_share(browser, f"startFloor({PERIOD_MS}, {TICKS_A_RUN}, {side}, {side});",
                     "floor.stoppedAt > 0")


def spread(values, scale=1, digits=1):
    """The median and, in brackets, the range of the rounds."""
    values = [v * scale for v in values]
    return (f"{statistics.median(values):.{digits}f} "
            f"[{min(values):.{digits}f}-{max(values):.{digits}f}]")


def measure(site, engine, ratio, rounds):
    """One engine at one ratio: each figure's rounds, by name."""
    figures = {name: [] for name in ("page", "floor", "patch", "run", "dropped", "tick", "canvas",
                                    "side")}
    with serve(site) as page_url, serve(HERE) as floor_index:
        floor_url = floor_index.rsplit("/", 1)[0] + "/floor.html"
        browser = Browser(engine, ratio)
        try:
            for _ in range(rounds):  # turn about, so a slow spell of the machine hits both
                share, run = page_run(browser, page_url)
                side = round((run["changedPixels"] / run["presents"]) ** 0.5)
                for name, value in (("page", share), ("run", run["seconds"]),
                                    ("dropped", run["dropped"]),
                                    ("tick", run["tickMs"] / run["ticks"]),
                                    ("canvas", run["presentMs"] / run["presents"]),
                                    ("floor", floor_run(browser, floor_url, 8)),
                                    ("patch", floor_run(browser, floor_url, side)),
                                    ("side", side)):
                    figures[name].append(value)
        finally:
            browser.close()
    return figures


def report(results, rounds):
    """The engines side by side, a line a figure: medians and, in brackets, the range."""
    engines = list(results)
    lines = [("CPU of the page, % of a core", lambda f: spread(f["page"], 100)),
             ("floor, 8 x 8 patch", lambda f: spread(f["floor"], 100)),
             ("page above that floor", lambda f: spread(
                 [p - q for p, q in zip(f["page"], f["floor"])], 100)),
             ("floor, patch of the changed area", lambda f: spread(f["patch"], 100)),
             ("page above that floor", lambda f: spread(
                 [p - q for p, q in zip(f["page"], f["patch"])], 100)),
             ("changed area's side, pixels", lambda f: spread(f["side"], 1, 0)),
             ("run length, s", lambda f: spread(f["run"], 1, 3)),
             ("periods dropped (of 503)", lambda f: spread(f["dropped"], 1, 0)),
             ("tick, ms", lambda f: spread(f["tick"], 1, 3)),
             ("canvas update, ms", lambda f: spread(f["canvas"], 1, 3))]
    for ratio in (1, 2):
        print(f"\nratio {ratio}, 8 vanes, {rounds} whole runs, each beside the floor pages")
        print(f"{'':34}" + "".join(f"{e:>22}" for e in engines))
        for name, figure in lines:
            print(f"{name:34}" + "".join(f"{figure(results[e][ratio]):>22}" for e in engines))


def screenshot(site, path, phone=None):
    """The window 8 vanes mid-animation, in chromium; with `phone` (width, height, ratio), a
    phone's whole screen held upright instead."""
    with serve(site) as url:
        browser = Browser("chromium", 1)
        try:
            if phone:
                browser.emulate(*phone)
            browser.open(url)
            browser.js("document.getElementById('mmain').click();"
                       "document.getElementById('eeight').click();"
                       "document.getElementById('Command1').click();")
            time.sleep(1.6)
            browser.js("document.activeElement.blur();")
            driver = browser.bridge
            if phone:
                png = driver.send("GET", "/screenshot")
            else:
                element = driver.send("POST", "/element", {"using": "css selector",
                                                           "value": "#window"})
                png = driver.send("GET", f"/element/{next(iter(element.values()))}/screenshot")
            with open(path, "wb") as f:
                f.write(base64.b64decode(png))
        finally:
            browser.close()
    print(f"screenshot {path}")


def main():
    site, path, lighthouse_cli = sys.argv[1:4]
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    engines = sys.argv[5:] or list(ENGINES)
    size = {name: os.path.getsize(os.path.join(site, name))
            for name in ("rotavel.js", "rotavel-motion.html")}
    print(f"rotavel.js {size['rotavel.js']} bytes (the module inside), "
          f"rotavel-motion.html {size['rotavel-motion.html']} bytes")
    results = {e: {ratio: measure(site, e, ratio, rounds) for ratio in (1, 2)} for e in engines}
    report(results, rounds)
    with serve(site) as url:
        score = lighthouse(lighthouse_cli, url, ["performance"])["performance"]
    print(f"\nLighthouse performance {score * 100:.0f} (chromium, mobile defaults)")
    screenshot(site, path)
    screenshot(site, os.path.splitext(path)[0] + "-phone.png", (390, 844, 2))


if __name__ == "__main__":
    main()
