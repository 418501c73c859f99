#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in a browser of one engine: names, layout, the menu and Run by keyboard, pointer and
touch, a screen reader's words, the timer's pace, pictures equal to the driver's, the audits, no
console error; served, from a disk, as the one file, on phones, installed and offline.

usage: page_tests.py SITE ROTOR_HEADLESS ENGINE RATIO [classes], with ROTAVEL_NODE_MODULES (where
npm ci put axe-core and Lighthouse) and ROTAVEL_CMAKE (the cmake that puts the site together)."""

import contextlib
import importlib.util
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlparse
from urllib.request import urlopen

SITE, HEADLESS, ENGINE, RATIO = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
NODE_MODULES = pathlib.Path(os.environ.get("ROTAVEL_NODE_MODULES", "node_modules"))
AXE = NODE_MODULES / "axe-core" / "axe.min.js"
LIGHTHOUSE = NODE_MODULES / "lighthouse" / "cli" / "index.js"
HERE = pathlib.Path(__file__).resolve().parent
# The shared helpers are read from the source tree, which nothing here writes to.
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE))
from page_session import NEEDS, Browser, lighthouse, serve  # noqa: E402

# Without a part the tests need they report themselves skipped (status 77, as ctest is told).
PARTS = {f"page in {SITE} (make web)": os.path.isfile(os.path.join(SITE, "index.html")),
         **{f"python3's {module} (make test installs it)": importlib.util.find_spec(module)
            for module in ("PIL", "websocket")},
         **{f"{program} (make test installs it)": os.access(program, os.X_OK)
            for program in NEEDS[ENGINE]},
         **{f"{tool} (npm ci, as make test does)": tool.is_file() for tool in (AXE, LIGHTHOUSE)}}
for part, present in PARTS.items():
    if not present:
        print(f"SKIP: no {part}")
        sys.exit(77)

from PIL import Image  # noqa: E402

PERIOD_SECONDS = 0.01
TICKS_A_RUN = 503  # four turns
RUN_SECONDS = TICKS_A_RUN * PERIOD_SECONDS
# The page keeps 1 % in a tab of its own; a shared test machine gets a little more.
RUN_TOLERANCE = 0.02
# The periods a stall of a shared machine may have dropped by a frame (how many a whole run drops
# is make web-timing's to tell).
MOST_DROPPED = 50
# The periods a frame on the canvas mostly lags its time by: the driver's saves for these first.
LIKELY_LAG = 6
CANVAS = "document.getElementById('Picture1')"
LABEL = f"return {CANVAS}.getAttribute('aria-label');"
MENU_HIDDEN = "document.getElementById('mmain-items').hidden"
# The menu's items and captions, in menu order.
with open(HERE.parent / "support" / "presets.tsv", encoding="utf-8") as presets:
    MENU = [tuple(line.split("\t")[:2]) for line in presets
            if line.strip() and not line.startswith("#")]


def driver_saves(picture, events, ratio, saves=1):
    """Whether `picture` is what rotor-headless saves at `ratio` after `events` (script lines),
    or after one of the `saves` - 1 ticks that follow."""
    with tempfile.TemporaryDirectory() as folder:
        paths = [os.path.join(folder, f"{n}.png") for n in range(saves)]
        script = ["load", "activate", *events, f"save {paths[0]}",
                  *(f"tick\nsave {path}" for path in paths[1:])]
        subprocess.run([HEADLESS, "--ratio", repr(ratio)], input="\n".join(script + [""]).encode(),
                       check=True, stdout=subprocess.DEVNULL)
        wanted = picture.size, picture.tobytes()
        for path in paths:
            with Image.open(path) as saved:
                if (saved.size, saved.convert("RGB").tobytes()) == wanted:
                    return True
    return False


def from_disk(site, name="index.html"):
    return pathlib.Path(site, name).resolve().as_uri()


class Session(unittest.TestCase):
    """One browser for all the classes a process runs, and the built site served to it."""

    browser = None

    @classmethod
    def setUpClass(cls):
        if Session.browser is None:
            Session.url = unittest.enterModuleContext(serve(SITE))
            Session.browser = unittest.enterModuleContext(
                contextlib.closing(Browser(ENGINE, RATIO)))

    def tearDown(self):
        self.assertEqual(self.browser.errors(), [])

    def canvas(self, url=None):
        """The drawing area's pixels, or those of the data address `url` taken from it."""
        url = url or self.browser.js(f"return {CANVAS}.toDataURL();")
        return Image.open(urlopen(url)).convert("RGB")

    def ratio(self):
        """The device pixel ratio the picture is drawn at: the screen's times the window's scale."""
        return self.browser.js("return Number(getComputedStyle(document.getElementById('window'))"
                               ".getPropertyValue('--scale')) * devicePixelRatio;")

    def assertAccessible(self, state):
        self.assertEqual(self.browser.audit(AXE), [], f"accessibility violations {state}")

    def choose(self, item, pointer="mouse"):
        self.browser.click("mmain", pointer)
        self.browser.click(item, pointer)

    def press_run(self, press, vanes, after_ms=None):
        """Run pressed by `press`(), which a reader hears; when it began, or a frame() after."""
        b = self.browser
        b.js("delete window.runAt; document.getElementById('Command1').addEventListener('click',"
             " () => { window.runAt = performance.now(); }, {once: true});")
        press()
        began = b.wait_for("window.runAt", timeout=2)
        self.assertEqual(b.js(LABEL), f"{vanes}, turning")
        return began if after_ms is None else self.frame(began, after_ms)

    def frame(self, began, after_ms):
        """The picture (a data address) once `after_ms` of the run have passed, and when."""
        self.browser.wait_for(f"performance.now() - {began} > {after_ms}", timeout=5)
        return self.browser.js(f"const t = performance.now() - {began};"
                               f" return [{CANVAS}.toDataURL(), t];")

    def assertDriverFrame(self, before, frame):
        """A frame of a run after `before` is one of the driver's: the one its time allowed, or one
        that periods dropped while the page was busy held back (the likely few tried first)."""
        url, elapsed = frame
        picture, ratio = self.canvas(url), self.ratio()
        latest = int(elapsed / 1000 / PERIOD_SECONDS) + 1
        likely = max(0, latest - LIKELY_LAG)
        for first, last in ((likely, latest), (max(0, latest - MOST_DROPPED), likely - 1)):
            events = [*before, "run", *([f"tick {first}"] if first else [])]
            if first <= last and driver_saves(picture, events, ratio, last - first + 1):
                return
        self.fail(f"the frame {elapsed:.0f} ms into the run is none of the driver's")

    def run_to_the_end(self, vanes, before, began=None):
        """The run's end: roughly a frame an animation frame, a last picture that stays, the
        driver's. Given when it `began`, a frame from its middle too, and last (a slow machine
        still has its pictures compared) the pace: the run lasts the periods that passed, ticked
        or dropped, so a timer that drifts fails even when a busy machine dropped a few."""
        b = self.browser
        midway = began and self.frame(began, 1500)
        run = b.wait_for(f"performance.getEntriesByName('rotavel run').length > 0 &&"
                         f" {CANVAS}.ariaLabel.endsWith('stopped')",
                         timeout=RUN_SECONDS * 3) and b.last_run()
        self.assertEqual([run["ticks"], run["presents"] < run["ticks"], b.js(LABEL)],
                         [TICKS_A_RUN, True, f"{vanes}, stopped"])
        b.animation_frames()
        last = self.canvas()
        b.js("return new Promise((done) => setTimeout(done, 100));")
        b.animation_frames()
        self.assertEqual(self.canvas().tobytes(), last.tobytes(), "the picture moved, stopped")
        self.assertTrue(driver_saves(last, [*before, "run", f"tick {TICKS_A_RUN}"], self.ratio()))
        if began:
            self.assertDriverFrame(before, midway)
            self.assertAlmostEqual(run["seconds"], RUN_SECONDS + run["dropped"] * PERIOD_SECONDS,
                                   delta=RUN_SECONDS * RUN_TOLERANCE,
                                   msg=f"{run['dropped']} periods dropped")


class Keyboard(Session):
    """On a desktop's screen: served, the names, layout and picture before any run; from a disk,
    the menu and an 8-vane run by keyboard."""

    def test_served_names_layout_and_the_picture_before_any_run(self):
        b = self.browser
        b.open(self.url)
        layout = b.js("""
            const $ = (id) => document.getElementById(id), role = (e) => e.getAttribute('role');
            const form = $('Form1').getBoundingClientRect(), run = $('Command1'), c = $('Picture1');
            const at = (e) => { const r = e.getBoundingClientRect();
                                return [r.left - form.left, r.top - form.top, r.width, r.height]; };
            const colour = (e) => getComputedStyle(e).backgroundColor;
            return [document.title, form.width, form.height, colour($('Form1')), ...at(run),
                    run.tagName, run.textContent, colour(run),
                    document.elementFromPoint(form.left + 19, form.top + 11) === run,
                    at(c)[0] + c.clientLeft, at(c)[1] + c.clientTop, c.clientWidth, c.clientHeight,
                    c.tagName, c.width, c.height, role(c), c.ariaLabel,
                    document.querySelector('[role=menubar]').contains($('mmain')),
                    $('mmain').textContent, role($('mmain')), role($('mmain-items')),
                    Array.from($('mmain-items').children, (e) => [e.id, e.textContent, role(e)])];
            """)
        side = int(-(-448 * RATIO // 1)), int(-(-426 * RATIO // 1))
        self.assertEqual(layout, [
            "Rotavel Motion", 455, 427, "rgb(224, 224, 224)",
            16, 8, 57, 33, "BUTTON", "Run", "rgb(255, 255, 255)", True,
            2, 2, 448, 426, "CANVAS", *side, "img", "2 vanes, stopped",
            True, "Choose #Vanes", "menuitem", "menu", [[i, c, "menuitem"] for i, c in MENU]])
        self.assertTrue(driver_saves(self.canvas(), [], self.ratio()))  # the background alone
        self.assertAccessible("at rest")

    def test_from_a_disk_the_menu_and_run_by_keyboard(self):
        b = self.browser
        b.open(from_disk(SITE))
        # Alt alone reaches the menu bar; ArrowDown opens it on the first item, and Escape closes
        # it without choosing; ArrowUp opens it on the last, and the arrows go round and back;
        # Enter chooses, and the focus is back on Run, where it was before the menu bar took it.
        for keys, focus, hidden, words in (
                ((), "Command1", True, "2 vanes"), (("Alt",), "mmain", True, "2 vanes"),
                (("ArrowDown",), MENU[0][0], False, "2 vanes"),
                (("Escape",), "mmain", True, "2 vanes"),
                (("ArrowUp", "ArrowDown", "ArrowUp"), "eeight", False, "2 vanes"),
                (("Enter",), "Command1", True, "8 vanes")):
            b.keys(*keys)
            self.assertEqual(b.js(f"return [document.activeElement.id, {MENU_HIDDEN}, "
                                  f"{CANVAS}.ariaLabel];"), [focus, hidden, f"{words}, stopped"])
            if not hidden:
                self.assertAccessible("with the menu open")
        # Firefox's remote keys reach the button but never press it: there the pointer does.
        began = self.press_run(lambda: b.click("Command1") if ENGINE == "firefox" else
                               b.keys("Space"), "8 vanes")
        self.run_to_the_end("8 vanes", ["menu eeight"], began)
        # Stopped, a preset changes the rotor and what a reader hears, never the picture.
        before = self.canvas()
        self.choose("tthree")
        b.animation_frames()
        self.assertEqual([b.js(LABEL), self.canvas().tobytes()],
                         ["3 vanes, stopped", before.tobytes()])


class Pointer(Session):
    """The page in one file by pointer, fetching nothing; a site from a disk, its module lost."""

    def test_the_one_file_by_pointer_with_nothing_else_fetched(self):
        b = self.browser
        b.open(from_disk(SITE, "rotavel-motion.html"))
        self.choose("oone")
        self.assertEqual(b.js(LABEL), "1 vane, stopped")
        self.choose("eeight")
        began = self.press_run(lambda: b.click("Command1"), "8 vanes")
        self.run_to_the_end("8 vanes", ["menu oone", "menu eeight"], began)
        self.assertEqual(b.js("return performance.getEntriesByType('resource').length;"), 0)

    def test_from_a_disk_without_its_module_says_what_to_do(self):
        with tempfile.TemporaryDirectory() as folder:
            site = shutil.copytree(SITE, os.path.join(folder, "site"))
            os.remove(os.path.join(site, "rotavel.js"))
            self.browser.open(from_disk(site))
            self.assertIn("Open rotavel-motion.html", self.browser.js(
                "return document.getElementById('status').textContent;"))
            self.browser.errors()  # the missing file, and why the rotor did not start


# Touch screens in CSS pixels and their device pixel ratios: the smallest phone the page is for, a
# phone of today, a tablet; each held upright and on its side.
SCREENS = [(320, 568, 2), (390, 844, 3), (1024, 768, 2)]


class Screens(Session):
    """Phones and a tablet in chromium's emulation, by touch alone: the window scaled down whole
    into the viewport, the picture drawn for the screen's pixels, a run's frames the driver's."""

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

    def run_by_touch(self, item, vanes, after_ms=None):
        """The menu opened, `item` chosen and Run pressed, by touch (see press_run)."""
        b = self.browser
        b.click("mmain", "touch")
        b.wait_for(f"!{MENU_HIDDEN}", timeout=2)
        self.assertFits("with the menu open")
        b.click(item, "touch")
        b.wait_for(MENU_HIDDEN, timeout=2)
        return self.press_run(lambda: b.click("Command1", "touch"), vanes, after_ms)

    def test_phones_and_a_tablet_upright_and_on_their_side(self):
        """A frame from each one's run (whole runs are the other classes')."""
        for screen in SCREENS:
            for landscape in (False, True):
                with self.subTest(screen=screen, landscape=landscape):
                    self.browser.emulate(*screen, landscape)
                    self.browser.open(self.url)
                    self.assertFits("at rest")
                    frame = self.run_by_touch("ffive", "5 vanes", 600)
                    self.assertFits("in a run")
                    self.assertDriverFrame(["menu ffive"], frame)

    def test_phone_turned_in_a_run_and_its_accessibility(self):
        b = self.browser
        b.emulate(*SCREENS[1])
        b.open(self.url)
        self.assertAccessible("on a phone")
        b.click("mmain", "touch", 2)  # opens and closes the menu, and zooms nothing
        b.wait_for(MENU_HIDDEN, timeout=2)
        self.assertFits("after a double tap")
        self.run_by_touch("eeight", "8 vanes")
        self.assertAccessible("in the middle of a run, on a phone")
        # The window fitted again and the picture drawn anew for the new ratio, mid-run.
        b.emulate(*SCREENS[1], landscape=True)
        b.animation_frames()
        self.assertFits("turned in a run")
        self.run_to_the_end("8 vanes", ["menu eeight"])


# The build index.html asks for, and the build each file it fetched came from.
BUILDS = ("const named = (e) => new URL(e.src || e.href).searchParams.get('build');"
          "return [named(document.querySelector('script[src]')),"
          " performance.getEntriesByType('resource').map((e) => new URL(e.name))"
          ".filter((u) => u.search).map((u) => u.searchParams.get('build'))];")


class Offline(Session):
    """The page as an installed app (chromium: nothing found against installing it): after one
    visit it runs with no server; after a rebuild the next visit has the new build's files and
    none of the old."""

    def test_installs_runs_offline_and_takes_a_rebuild_whole(self):
        b = self.browser
        with tempfile.TemporaryDirectory() as folder:
            site = shutil.copytree(SITE, os.path.join(folder, "site"))
            with serve(site) as url:
                b.open(url)
                b.wait_for("navigator.serviceWorker.controller !== null", timeout=20)
                if ENGINE == "chromium":
                    self.assertEqual(b.bridge.cdp("Page.getInstallabilityErrors"),
                                     {"installabilityErrors": []})
                first, _ = b.js(BUILDS)
                self.assertEqual(b.js("return caches.keys();"), [f"rotavel-{first}"])
            b.open(url)  # with no server
            self.choose("tthree")
            frame = self.press_run(lambda: b.click("Command1"), "3 vanes", 600)
            self.assertDriverFrame(["menu tthree"], frame)

            with open(os.path.join(site, "page.css"), "a", encoding="utf-8") as f:
                f.write("\n:root { --rebuilt: yes; }\n")
            web = HERE.parents[1] / "web"
            subprocess.run([os.environ.get("ROTAVEL_CMAKE", "cmake"), f"-DSOURCE={web}",
                            f"-DSITE={site}", "-P", str(web / "make_site.cmake")], check=True)
            with serve(site, urlparse(url).port):
                b.open(url)
                second, fetched = b.js(BUILDS)
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
