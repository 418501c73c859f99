# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in a browser of each engine Debian packages, behind one interface: headless chromium
and WebKitGTK's MiniBrowser (on an X server of its own) through their WebDriver servers, and
firefox-esr over WebDriver BiDi. A bridge to an engine only carries the commands; everything the
page tests and the timing script ask of a browser is written once, in Browser. Also a local server
for the built site."""

import base64
import contextlib
import functools
import glob
import http.server
import io
import json
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

from PIL import Image

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
FIREFOX = "/usr/bin/firefox-esr"
WEBKIT_DRIVER = "/usr/bin/WebKitWebDriver"
MINIBROWSER = (glob.glob("/usr/lib/*/webkit2gtk-4.1/MiniBrowser") or ["MiniBrowser"])[0]
# Each engine's programs and the packages that bring them.
NEEDS = {"chromium": {CHROMIUM: "chromium", CHROMEDRIVER: "chromium-driver"},
         "firefox": {FIREFOX: "firefox-esr"},
         "webkit": {WEBKIT_DRIVER: "webkitgtk-webdriver (webkit2gtk-driver before)",
                    MINIBROWSER: "libwebkit2gtk-4.1-0",
                    "/usr/bin/Xvfb": "xvfb"}}
WIDTH, HEIGHT = 640, 720  # the window, in CSS pixels: room for the page's window unscaled


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript"}

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


def lighthouse(lighthouse_cli, url, categories):
    """Lighthouse's scores (0 to 1) for the page at `url`, by category, with its mobile defaults,
    on Debian's chromium."""
    with tempfile.TemporaryDirectory() as folder:
        report = os.path.join(folder, "report.json")
        subprocess.run(["node", lighthouse_cli, url, "--quiet", "--output=json",
                        f"--output-path={report}", f"--only-categories={','.join(categories)}",
                        "--chrome-flags=--headless=new --no-sandbox"], check=True,
                       env={**os.environ, "CHROME_PATH": CHROMIUM}, timeout=240)
        with open(report, encoding="utf-8") as f:
            return {name: c["score"] for name, c in json.load(f)["categories"].items()}


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _until(attempt, what, timeout=30):
    """attempt()'s first value that is not None, tried until `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while True:
        with contextlib.suppress(OSError):
            value = attempt()
            if value is not None:
                return value
        if time.monotonic() > deadline:
            raise RuntimeError(f"{what} did not answer in {timeout} s")
        time.sleep(0.1)


def _x_server():
    """An X server of the browser's own, and its display's name."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp",
                             "-screen", "0", "1600x1600x24"], pass_fds=(write,),
                            stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        return xvfb, ":" + f.readline().strip()


class _WebDriver:
    """A browser behind a WebDriver server, over HTTP; its processes are the server's children."""

    def __init__(self, server, capabilities, env=None):
        port = _free_port()
        self.process = subprocess.Popen([*server, f"--port={port}"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        self.root, self.own = self.process.pid, False
        self.base = f"http://127.0.0.1:{port}"
        try:
            _until(lambda: self.send("GET", "/status"), server[0])
            self.base += "/session/" + self.send("POST", "/session", {
                "capabilities": {"alwaysMatch": capabilities}})["sessionId"]
        except BaseException:  # no browser left behind by a start that failed
            self.process.kill()
            self.process.wait()
            raise

    def send(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"{method} {path}: {json.load(error)['value']}") from None

    def navigate(self, url):
        self.send("POST", "/url", {"url": url})

    def call(self, body, args):
        return self.send("POST", "/execute/sync", {"script": body, "args": list(args)})

    def perform(self, actions):
        self.send("POST", "/actions", {"actions": actions})
        self.send("DELETE", "/actions")

    def close(self):
        with contextlib.suppress(Exception):
            self.send("DELETE", "")
        self.process.terminate()
        self.process.wait(10)


class Chromium(_WebDriver):
    def __init__(self, ratio):
        self.profile = tempfile.mkdtemp(prefix="rotavel-chromium-")
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 f"--user-data-dir={self.profile}", f"--force-device-scale-factor={ratio}",
                 f"--window-size={WIDTH},{HEIGHT}"]
        try:
            super().__init__([CHROMEDRIVER], {"browserName": "chrome", "goog:chromeOptions": {
                "binary": CHROMIUM, "args": flags}, "goog:loggingPrefs": {"browser": "ALL"}})
        except BaseException:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise

    def errors(self):
        return [e["message"] for e in self.send("POST", "/se/log", {"type": "browser"})
                if e["level"] == "SEVERE"]

    def cdp(self, command, **parameters):
        return self.send("POST", "/goog/cdp/execute", {"cmd": command, "params": parameters})

    def close(self):
        super().close()
        shutil.rmtree(self.profile, ignore_errors=True)


class WebKit(_WebDriver):
    """MiniBrowser on an X server of its own, its device pixel ratio GDK_SCALE's. Its driver
    passes on nothing the page writes to its console: a page's errors are caught by a listener
    put into it once it has loaded, so an error while it loads goes unseen here."""

    CATCH = ("if (!window.caught) { window.caught = [];"
             " addEventListener('error', (e) => caught.push(String(e.message)));"
             " addEventListener('unhandledrejection', (e) => caught.push(String(e.reason)));"
             " const error = console.error;"
             " console.error = (...a) => { caught.push(a.join(' ')); error(...a); }; }")

    def __init__(self, ratio):
        self.xvfb, display = _x_server()
        env = {**os.environ, "DISPLAY": display, "GDK_SCALE": str(int(ratio)),
               "GDK_BACKEND": "x11", "WAYLAND_DISPLAY": ""}
        # No user namespaces for its sandbox as root in a container.
        env.setdefault("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1")
        try:
            super().__init__([WEBKIT_DRIVER], {"webkitgtk:browserOptions": {
                "binary": MINIBROWSER, "args": ["--automation"]}}, env)
        except BaseException:
            self.xvfb.terminate()
            raise
        self.send("POST", "/window/rect", {"width": WIDTH, "height": HEIGHT})

    def navigate(self, url):
        super().navigate(url)
        self.call(self.CATCH, [])

    def errors(self):
        return self.call("return window.caught ? caught.splice(0) : [];", [])

    def close(self):
        super().close()
        self.xvfb.terminate()
        self.xvfb.wait(10)


class Firefox:
    """firefox-esr over WebDriver BiDi, with a profile of its own; its device pixel ratio is the
    profile's."""

    def __init__(self, ratio):
        import websocket  # python3-websocket
        self.profile = tempfile.mkdtemp(prefix="rotavel-firefox-")
        with open(os.path.join(self.profile, "user.js"), "w", encoding="utf-8") as f:
            f.write(f'user_pref("layout.css.devPixelsPerPx", "{ratio}");\n'
                    'user_pref("browser.shell.checkDefaultBrowser", false);\n')
        port = _free_port()
        self.process = subprocess.Popen(
            [FIREFOX, "--headless", "--no-remote", "--profile", self.profile,
             f"--remote-debugging-port={port}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.root, self.own = self.process.pid, True
        try:
            self.socket = _until(lambda: websocket.create_connection(
                f"ws://127.0.0.1:{port}/session", timeout=120, suppress_origin=True),
                "firefox-esr")
        except BaseException:  # no browser left behind by a start that failed
            self.process.kill()
            self.process.wait()
            shutil.rmtree(self.profile, ignore_errors=True)
            raise
        self.sent, self.logged = 0, []
        self.command("session.new", capabilities={})
        self.command("session.subscribe", events=["log.entryAdded"])
        self.context = self.command("browsingContext.getTree")["contexts"][0]["context"]
        self.command("browsingContext.setViewport", context=self.context,
                     viewport={"width": WIDTH, "height": HEIGHT})

    def command(self, method, **params):
        self.sent += 1
        self.socket.send(json.dumps({"id": self.sent, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("type") == "event":
                if message["params"].get("level") == "error":
                    self.logged.append(message["params"].get("text"))
            elif message.get("id") == self.sent:
                if message.get("type") == "error":
                    raise RuntimeError(f"{method}: {message['error']}: {message.get('message')}")
                return message["result"]

    def navigate(self, url):
        self.command("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def call(self, body, args):
        result = self.command(
            "script.callFunction", functionDeclaration=f"function() {{ {body} }}",
            arguments=[{"type": "number" if isinstance(a, (int, float)) else "string", "value": a}
                       for a in args],
            target={"context": self.context}, awaitPromise=True)
        if result["type"] == "exception":
            raise RuntimeError(result["exceptionDetails"]["text"])
        return _plain(result["result"])

    def perform(self, actions):
        self.command("input.performActions", context=self.context, actions=actions)
        self.command("input.releaseActions", context=self.context)

    def errors(self):
        self.command("session.status")  # so that every event before it has come
        errors, self.logged = self.logged, []
        return errors

    def close(self):
        with contextlib.suppress(Exception):
            self.command("browser.close")
        self.process.wait(20)
        shutil.rmtree(self.profile, ignore_errors=True)


def _plain(value):
    """A BiDi remote value as Python's."""
    kind, inner = value["type"], value.get("value")
    if kind == "array":
        return [_plain(v) for v in inner]
    if kind == "object":
        return {k: _plain(v) for k, v in inner}
    return None if kind in ("null", "undefined") else inner


ENGINES = {"chromium": Chromium, "firefox": Firefox, "webkit": WebKit}
# The keys WebDriver names by a code of its own.
KEYS = {"Enter": "\ue007", "Escape": "\ue00c", "ArrowUp": "\ue013", "ArrowDown": "\ue015",
        "Alt": "\ue00a", "Space": "\ue00d"}


class Browser:
    """A browser of the engine `engine` at a device pixel ratio, with a profile of its own thrown
    away at the end, and what the tests and the timing ask of it."""

    def __init__(self, engine, ratio=1):
        self.engine = engine
        self.bridge = ENGINES[engine](ratio)

    def close(self):
        self.bridge.close()

    def js(self, body, *args):
        """Runs the function body `body` (its arguments `args`); returns its value, or the value
        of the promise it returns."""
        return self.bridge.call(body, args)

    def open(self, url):
        """Loads the page and waits until its rotor has started (or said why it cannot)."""
        self.bridge.navigate(url)
        self.wait_for("document.body.classList.contains('ready')", timeout=30)

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
        return self.bridge.errors()

    def canvas(self, url=None):
        """The drawing area's pixels as an RGB image, at the canvas's own resolution; or those of
        the data address `url`, which the script took from it."""
        url = url or self.js("return document.getElementById('Picture1').toDataURL();")
        data = base64.b64decode(url.split(",", 1)[1])
        return Image.open(io.BytesIO(data)).convert("RGB")

    def middle(self, element_id):
        return self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                       "return [r.left + r.width / 2, r.top + r.height / 2].map(Math.round);",
                       element_id)

    def click(self, element_id):
        """The mouse's press and release on the middle of the element."""
        x, y = self.middle(element_id)
        self.bridge.perform([{"type": "pointer", "id": "mouse", "actions": [
            {"type": "pointerMove", "x": x, "y": y, "origin": "viewport"},
            {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}])

    def keys(self, *names):
        """Each key, by its name in KEYS, pressed and let go, to whatever has the focus."""
        actions = []
        for name in names:
            actions += [{"type": "keyDown", "value": KEYS[name]},
                        {"type": "keyUp", "value": KEYS[name]}]
        self.bridge.perform([{"type": "key", "id": "keyboard", "actions": actions}])

    def focused(self):
        return self.js("return document.activeElement.id;")

    def animation_frames(self, count=2):
        """Waits for `count` animation frames, so whatever was due to reach the canvas has."""
        self.js("let n = arguments[0]; return new Promise((done) => {"
                " const step = () => (--n <= 0 ? done() : requestAnimationFrame(step));"
                " requestAnimationFrame(step); });", count)

    def last_run(self):
        """The page's own measure of its last whole run: its length in seconds and its counts."""
        return self.js("const runs = performance.getEntriesByName('rotavel run');"
                       "return runs.length ? {...runs[runs.length - 1].detail,"
                       " seconds: runs[runs.length - 1].duration / 1000} : null;")

    def audit(self, axe_script):
        """The accessibility audit of the page as it stands: axe-core's violations, each as its
        rule, what it says and the elements it found."""
        if not self.js("return typeof axe !== 'undefined';"):
            with open(axe_script, encoding="utf-8") as f:
                self.js(f.read())
        # Nothing fetched: a page opened from a disk may fetch nothing.
        found = self.js("return axe.run(document, {preload: false})"
                        ".then((r) => JSON.stringify(r.violations));")
        return [(v["id"], v["help"], [n["target"] for n in v["nodes"]]) for v in json.loads(found)]

    # Chromium's alone, through DevTools: touch screens, and what it finds against installing.

    def emulate(self, width, height, ratio, landscape=False):
        """A touch screen of `width` x `height` CSS pixels, held upright or on its side, at device
        pixel ratio `ratio`, as DevTools' device emulation gives it."""
        short, long = sorted((width, height))
        width, height = (long, short) if landscape else (short, long)
        orientation = ({"type": "landscapePrimary", "angle": 90} if landscape else
                       {"type": "portraitPrimary", "angle": 0})
        self.bridge.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height,
                        deviceScaleFactor=ratio, mobile=True, screenOrientation=orientation)
        self.bridge.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def tap(self, element_id, times=1):
        """A finger's tap (or `times` quick ones) on the middle of the element."""
        x, y = self.middle(element_id)
        for _ in range(times):
            self.bridge.cdp("Input.dispatchTouchEvent", type="touchStart",
                            touchPoints=[{"x": x, "y": y}])
            self.bridge.cdp("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def installability_errors(self):
        return self.bridge.cdp("Page.getInstallabilityErrors")["installabilityErrors"]
