#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in a browser of one engine, served, from a disk and as the one file: names, layout, the
menu and Run by pointer and keyboard, a screen reader's words, the timer's pace, pictures equal to the
driver's for the same events, the audits, no console error; phones and tablets by touch (chromium),
installed and offline (chromium, firefox).

usage: page_tests.py SITE ROTOR_HEADLESS ENGINE RATIO [unittest options, such as a class to run]
ROTAVEL_NODE_MODULES names the folder npm ci filled with axe-core and Lighthouse; ROTAVEL_CMAKE
the cmake that puts the site together."""

import importlib.util
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlparse

SITE, HEADLESS, ENGINE, RATIO = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
NODE_MODULES = pathlib.Path(os.environ.get("ROTAVEL_NODE_MODULES", "node_modules"))
AXE = NODE_MODULES / "axe-core" / "axe.min.js"
LIGHTHOUSE = NODE_MODULES / "lighthouse" / "cli" / "index.js"
CMAKE = os.environ.get("ROTAVEL_CMAKE", "cmake")
HERE = pathlib.Path(__file__).resolve().parent
WEB_SOURCE = HERE.parent.parent / "web"


def skip_without(what, why):
    """Reports the tests skipped (status 77, as ctest is told) when a part they need is missing."""
    if not what:
        print(f"SKIP: {why}")
        sys.exit(77)


for module, package in (("PIL", "python3-pil"), ("websocket", "python3-websocket")):
    skip_without(importlib.util.find_spec(module), f"python3 lacks {module} (package {package})")

from PIL import Image, ImageChops  # noqa: E402

# The shared helpers are read from the source tree, which nothing here writes to.
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE))
from page_session import NEEDS, Browser, lighthouse, serve  # noqa: E402

skip_without(os.path.isfile(os.path.join(SITE, "index.html")), f"no page in {SITE} (make web)")
for program, package in NEEDS[ENGINE].items():
    skip_without(os.access(program, os.X_OK), f"{program} is missing (package {package})")
for tool in (AXE, LIGHTHOUSE):
    skip_without(tool.is_file(), f"no {tool} (npm ci beside the tests, as make test does)")

PERIOD_SECONDS = 0.01
TICKS_A_RUN = 503  # four turns
RUN_SECONDS = TICKS_A_RUN * PERIOD_SECONDS
# The page keeps 1 % in a tab of its own; a shared test machine gets a little more.
RUN_TOLERANCE = 0.02
# A stall of a shared machine drops a few periods; a page that cannot keep up drops many.
MOST_DROPPED = 50

# The menu's items and captions, in menu order.
with open(HERE.parent / "support" / "presets.tsv", encoding="utf-8") as presets:
    MENU = [tuple(line.rstrip("\n").split("\t")[:2]) for line in presets
            if line.strip() and not line.startswith("#")]


def driver_pictures(events, ratio, saves=1):
    """What rotor-headless saves after `events` (script lines) at device pixel ratio `ratio`; with
    `saves` above 1, also after each of the ticks that follow, one picture each."""
    with tempfile.TemporaryDirectory() as folder:
        paths = [os.path.join(folder, f"{n}.png") for n in range(saves)]
        lines = ["load", "activate", *events, f"save {paths[0]}"]
        for path in paths[1:]:
            lines += ["tick", f"save {path}"]
        subprocess.run([HEADLESS, "--ratio", repr(ratio)], input="\n".join(lines).encode() + b"\n",
                       check=True, stdout=subprocess.DEVNULL)
        pictures = []
        for path in paths:
            with Image.open(path) as picture:
                pictures.append(picture.convert("RGB"))
        return pictures


class Session(unittest.TestCase):
    """One browser for the tests of a class, the built site served to it, and what they share."""

    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.url = cls.server.__enter__()
        cls.browser = Browser(ENGINE, RATIO)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.__exit__(None, None, None)

    def tearDown(self):
        self.assertEqual(self.browser.console_errors(), [])

    def label(self):
        return self.browser.js("return document.getElementById('Picture1').getAttribute('aria-label');")

    def ratio(self):
        """The device pixel ratio the picture is drawn at: the screen's, times the window's scale."""
        return self.browser.js("return Number(getComputedStyle(document.getElementById('window'))"
                               ".getPropertyValue('--scale')) * devicePixelRatio;")

    def assertAccessible(self, state):
        self.assertEqual(self.browser.audit(AXE), [], f"accessibility violations {state}")

    def assertSamePicture(self, events, actual=None):
        ratio = self.ratio()
        expected = driver_pictures(events, ratio)[0]
        actual = actual or self.browser.canvas()
        self.assertEqual(actual.size, expected.size)
        difference = ImageChops.difference(actual, expected)
        box = difference.getbbox()
        if box is not None:
            differing = sum(1 for p in difference.getdata() if p != (0, 0, 0))
            kept = tempfile.mkdtemp(prefix="rotavel-page-")
            actual.save(os.path.join(kept, "page.png"))
            expected.save(os.path.join(kept, "driver.png"))
            self.fail(f"{differing} pixels differ within {box} at ratio {ratio!r} in {ENGINE} for "
                      f"{events}; both pictures are in {kept}")

    def choose(self, item):
        """The menu item `item` chosen by pointer."""
        self.browser.click("mmain")
        self.browser.click(item)

    def run_to_the_end(self, vanes, before=(), midway=None):
        """Waits for the run under way to end: roughly a frame an animation frame, then a picture that
        stays and is the driver's after `before`, Run and a whole run; with `midway` (the page's
        clock at Run), a frame from the middle of the run is one of the driver's too. The pace is
        assertPace's, at the test's end, so that a slow machine still has its pictures compared."""
        b = self.browser
        b.wait_for("document.getElementById('Picture1').ariaLabel.endsWith('turning')", timeout=2)
        self.assertEqual(self.label(), f"{vanes}, turning")
        if midway is not None:
            b.wait_for(f"performance.now() - {midway} > 1500", timeout=5)
            url, elapsed = b.js("return [document.getElementById('Picture1').toDataURL(),"
                                f" performance.now() - {midway}];")
        self.run = b.wait_for("performance.getEntriesByName('rotavel run').length > 0 &&"
                              " document.getElementById('Picture1').ariaLabel.endsWith('stopped')",
                              timeout=RUN_SECONDS * 3) and b.last_run()
        self.assertEqual(self.run["ticks"], TICKS_A_RUN)
        # Roughly one canvas update per animation frame, not one per tick.
        self.assertLess(self.run["presents"], self.run["ticks"])
        self.assertEqual(self.label(), f"{vanes}, stopped")
        b.animation_frames()
        last = b.canvas()
        b.js("return new Promise((done) => setTimeout(done, 100));")
        b.animation_frames()
        self.assertIsNone(ImageChops.difference(b.canvas(), last).getbbox())
        self.assertSamePicture([*before, "run", f"tick {TICKS_A_RUN}"], last)
        if midway is not None:  # the frame its time allowed, or one the periods dropped held back
            latest = int(elapsed / 1000 / PERIOD_SECONDS) + 1
            first = max(0, latest - MOST_DROPPED)
            frames = driver_pictures([*before, "run", f"tick {first}"], self.ratio(),
                                     latest - first + 1)
            frame = b.canvas(url).tobytes()
            self.assertTrue(any(frame == p.tobytes() for p in frames),
                            f"the frame {elapsed:.0f} ms into the run is none of the driver's")


class Page(Session):
    """The page on a desktop's screen at the test's device pixel ratio: served, opened from a disk,
    and as the one file."""

    def assertPace(self):
        """The ticks keep to the 10 ms grid: the run lasts the periods that passed, ticked or
        dropped, so a timer that drifts fails even when a busy machine dropped a few."""
        self.assertAlmostEqual(self.run["seconds"],
                               RUN_SECONDS + self.run["dropped"] * PERIOD_SECONDS,
                               delta=RUN_SECONDS * RUN_TOLERANCE,
                               msg=f"{self.run['dropped']} periods dropped")
        self.assertLessEqual(self.run["dropped"], MOST_DROPPED,
                             "the page does not keep up with its timer")

    def test_served_names_layout_and_the_picture_before_any_run(self):
        b = self.browser
        b.open(self.url)
        layout = b.js("""
            const $ = (id) => document.getElementById(id);
            const form = $('Form1').getBoundingClientRect();
            const at = (e) => { const r = e.getBoundingClientRect();
                                return [r.left - form.left, r.top - form.top, r.width, r.height]; };
            const run = $('Command1'), canvas = $('Picture1'), role = (e) => e.getAttribute('role');
            const colour = (e) => getComputedStyle(e).backgroundColor;
            return [document.title, form.width, form.height, colour($('Form1')),
                    ...at(run), run.tagName, run.textContent, colour(run),
                    document.elementFromPoint(form.left + 19, form.top + 11) === run,
                    at(canvas)[0] + canvas.clientLeft, at(canvas)[1] + canvas.clientTop,
                    canvas.clientWidth, canvas.clientHeight, canvas.tagName, canvas.width,
                    canvas.height, role(canvas),
                    document.querySelector('[role=menubar]').contains($('mmain')),
                    $('mmain').textContent, role($('mmain')), role($('mmain-items')),
                    Array.from($('mmain-items').children,
                               (e) => [e.id, e.textContent, role(e)])];""")
        side = int(-(-448 * RATIO // 1)), int(-(-426 * RATIO // 1))
        self.assertEqual(layout, [
            "Rotavel Motion", 455, 427, "rgb(224, 224, 224)",
            16, 8, 57, 33, "BUTTON", "Run", "rgb(255, 255, 255)", True,
            2, 2, 448, 426, "CANVAS", *side, "img",
            True, "Choose #Vanes", "menuitem", "menu", [[i, c, "menuitem"] for i, c in MENU]])
        self.assertEqual(self.label(), "2 vanes, stopped")
        self.assertSamePicture([])  # the background alone
        self.assertAccessible("at rest")

    def test_from_a_disk_the_menu_and_run_by_keyboard(self):
        b = self.browser
        b.open((pathlib.Path(SITE) / "index.html").resolve().as_uri())
        self.assertEqual(b.focused(), "Command1")
        # Alt alone reaches the menu bar; ArrowDown opens it on the first item, and Escape closes
        # it without choosing; ArrowUp opens it on the last, and the arrows go round and back.
        b.keys("Alt")
        self.assertEqual(b.focused(), "mmain")
        b.keys("ArrowDown")
        self.assertEqual(b.focused(), MENU[0][0])
        self.assertAccessible("with the menu open")
        b.keys("Escape")
        self.assertEqual(b.js("return [document.activeElement.id,"
                              " document.getElementById('mmain-items').hidden];"), ["mmain", True])
        self.assertEqual(self.label(), "2 vanes, stopped")
        b.keys("ArrowUp", "ArrowDown", "ArrowUp")
        self.assertEqual(b.focused(), "eeight")
        # Enter chooses, and the focus is back on Run, where it was before the menu bar took it.
        b.keys("Enter")
        self.assertEqual(b.js("return [document.activeElement.id,"
                              " document.getElementById('mmain-items').hidden];"),
                         ["Command1", True])
        self.assertEqual(self.label(), "8 vanes, stopped")
        started = b.js("return performance.now();")
        # Firefox's remote keys reach the button but never press it: there the pointer does.
        b.click("Command1") if ENGINE == "firefox" else b.keys("Space")
        self.run_to_the_end("8 vanes", ["menu eeight"], midway=started)
        # Stopped, a preset changes the rotor and what a reader hears, never the picture.
        before = b.canvas()
        self.choose("tthree")
        b.animation_frames()
        self.assertEqual(self.label(), "3 vanes, stopped")
        self.assertIsNone(ImageChops.difference(b.canvas(), before).getbbox())
        self.assertPace()

    def test_the_one_file_by_pointer_with_nothing_else_fetched(self):
        b = self.browser
        b.open((pathlib.Path(SITE) / "rotavel-motion.html").resolve().as_uri())
        for item in ("eeight", "oone"):
            self.choose(item)
        b.click("Command1")
        self.run_to_the_end("1 vane", ["menu eeight", "menu oone"])
        self.assertEqual(b.js("return performance.getEntriesByType('resource').length;"), 0)
        self.assertPace()

    def test_from_a_disk_without_its_module_says_what_to_do(self):
        with tempfile.TemporaryDirectory() as folder:
            site = shutil.copytree(SITE, os.path.join(folder, "site"))
            os.remove(os.path.join(site, "rotavel.js"))
            self.browser.open(pathlib.Path(site, "index.html").as_uri())
            self.assertIn("Open rotavel-motion.html", self.browser.js(
                "return document.getElementById('status').textContent;"))
            self.browser.console_errors()  # the missing file, and why the rotor did not start


# Touch screens in CSS pixels and their device pixel ratios: the smallest phone the page is for, a
# phone of today, a tablet; each held upright and on its side.
SCREENS = [(320, 568, 2), (390, 844, 3), (1024, 768, 2)]


class Screens(Session):
    """Phones and a tablet in chromium's emulation, by touch alone: the window scaled down whole into
    the viewport, the picture drawn for the screen's pixels, a run ending on the driver's picture."""

    def assertFits(self, where):
        """Every control inside the viewport, nothing to scroll, no zoom, and a pixel of the picture
        for each pixel of the screen it covers."""
        self.assertEqual(self.browser.js("""
            const root = document.documentElement, canvas = document.getElementById('Picture1');
            const outside = ['window', 'mmain', 'mmain-items', 'Form1', 'Command1'].filter((id) => {
              const r = document.getElementById(id).getBoundingClientRect();
              return r.width && (r.left < 0 || r.top < 0 || r.right > root.clientWidth ||
                                 r.bottom > root.clientHeight);
            });
            const shown = canvas.getBoundingClientRect().width * canvas.clientWidth /
                          canvas.offsetWidth * devicePixelRatio;
            return [outside, root.scrollWidth > root.clientWidth, visualViewport.scale,
                    Math.abs(shown - canvas.width) < 1];"""), [[], False, 1, True], where)

    def run_by_touch(self, item, vanes, halfway):
        b = self.browser
        b.tap("mmain")
        b.wait_for("!document.getElementById('mmain-items').hidden", timeout=2)
        self.assertFits("with the menu open")
        b.tap(item)
        b.wait_for("document.getElementById('mmain-items').hidden", timeout=2)
        started = b.js("return performance.now();")
        b.tap("Command1")
        b.wait_for(f"performance.now() - {started} > 2000", timeout=5)
        halfway()
        self.run_to_the_end(vanes, [f"menu {item}"])

    def test_phones_and_a_tablet_upright_and_on_their_side(self):
        for screen in SCREENS:
            for landscape in (False, True):
                with self.subTest(screen=screen, landscape=landscape):
                    self.browser.emulate(*screen, landscape)
                    self.browser.open(self.url)
                    self.assertFits("at rest")
                    self.run_by_touch("ffive", "5 vanes", lambda: self.assertFits("in a run"))

    def test_phone_turned_in_a_run_and_its_accessibility(self):
        b = self.browser
        b.emulate(*SCREENS[1])
        b.open(self.url)
        self.assertAccessible("on a phone")
        b.tap("mmain", times=2)  # opens and closes the menu, and zooms nothing
        b.wait_for("document.getElementById('mmain-items').hidden", timeout=2)
        self.assertFits("after a double tap")

        # The window fitted again and the picture drawn anew for the new ratio, mid-run.
        def turn():
            self.assertAccessible("in the middle of a run, on a phone")
            b.emulate(*SCREENS[1], landscape=True)
            b.animation_frames()
            self.assertFits("turned in a run")

        self.run_by_touch("eeight", "8 vanes", turn)


class Offline(Session):
    """The page as an installed app (chromium: nothing found against installing it): after one
    visit it runs with no server; after a rebuild the next visit has the new build's files and
    none of the old."""

    def build_and_files(self):
        """The build index.html asks for, and the build each file it fetched came from."""
        return self.browser.js(
            "const named = (e) => new URL(e.src || e.href).searchParams.get('build');"
            "return [named(document.querySelector('script[src]')),"
            " performance.getEntriesByType('resource').map((e) => new URL(e.name))"
            ".filter((u) => u.search).map((u) => u.searchParams.get('build'))];")

    def test_installs_runs_offline_and_takes_a_rebuild_whole(self):
        b = self.browser
        with tempfile.TemporaryDirectory() as folder:
            site = shutil.copytree(SITE, os.path.join(folder, "site"))
            with serve(site) as url:
                b.open(url)
                b.wait_for("navigator.serviceWorker.controller !== null", timeout=20)
                if ENGINE == "chromium":
                    self.assertEqual(b.installability_errors(), [])
                first, _ = self.build_and_files()
                self.assertEqual(b.js("return caches.keys();"), [f"rotavel-{first}"])
            b.open(url)  # with no server
            self.choose("tthree")
            b.click("Command1")
            self.run_to_the_end("3 vanes", ["menu tthree"])

            with open(os.path.join(site, "page.css"), "a", encoding="utf-8") as f:
                f.write("\n:root { --rebuilt: yes; }\n")
            subprocess.run([CMAKE, f"-DSOURCE={WEB_SOURCE}", f"-DSITE={site}", "-P",
                            str(WEB_SOURCE / "make_site.cmake")], check=True)
            with serve(site, urlparse(url).port):
                b.open(url)
                second, fetched = self.build_and_files()
                self.assertNotEqual(second, first)
                self.assertEqual(set(fetched), {second})
                self.assertEqual(b.js("return getComputedStyle(document.documentElement)"
                                      ".getPropertyValue('--rebuilt');").strip(), "yes")
                # The old build's files are dropped once the new build's are all kept.
                b.wait_for(f"caches.keys().then((k) => k.join() === 'rotavel-{second}')",
                           timeout=20)


class Lighthouse(unittest.TestCase):
    """Lighthouse's audits of the served page (its performance is a timing: make web-timing)."""

    def test_accessibility_best_practices_and_seo(self):
        with serve(SITE) as url:
            scores = lighthouse(LIGHTHOUSE, url, ["accessibility", "best-practices", "seo"])
        self.assertEqual(scores, {"accessibility": 1, "best-practices": 1, "seo": 1})


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[5:]], verbosity=2)
