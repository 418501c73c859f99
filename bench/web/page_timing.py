#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page's cost in Debian's headless chromium (its full headless mode), at device pixel ratios 1
and 2: the CPU of all of chromium's processes over a whole 8-vane run and, turn about in the same
browser, over the floor page (floor.html: a timer of the page's period and an 8 x 8 canvas update
each animation frame, the browser's own share of a run), and the difference; the run's length; the
time inside ticks (the rotor's logic, which logs the picture) and canvas updates (the latest
picture drawn and put on the canvas) as the page measures them, and the renderer's main-thread
busy time from its performance metrics. Then a screenshot of the window mid-animation, from a run
of its own, and one of a phone's whole screen beside it (SCREENSHOT-phone.png).

usage: page_timing.py SITE [SCREENSHOT.png] [ROUNDS]"""

import os
import statistics
import sys
import time

# The shared helpers are read from the source tree, which nothing here writes to.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "web"))
from page_session import Browser, serve  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PERIOD_MS = 10
TICKS_A_RUN = 503
RUN_SECONDS = TICKS_A_RUN * PERIOD_MS / 1000
# How often both runs are polled for their end: the same for both, as polling costs the browser.
POLL_SECONDS = 0.05
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def chromium_cpu(browser):
    """CPU seconds of every process below the driver (chromium and all its helpers), by pid."""
    parents = {}
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue  # gone meanwhile
            parents[int(pid)] = (int(fields[1]), (int(fields[11]) + int(fields[12])) / CLOCK_TICKS)
    below, found = set(), {browser.driver.service.process.pid}
    while found:
        below |= found
        found = {pid for pid, (parent, _) in parents.items() if parent in found} - below
    below.discard(browser.driver.service.process.pid)
    return {pid: parents[pid][1] for pid in below}


def cpu_share(browser, start, done):
    """Runs `start` (a script), polls `done` until true; returns the share of one core all of
    chromium's processes used meanwhile, and the wall time."""
    before = chromium_cpu(browser)
    wall = time.monotonic()
    browser.js(start)
    browser.wait_for(done, timeout=20, poll=POLL_SECONDS)
    wall = time.monotonic() - wall
    after = chromium_cpu(browser)
    used = sum(seconds - before.get(pid, 0) for pid, seconds in after.items())
    return used / wall, wall


def metrics(browser):
    browser.driver.execute_cdp_cmd("Performance.enable", {})
    values = browser.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {m["name"]: m["value"] for m in values}


def page_run(browser, url):
    browser.open(url)
    browser.js("document.getElementById('eeight').click();")
    before = metrics(browser)
    share, wall = cpu_share(browser, "document.getElementById('Command1').click();",
                            "rotavelStats.stoppedAt > 0")
    after = metrics(browser)
    stats = browser.js("return rotavelStats;")
    stats["busy"] = (after["TaskDuration"] - before["TaskDuration"]) / wall
    stats["run"] = (stats["stoppedAt"] - stats["runStartedAt"]) / 1000
    return share, stats


def floor_run(browser, url):
    browser.driver.get(url)
    share, _ = cpu_share(browser, f"startFloor({PERIOD_MS}, {TICKS_A_RUN});", "floor.stoppedAt > 0")
    return share


def spread(values, scale=1, unit="", digits=1):
    """The median and, in brackets, the range of the rounds."""
    values = [v * scale for v in values]
    return (f"{statistics.median(values):.{digits}f}{unit} "
            f"[{min(values):.{digits}f}-{max(values):.{digits}f}]")


def measure(site, ratio, rounds):
    with serve(site) as page_url, serve(HERE) as floor_index:
        floor_url = floor_index.rsplit("/", 1)[0] + "/floor.html"
        browser = Browser(ratio)
        try:
            pages, floors, runs = [], [], []
            for _ in range(rounds):  # turn about, so a slow spell of the machine hits both
                share, stats = page_run(browser, page_url)
                pages.append(share)
                runs.append(stats)
                floors.append(floor_run(browser, floor_url))
        finally:
            browser.close()
    above = [p - f for p, f in zip(pages, floors)]
    print(f"ratio {ratio:g}, 8 vanes, {rounds} whole runs, each beside the floor page")
    print(f"  chromium CPU  page {spread(pages, 100, ' %')}, floor {spread(floors, 100, ' %')}, "
          f"above the floor {spread(above, 100, ' %')} of a core")
    length = [s["run"] for s in runs]
    print(f"  run length    {spread(length, 1, ' s', 3)} "
          f"({(statistics.median(length) / RUN_SECONDS - 1) * 100:+.2f} % from {RUN_SECONDS:.2f} s; "
          f"{max(s['dropped'] for s in runs)} periods dropped at most)")
    print(f"  tick          mean {spread([s['tickMs'] / s['ticks'] for s in runs], 1, ' ms', 3)}, "
          f"longest {max(s['tickMaxMs'] for s in runs):.3f} ms")
    print(f"  canvas        mean {spread([s['presentMs'] / s['presents'] for s in runs], 1, ' ms', 3)}"
          f" an update, {statistics.median(s['presents'] for s in runs):.0f} updates a run")
    print(f"  main thread   busy {spread([s['busy'] for s in runs], 100, ' %')}")


def screenshot(site, path, phone=None):
    """The window 8 vanes mid-animation; with `phone` (width, height, ratio), a phone's whole screen
    held upright instead."""
    with serve(site) as url:
        browser = Browser(1)
        try:
            if phone:
                browser.emulate(*phone)
            browser.open(url)
            browser.js("document.getElementById('eeight').click();")
            browser.js("document.getElementById('Command1').click();")
            browser.wait_for("rotavelStats.ticks >= 150", timeout=10)
            browser.js("document.activeElement.blur();")
            if phone:
                browser.driver.save_screenshot(path)
            else:
                browser.driver.find_element("id", "window").screenshot(path)
        finally:
            browser.close()
    print(f"screenshot {path}")


def main():
    site = sys.argv[1]
    path = sys.argv[2] if len(sys.argv) > 2 else None
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    sizes = {name: os.path.getsize(os.path.join(site, name)) for name in ("rotavel.wasm",
                                                                          "rotavel.js")}
    print(f"rotavel.wasm {sizes['rotavel.wasm']} bytes, rotavel.js {sizes['rotavel.js']} bytes")
    for ratio in (1, 2):
        measure(site, ratio, rounds)
    if path:
        screenshot(site, path)
        screenshot(site, os.path.splitext(path)[0] + "-phone.png", (390, 844, 2))


if __name__ == "__main__":
    main()
