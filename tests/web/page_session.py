# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in chromium and WebKitGTK's MiniBrowser through their WebDriver servers and in
firefox-esr over WebDriver BiDi: a bridge to an engine only carries the commands, and what the
page tests and the timing ask of a browser is written once, in Browser. Also the site served."""

import contextlib
import functools
import glob
import http.server
import json
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
FIREFOX = "/usr/bin/firefox-esr"
WEBKIT_DRIVER = "/usr/bin/WebKitWebDriver"
MINIBROWSER = (glob.glob("/usr/lib/*/webkit2gtk-4.1/MiniBrowser") or ["MiniBrowser"])[0]
# Each engine's programs (make test installs their packages).
NEEDS = {"chromium": [CHROMIUM, CHROMEDRIVER], "firefox": [FIREFOX],
         "webkit": [WEBKIT_DRIVER, MINIBROWSER, "/usr/bin/Xvfb"]}
WIDTH, HEIGHT = 640, 720  # the window, in CSS pixels: room for the page's window unscaled


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(site, port=0):
    """The page's address on `port` of 127.0.0.1, or a free one (the same port, the same origin)."""
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", port), functools.partial(_QuietHandler, directory=str(site)))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        yield f"http://127.0.0.1:{server.server_address[1]}/index.html"
    finally:
        server.shutdown()
        server.server_close()


def lighthouse(lighthouse_cli, url, categories):
    """Lighthouse's scores (0 to 1) by category, with its mobile defaults, on Debian's chromium."""
    report = subprocess.run(["node", lighthouse_cli, url, "--quiet", "--output=json",
                             f"--only-categories={','.join(categories)}",
                             "--chrome-flags=--headless=new --no-sandbox"],
                            env={**os.environ, "CHROME_PATH": CHROMIUM}, timeout=240, check=True,
                            stdout=subprocess.PIPE).stdout
    return {name: c["score"] for name, c in json.loads(report)["categories"].items()}


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _until(attempt, what, timeout=30, poll=0.1):
    """attempt()'s first true value, tried every `poll` s for `timeout` s (OSError: not yet)."""
    deadline = time.monotonic() + timeout
    while True:
        with contextlib.suppress(OSError):
            value = attempt()
            if value:
                return value
        if time.monotonic() > deadline:
            raise AssertionError(f"no answer in {timeout} s from {what}")
        time.sleep(poll)


class _Bridge:
    """The processes behind a browser, ended last to first however far its start got; `root`,
    the last, is the browser if `own`, else its driver."""

    def __init__(self):
        self.processes = []

    def spawn(self, command, env=None, **options):
        self.processes.append(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL, **options))
        self.root = self.processes[-1].pid

    def close(self):
        with contextlib.suppress(Exception):
            self.leave()
        for process in reversed(self.processes):
            process.terminate()
            process.wait(20)


class _WebDriver(_Bridge):
    """A browser behind a WebDriver server, over HTTP; its processes are the server's children."""

    own = False

    def connect(self, server, capabilities, env=None):
        port = _free_port()
        self.spawn([server, f"--port={port}"], env)
        self.base = f"http://127.0.0.1:{port}"
        _until(lambda: self.send("GET", "/status"), server)
        self.base += "/session/" + self.send("POST", "/session", {
            "capabilities": {"alwaysMatch": capabilities}})["sessionId"]

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

    def leave(self):
        self.send("DELETE", "")


class Chromium(_WebDriver):
    def start(self, ratio, profile):
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--disable-component-update", f"--user-data-dir={profile}",
                 f"--force-device-scale-factor={ratio}", f"--window-size={WIDTH},{HEIGHT}"]
        self.connect(CHROMEDRIVER, {"browserName": "chrome", "goog:chromeOptions": {
            "binary": CHROMIUM, "args": flags}, "goog:loggingPrefs": {"browser": "ALL"}})

    def errors(self):
        return [e["message"] for e in self.send("POST", "/se/log", {"type": "browser"})
                if e["level"] == "SEVERE"]

    def cdp(self, command, **parameters):
        return self.send("POST", "/goog/cdp/execute", {"cmd": command, "params": parameters})


class WebKit(_WebDriver):
    """MiniBrowser on an X server of its own, its device pixel ratio GDK_SCALE's. Its driver
    passes on nothing of the console: a listener put into a page once it has loaded catches its
    errors (one while it loads goes unseen)."""

    CATCH = ("if (!window.caught) { window.caught = [];"
             " addEventListener('error', (e) => caught.push(String(e.message)));"
             " addEventListener('unhandledrejection', (e) => caught.push(String(e.reason)));"
             " const error = console.error;"
             " console.error = (...a) => { caught.push(a.join(' ')); error(...a); }; }")

    def start(self, ratio, profile):
        read, write = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp",
                    "-screen", "0", "1600x1600x24"], pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as f:
            display = ":" + f.readline().strip()
        env = {**os.environ, "DISPLAY": display, "GDK_SCALE": str(int(ratio)),
               "GDK_BACKEND": "x11", "WAYLAND_DISPLAY": ""}
        # No user namespaces for its sandbox as root in a container.
        env.setdefault("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1")
        self.connect(WEBKIT_DRIVER, {"webkitgtk:browserOptions": {
            "binary": MINIBROWSER, "args": ["--automation"]}}, env)
        self.send("POST", "/window/rect", {"width": WIDTH, "height": HEIGHT})

    def navigate(self, url):
        super().navigate(url)
        self.call(self.CATCH, [])

    def errors(self):
        return self.call("return window.caught ? caught.splice(0) : [];", [])


class Firefox(_Bridge):
    """firefox-esr over WebDriver BiDi; its device pixel ratio is its profile's."""

    own = True

    def start(self, ratio, profile):
        import websocket  # python3-websocket
        with open(os.path.join(profile, "user.js"), "w", encoding="utf-8") as f:
            f.write(f'user_pref("layout.css.devPixelsPerPx", "{ratio}");\n')
        port = _free_port()
        self.spawn([FIREFOX, "--headless", "--no-remote", "--profile", profile,
                    f"--remote-debugging-port={port}"])
        self.socket = _until(lambda: websocket.create_connection(
            f"ws://127.0.0.1:{port}/session", timeout=120, suppress_origin=True), FIREFOX)
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
        """The value comes back as JSON, so that it is Python's as it is for WebDriver."""
        result = self.command(
            "script.callFunction", target={"context": self.context}, awaitPromise=True,
            functionDeclaration="async function() { return JSON.stringify(await (function() {"
            f" {body} }}).apply(this, {json.dumps(list(args))})); }}")
        if result["type"] == "exception":
            raise RuntimeError(result["exceptionDetails"]["text"])
        return json.loads(result["result"].get("value", "null"))

    def perform(self, actions):
        self.command("input.performActions", context=self.context, actions=actions)
        self.command("input.releaseActions", context=self.context)

    def errors(self):
        self.command("session.status")  # so that every event before it has come
        errors, self.logged = self.logged, []
        return errors

    def leave(self):
        self.command("browser.close")
        self.processes[0].wait(20)


ENGINES = {"chromium": Chromium, "firefox": Firefox, "webkit": WebKit}
# The keys WebDriver names by a code of its own.
KEYS = {"Enter": "\ue007", "Escape": "\ue00c", "ArrowUp": "\ue013", "ArrowDown": "\ue015",
        "Alt": "\ue00a", "Space": "\ue00d"}


class Browser:
    """A browser of `engine` at a device pixel ratio, with a profile of its own while it lasts."""

    def __init__(self, engine, ratio=1):
        self.engine = engine
        self.profile = tempfile.mkdtemp(prefix=f"rotavel-{engine}-")
        self.bridge = ENGINES[engine]()
        try:
            self.bridge.start(ratio, self.profile)
        except BaseException:  # nothing left behind by a start that failed
            self.close()
            raise

    def close(self):
        self.bridge.close()
        shutil.rmtree(self.profile, ignore_errors=True)

    def errors(self):
        """The console's errors since the last call, uncaught exceptions included."""
        return self.bridge.errors()

    def js(self, body, *args):
        """The value of the function body `body` given `args`, or of the promise it returns."""
        return self.bridge.call(body, args)

    def open(self, url):
        """Loads the page and waits until its rotor has started (or said why it cannot)."""
        self.bridge.navigate(url)
        self.wait_for("document.body.classList.contains('ready')", timeout=30)

    def wait_for(self, condition, timeout=10.0, poll=0.02):
        """The script expression `condition`'s value once it is true."""
        return _until(lambda: self.js(f"return ({condition});"), condition, timeout, poll)

    def click(self, element_id, pointer="mouse", times=1):
        """The mouse's press and release (or a finger's tap: pointer "touch"), `times` over, on
        the middle of the element."""
        x, y = self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                       "return [r.left + r.width / 2, r.top + r.height / 2].map(Math.round);",
                       element_id)
        press = [{"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]
        self.bridge.perform([{"type": "pointer", "id": pointer, "parameters": {
            "pointerType": pointer}, "actions": [
                {"type": "pointerMove", "x": x, "y": y, "origin": "viewport"}, *press * times]}])

    def keys(self, *names):
        """Each key named (see KEYS) pressed and let go, to whatever has the focus."""
        self.bridge.perform([{"type": "key", "id": "keyboard", "actions": [
            {"type": t, "value": KEYS[name]} for name in names for t in ("keyDown", "keyUp")]}])

    def animation_frames(self):
        """Waits two animation frames, so that whatever was due to reach the canvas has."""
        self.js("return new Promise((done) => requestAnimationFrame(() => requestAnimationFrame("
                "done)));")

    def last_run(self):
        """The page's own measure of its last whole run: its counts and `seconds`."""
        return self.js("const runs = performance.getEntriesByName('rotavel run');"
                       "return runs.length ? {...runs[runs.length - 1].detail,"
                       " seconds: runs[runs.length - 1].duration / 1000} : null;")

    def audit(self, axe_script):
        """axe-core's violations on the page as it stands: rule, help and elements found."""
        if not self.js("return typeof axe !== 'undefined';"):
            with open(axe_script, encoding="utf-8") as f:
                self.js(f.read())
        # Nothing fetched: a page opened from a disk may fetch nothing.
        found = self.js("return axe.run(document, {preload: false}).then((r) => r.violations);")
        return [(v["id"], v["help"], [n["target"] for n in v["nodes"]]) for v in found]

    # Chromium's alone, through DevTools: touch screens.

    def emulate(self, width, height, ratio, landscape=False):
        """A touch screen of `width` x `height` CSS pixels at `ratio`, upright or on its side."""
        width, height = sorted((width, height), reverse=landscape)
        self.bridge.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height,
                        deviceScaleFactor=ratio, mobile=True)
        self.bridge.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
