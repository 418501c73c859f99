# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in Debian's headless chromium, driven through chromium-driver: a local server for the
built site, a browser with an empty profile and no network use of its own, and the few things the
page tests and the timing script ask of it, DevTools' device emulation, touch, network and
installability checks and the accessibility audit among them."""

import base64
import contextlib
import functools
import http.server
import io
import json
import shutil
import tempfile
import threading
import time

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(site, port=0):
    """The site on `port` of 127.0.0.1, or a free one; yields the page's address. The same port
    again is the same origin, with the service worker and the caches it left."""
    handler = functools.partial(_QuietHandler, directory=str(site))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield f"http://127.0.0.1:{server.server_address[1]}/index.html"
    finally:
        server.shutdown()
        server.server_close()


class Browser:
    """One headless chromium at a device pixel ratio, with a profile of its own thrown away at the
    end."""

    def __init__(self, ratio=1):
        self.profile = tempfile.mkdtemp(prefix="rotavel-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={self.profile}", f"--force-device-scale-factor={ratio}",
                     "--window-size=640,720"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        try:
            self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        except Exception:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, url):
        """Loads the page and waits until its rotor has started; returns the console's messages up
        to then."""
        self.driver.get(url)
        self.wait_for("document.body.classList.contains('ready')", timeout=30)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_for(self, condition, timeout=10.0, poll=0.02):
        """Waits until the script expression `condition` is truthy; returns its value."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.js(f"return ({condition});")
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out after {timeout} s waiting for {condition}")
            time.sleep(poll)

    def console_errors(self):
        """The console's errors since the last call (uncaught exceptions included)."""
        return [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]

    def canvas(self):
        """The drawing area's pixels as an RGB image, at the canvas's own resolution."""
        url = self.js("return document.getElementById('Picture1').toDataURL('image/png');")
        data = base64.b64decode(url.split(",", 1)[1])
        return Image.open(io.BytesIO(data)).convert("RGB")

    def cdp(self, command, **parameters):
        return self.driver.execute_cdp_cmd(command, parameters)

    def emulate(self, width, height, ratio, landscape=False):
        """A touch screen of `width` x `height` CSS pixels, held upright or on its side, at device
        pixel ratio `ratio`, as DevTools' device emulation gives it."""
        short, long = sorted((width, height))
        width, height = (long, short) if landscape else (short, long)
        orientation = ({"type": "landscapePrimary", "angle": 90} if landscape else
                       {"type": "portraitPrimary", "angle": 0})
        self.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height,
                 deviceScaleFactor=ratio, mobile=True, screenOrientation=orientation)
        self.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def tap(self, element_id, times=1):
        """A finger's tap (or `times` quick ones) on the middle of the element, as a touch screen
        sends it."""
        x, y = self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                       "return [r.left + r.width / 2, r.top + r.height / 2];", element_id)
        for _ in range(times):
            self.cdp("Input.dispatchTouchEvent", type="touchStart",
                     touchPoints=[{"x": x, "y": y}])
            self.cdp("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def offline(self, off=True):
        """The network off (or on again) and the browser's HTTP cache bypassed (or used again):
        what the page then gets, it gets from its service worker."""
        self.cdp("Network.enable")
        self.cdp("Network.setCacheDisabled", cacheDisabled=off)
        self.cdp("Network.emulateNetworkConditions", offline=off, latency=0,
                 downloadThroughput=-1, uploadThroughput=-1)

    def installability_errors(self):
        return self.cdp("Page.getInstallabilityErrors")["installabilityErrors"]

    def audit(self, axe_script):
        """The accessibility audit of the page as it stands: axe-core's violations, each as its
        rule, what it says and the elements it found."""
        if not self.js("return typeof axe !== 'undefined';"):
            with open(axe_script, encoding="utf-8") as f:
                self.js(f.read())
        result = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document).then((r) => done(JSON.stringify(r.violations)),"
            "                       (e) => done(JSON.stringify([{id: 'axe', help: String(e)}])));")
        return [(v["id"], v["help"], [n["target"] for n in v.get("nodes", [])])
                for v in json.loads(result)]

    def animation_frames(self, count=2):
        """Waits for `count` animation frames, so whatever was due to reach the canvas has."""
        self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1]; let n = arguments[0];"
            "const step = () => (--n <= 0 ? done() : requestAnimationFrame(step));"
            "requestAnimationFrame(step);", count)
