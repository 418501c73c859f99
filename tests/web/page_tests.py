#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in a real browser: its names and layout, the keyboard, the timer's pace, and pictures
that equal, pixel for pixel, what the headless driver saves for the same events; on the screens of
phones and tablets worked by touch; installed and offline; and the accessibility audit throughout.

usage: page_tests.py SITE ROTOR_HEADLESS RATIO [unittest options, such as a class to run]
ROTAVEL_AXE names axe-core's axe.min.js; ROTAVEL_CMAKE the cmake that puts the site together."""

import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlparse

SITE, HEADLESS, RATIO = sys.argv[1], sys.argv[2], float(sys.argv[3])
AXE = os.environ.get("ROTAVEL_AXE", "")
CMAKE = os.environ.get("ROTAVEL_CMAKE", "cmake")
WEB_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web")


def skip_without(what, why):
    """Reports the tests skipped (status 77, as ctest is told) when a part they need is missing."""
    if not what:
        print(f"SKIP: {why}")
        sys.exit(77)


for module, package in (("PIL", "python3-pil"), ("selenium", "python3-selenium")):
    skip_without(importlib.util.find_spec(module), f"python3 lacks {module} (package {package})")

from PIL import Image, ImageChops  # noqa: E402

# The shared helpers are read from the source tree, which nothing here writes to.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_session import CHROMEDRIVER, CHROMIUM, Browser, serve  # noqa: E402

skip_without(os.path.isfile(os.path.join(SITE, "index.html")), f"no page in {SITE} (make web)")
for program, package in ((CHROMIUM, "chromium"), (CHROMEDRIVER, "chromium-driver")):
    skip_without(os.access(program, os.X_OK), f"{program} is missing (package {package})")
skip_without(os.path.isfile(AXE), f"no axe-core at '{AXE}' (npm ci beside the tests, as make test does)")

PERIOD_SECONDS = 0.01
TICKS_A_RUN = 503  # four turns
RUN_SECONDS = TICKS_A_RUN * PERIOD_SECONDS
# The page keeps 1 % in a tab of its own; a shared test machine gets a little more.
RUN_TOLERANCE = 0.02
# A stall of a shared machine drops a few periods; a page that cannot keep up drops many.
MOST_DROPPED = 50

MENU = [("oone", "1 vane "), ("mvn1", "2 Vanes"), ("tthree", "3 vanes"), ("mv2", "4 vanes"),
        ("ffive", "5 vanes"), ("ssix", "6 vanes"), ("eeight", "8 vanes")]


def driver_picture(events, ratio):
    """What rotor-headless saves after `events` (script lines) at device pixel ratio `ratio`."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "picture.png")
        script = "".join(f"{line}\n" for line in ["load", "activate", *events, f"save {path}"])
        subprocess.run([HEADLESS, "--ratio", repr(ratio)], input=script.encode(), check=True,
                       stdout=subprocess.DEVNULL)
        with Image.open(path) as picture:
            return picture.convert("RGB")


class Session(unittest.TestCase):
    """One browser for the tests of a class, the built site served to it, and what they share."""

    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.url = cls.server.__enter__()
        cls.browser = Browser(RATIO)

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

    def assertSamePicture(self, events):
        ratio = self.ratio()
        expected = driver_picture(events, ratio)
        actual = self.browser.canvas()
        self.assertEqual(actual.size, expected.size)
        difference = ImageChops.difference(actual, expected)
        box = difference.getbbox()
        if box is not None:
            differing = sum(1 for p in difference.getdata() if p != (0, 0, 0))
            kept = tempfile.mkdtemp(prefix="rotavel-page-")
            actual.save(os.path.join(kept, "page.png"))
            expected.save(os.path.join(kept, "driver.png"))
            self.fail(f"{differing} pixels differ within {box} at ratio {ratio!r} for {events}; "
                      f"both pictures are in {kept}")

    def choose(self, item):
        """The menu item `item` chosen by pointer."""
        self.browser.driver.find_element("id", "mmain").click()
        self.browser.driver.find_element("id", item).click()

    def run_to_the_end(self, vanes, before=()):
        """Waits for the run under way to stop by itself; checks that frames came, that the
        picture then stays as it is, and that it is the driver's after the events `before`, Run and
        a whole run. The run's pace is checked at the test's end (assertPace), so that a slow
        machine still has its pictures compared."""
        b = self.browser
        b.wait_for("rotavelStats.ticks > 0", timeout=2)
        self.assertEqual(self.label(), f"{vanes}, turning")
        b.wait_for("rotavelStats.stoppedAt > 0", timeout=RUN_SECONDS * 3)
        stats = b.js("return rotavelStats;")
        self.seconds = (stats["stoppedAt"] - stats["runStartedAt"]) / 1000
        self.dropped = stats["dropped"]
        self.assertEqual(stats["ticks"], TICKS_A_RUN)
        # Roughly one canvas update per animation frame, not one per tick.
        self.assertLess(stats["presents"], stats["ticks"])
        self.assertEqual(self.label(), f"{vanes}, stopped")
        b.animation_frames()
        last = b.canvas()
        b.js("return new Promise((done) => setTimeout(done, 100));")
        b.animation_frames()
        self.assertIsNone(ImageChops.difference(b.canvas(), last).getbbox())
        self.assertEqual(b.js("return rotavelStats.ticks;"), TICKS_A_RUN)
        self.assertSamePicture([*before, "run", f"tick {TICKS_A_RUN}"])


class Page(Session):
    """The page on a desktop's screen at the test's device pixel ratio."""

    def setUp(self):
        self.browser.open(self.url)

    def assertPace(self):
        """The ticks keep to the 10 ms grid: the run lasts the periods that passed, ticked or
        dropped, so a timer that drifts or keeps another period fails even when a busy machine
        has dropped a few of them and lengthened the run by as much."""
        self.assertAlmostEqual(self.seconds, RUN_SECONDS + self.dropped * PERIOD_SECONDS,
                               delta=RUN_SECONDS * RUN_TOLERANCE,
                               msg=f"{self.dropped} periods dropped")
        self.assertLessEqual(self.dropped, MOST_DROPPED, "the page does not keep up with its timer")

    def test_names_layout_and_the_picture_before_any_run(self):
        b = self.browser
        self.assertEqual(b.driver.title, "Rotavel Motion")
        layout = b.js("""
            const form = document.getElementById('Form1').getBoundingClientRect();
            const box = (id) => {
              const e = document.getElementById(id), r = e.getBoundingClientRect();
              return [r.left - form.left + e.clientLeft, r.top - form.top + e.clientTop,
                      e.clientWidth, e.clientHeight];
            };
            const run = document.getElementById('Command1'), r = run.getBoundingClientRect();
            const canvas = document.getElementById('Picture1');
            return {
              form: [form.width, form.height,
                     getComputedStyle(document.getElementById('Form1')).backgroundColor],
              run: [r.left - form.left, r.top - form.top, r.width, r.height, run.tagName,
                    run.textContent, getComputedStyle(run).backgroundColor,
                    document.elementFromPoint(r.left + 3, r.top + 3) === run],
              picture: box('Picture1').concat([canvas.tagName, canvas.width, canvas.height,
                                               canvas.getAttribute('role')]),
              menubar: document.querySelector('[role=menubar]').contains(
                           document.getElementById('mmain')),
              menu: [document.getElementById('mmain').textContent,
                     document.getElementById('mmain').getAttribute('role'),
                     document.getElementById('mmain-items').getAttribute('role')],
              items: Array.from(document.querySelectorAll('#mmain-items > *'),
                                (e) => [e.id, e.textContent, e.getAttribute('role')]),
            };""")
        self.assertEqual(layout["form"], [455, 427, "rgb(224, 224, 224)"])
        self.assertEqual(layout["run"], [16, 8, 57, 33, "BUTTON", "Run", "rgb(255, 255, 255)", True])
        side = int(-(-448 * RATIO // 1)), int(-(-426 * RATIO // 1))
        self.assertEqual(layout["picture"], [2, 2, 448, 426, "CANVAS", *side, "img"])
        self.assertTrue(layout["menubar"])
        self.assertEqual(layout["menu"], ["Choose #Vanes", "menuitem", "menu"])
        self.assertEqual(layout["items"], [[i, c, "menuitem"] for i, c in MENU])
        self.assertEqual(self.label(), "2 vanes, stopped")
        self.assertSamePicture([])  # the background alone
        self.assertAccessible("at rest")

    def test_default_run_from_the_keyboard_then_a_preset_while_stopped(self):
        b = self.browser
        self.assertEqual(b.js("return document.activeElement.id;"), "Command1")
        b.js("document.activeElement.blur();")
        # Escape closes the menu without choosing; the arrows then reach "8 vanes" and back.
        b.driver.find_element("id", "mmain").send_keys("\ue015")  # ArrowDown opens
        self.assertEqual(b.js("return document.activeElement.id;"), "oone")
        self.assertAccessible("with the menu open")
        b.driver.switch_to.active_element.send_keys("\ue00c")  # Escape
        self.assertEqual(b.js("return [document.activeElement.id,"
                              " document.getElementById('mmain-items').hidden];"), ["mmain", True])
        self.assertEqual(self.label(), "2 vanes, stopped")
        b.driver.switch_to.active_element.send_keys("\ue013")  # ArrowUp opens on the last item
        self.assertEqual(b.js("return document.activeElement.id;"), "eeight")
        b.driver.switch_to.active_element.send_keys("\ue015\ue013")  # round and back
        self.assertEqual(b.js("return document.activeElement.id;"), "eeight")
        b.driver.switch_to.active_element.send_keys("\ue00c")
        # Enter on Run starts the run with the start-up values, as they stand.
        run = b.driver.find_element("id", "Command1")
        run.send_keys("\ue007")
        self.run_to_the_end("2 vanes")
        # Stopped, a preset changes the rotor and what a reader hears, never the picture.
        before = b.canvas()
        self.choose("tthree")
        b.animation_frames()
        self.assertEqual(self.label(), "3 vanes, stopped")
        self.assertIsNone(ImageChops.difference(b.canvas(), before).getbbox())
        self.assertEqual(b.js("return rotavelStats.ticks;"), TICKS_A_RUN)
        self.assertPace()

    def test_eight_vanes_chosen_from_the_keyboard_run_with_space(self):
        b = self.browser
        # Alt alone reaches the menu bar from Run; ArrowUp opens on "8 vanes", Enter chooses it.
        b.driver.switch_to.active_element.send_keys("\ue00a")
        self.assertEqual(b.js("return document.activeElement.id;"), "mmain")
        b.driver.switch_to.active_element.send_keys("\ue013")
        b.driver.switch_to.active_element.send_keys("\ue007")
        # The focus is back on Run, where it was before the menu bar took it.
        self.assertEqual(b.js("return [document.activeElement.id,"
                              " document.getElementById('mmain-items').hidden];"),
                         ["Command1", True])
        self.assertEqual(self.label(), "8 vanes, stopped")
        b.driver.switch_to.active_element.send_keys(" ")
        self.run_to_the_end("8 vanes", ["menu eeight"])
        self.assertPace()

    def test_one_vane_from_the_menu_by_pointer_after_eight(self):
        for item in ("eeight", "oone"):
            self.choose(item)
        self.browser.driver.find_element("id", "Command1").click()
        self.run_to_the_end("1 vane", ["menu eeight", "menu oone"])
        self.assertPace()


# Touch screens in CSS pixels and their device pixel ratios: the smallest phone the page is for, a
# phone of today, a tablet; each held upright and on its side.
SCREENS = [(320, 568, 2), (390, 844, 3), (1024, 768, 2)]


class Screens(Session):
    """Phones and a tablet in DevTools' device emulation, worked by touch alone: the window scaled
    down whole into the viewport, the picture drawn for the screen's pixels, and a whole run ending
    on the driver's last frame for that ratio."""

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
        b.tap("Command1")
        b.wait_for("rotavelStats.ticks > 200", timeout=5)
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
            b.wait_for("rotavelStats.ticks > 300", timeout=5)
            self.assertFits("turned in a run")

        self.run_by_touch("eeight", "8 vanes", turn)


class Offline(Session):
    """The page as an installed app: chromium finds nothing against installing it; after one visit
    it runs with no server and no network; after a rebuild the next visit has the new build's files
    and none of the old."""

    def page_build(self):
        return self.browser.js("return new URL(document.querySelector('script[src^=\"page.js\"]')"
                               ".src).searchParams.get('build');")

    def test_installs_runs_offline_and_takes_a_rebuild_whole(self):
        b = self.browser
        with tempfile.TemporaryDirectory() as folder:
            site = shutil.copytree(SITE, os.path.join(folder, "site"))
            with serve(site) as url:
                b.open(url)
                b.wait_for("!!navigator.serviceWorker.controller", timeout=20)
                self.assertEqual(b.installability_errors(), [])
                first = self.page_build()
                self.assertEqual(b.js("return caches.keys();"), [f"rotavel-{first}"])
            b.offline()
            try:
                b.open(url)
                self.choose("tthree")
                b.driver.find_element("id", "Command1").click()
                self.run_to_the_end("3 vanes", ["menu tthree"])
            finally:
                b.offline(False)

            with open(os.path.join(site, "page.css"), "a", encoding="utf-8") as f:
                f.write("\n:root { --rebuilt: yes; }\n")
            subprocess.run([CMAKE, f"-DSOURCE={WEB_SOURCE}", f"-DSITE={site}", "-P",
                            os.path.join(WEB_SOURCE, "make_site.cmake")], check=True)
            with serve(site, urlparse(url).port):
                b.open(url)
                second = self.page_build()
                self.assertNotEqual(second, first)
                fetched = b.js("return performance.getEntriesByType('resource').map((e) =>"
                               " new URL(e.name)).filter((u) => u.search).map((u) =>"
                               " [u.pathname.slice(1), u.searchParams.get('build')]);")
                self.assertEqual(sorted(set(map(tuple, fetched))), [(name, second) for name in (
                    "page.css", "page.js", "rotavel.js", "rotavel.wasm", "rotor_icon.png")])
                self.assertEqual(b.js("return getComputedStyle(document.documentElement)"
                                      ".getPropertyValue('--rebuilt');").strip(), "yes")
                # The old build's files are dropped once the new build's are all kept.
                b.wait_for(f"caches.keys().then((k) => k.join() === 'rotavel-{second}')",
                           timeout=20)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]], verbosity=2)
