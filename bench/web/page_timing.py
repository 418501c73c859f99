#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page's cost in Debian's headless chromium, from the browser's own clocks: a whole 8-vane run,
the time inside ticks and canvas updates as the page measures them, and the renderer's main-thread
busy time from its performance metrics; a screenshot of the window mid-animation on the way, and
one of a phone's whole screen beside it (SCREENSHOT-phone.png).

usage: page_timing.py SITE [SCREENSHOT.png] [RATIO]"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "web"))
from page_session import Browser, serve  # noqa: E402


def metrics(browser):
    browser.driver.execute_cdp_cmd("Performance.enable", {})
    values = browser.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {m["name"]: m["value"] for m in values}


def phone_screenshot(url, path, width=390, height=844, ratio=2):
    """The whole screen of a phone held upright, 8 vanes mid-animation."""
    browser = Browser()
    try:
        browser.emulate(width, height, ratio)
        browser.open(url)
        browser.js("document.getElementById('eeight').click();"
                   "document.getElementById('Command1').click();")
        browser.wait_for("rotavelStats.ticks >= 150", timeout=10)
        browser.js("document.activeElement.blur();")
        browser.driver.save_screenshot(path)
    finally:
        browser.close()


def main():
    site = sys.argv[1]
    screenshot = sys.argv[2] if len(sys.argv) > 2 else None
    ratio = float(sys.argv[3]) if len(sys.argv) > 3 else 1
    with serve(site) as url:
        browser = Browser(ratio)
        try:
            browser.open(url)
            browser.js("document.getElementById('eeight').click();")
            before = metrics(browser)
            wall = time.monotonic()
            browser.js("document.getElementById('Command1').click();")
            if screenshot:
                browser.wait_for("rotavelStats.ticks >= 150", timeout=10)
                browser.js("document.activeElement.blur();")
                browser.driver.find_element("id", "window").screenshot(screenshot)
            browser.wait_for("rotavelStats.stoppedAt > 0", timeout=20, poll=0.05)
            after = metrics(browser)
            wall = time.monotonic() - wall
            stats = browser.js("return rotavelStats;")
            sizes = {name: os.path.getsize(os.path.join(site, name))
                     for name in ("rotavel.wasm", "rotavel.js")}
        finally:
            browser.close()
        if screenshot:
            phone_screenshot(url, os.path.splitext(screenshot)[0] + "-phone.png")

    run = (stats["stoppedAt"] - stats["runStartedAt"]) / 1000
    busy = after["TaskDuration"] - before["TaskDuration"]
    script = after["ScriptDuration"] - before["ScriptDuration"]
    print(f"ratio {ratio:g}, 8 vanes, one whole run")
    print(f"  rotavel.wasm {sizes['rotavel.wasm']} bytes, rotavel.js {sizes['rotavel.js']} bytes")
    print(f"  run length   {run:.4f} s ({stats['ticks']} ticks, {stats['dropped']} periods dropped; {(run / 5.03 - 1) * 100:+.2f} % "
          f"from 5.03 s)")
    print(f"  tick         mean {stats['tickMs'] / stats['ticks']:.3f} ms, "
          f"longest {stats['tickMaxMs']:.3f} ms")
    print(f"  canvas       {stats['presents']} updates, mean "
          f"{stats['presentMs'] / stats['presents']:.3f} ms, longest {stats['presentMaxMs']:.3f} ms")
    print(f"  main thread  busy {busy:.3f} s of {wall:.3f} s ({busy / wall * 100:.1f} %), "
          f"script {script:.3f} s")
    if screenshot:
        print(f"  screenshot   {screenshot}")


if __name__ == "__main__":
    main()
