#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""The page in a real browser: its names and layout, the keyboard, the timer's pace, and pictures
that equal, pixel for pixel, what the headless driver saves for the same events.

usage: page_tests.py SITE ROTOR_HEADLESS RATIO [unittest options]"""

import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

SITE, HEADLESS, RATIO = sys.argv[1], sys.argv[2], float(sys.argv[3])


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

PERIOD_SECONDS = 0.01
TICKS_A_RUN = 503  # four turns
RUN_SECONDS = TICKS_A_RUN * PERIOD_SECONDS
# The page keeps 1 % in a tab of its own; a shared test machine gets a little more.
RUN_TOLERANCE = 0.02
# A stall of a shared machine drops a few periods; a page that cannot keep up drops many.
MOST_DROPPED = 50

MENU = [("oone", "1 vane "), ("mvn1", "2 Vanes"), ("tthree", "3 vanes"), ("mv2", "4 vanes"),
        ("ffive", "5 vanes"), ("ssix", "6 vanes"), ("eeight", "8 vanes")]


def driver_picture(events):
    """What rotor-headless saves after `events` (script lines) at the test's ratio."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "picture.png")
        script = "".join(f"{line}\n" for line in ["load", "activate", *events, f"save {path}"])
        subprocess.run([HEADLESS, "--ratio", f"{RATIO:g}"], input=script.encode(), check=True,
                       stdout=subprocess.DEVNULL)
        with Image.open(path) as picture:
            return picture.convert("RGB")


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.url = cls.server.__enter__()
        cls.browser = Browser(RATIO)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.__exit__(None, None, None)

    def setUp(self):
        self.browser.open(self.url)

    def tearDown(self):
        self.assertEqual(self.browser.console_errors(), [])

    def label(self):
        return self.browser.js("return document.getElementById('Picture1').getAttribute('aria-label');")

    def assertSamePicture(self, events):
        expected = driver_picture(events)
        actual = self.browser.canvas()
        self.assertEqual(actual.size, expected.size)
        difference = ImageChops.difference(actual, expected)
        box = difference.getbbox()
        if box is not None:
            differing = sum(1 for p in difference.getdata() if p != (0, 0, 0))
            kept = tempfile.mkdtemp(prefix="rotavel-page-")
            actual.save(os.path.join(kept, "page.png"))
            expected.save(os.path.join(kept, "driver.png"))
            self.fail(f"{differing} pixels differ within {box} at ratio {RATIO:g} for {events}; "
                      f"both pictures are in {kept}")

    def run_to_the_end(self, vanes):
        """Waits for the run under way to stop by itself; checks that frames came and that the
        picture then stays as it is. The run's pace is checked at the test's end (assertPace), so
        that a slow machine still has its pictures compared."""
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

    def test_default_run_from_the_keyboard_then_a_preset_while_stopped(self):
        b = self.browser
        self.assertEqual(b.js("return document.activeElement.id;"), "Command1")
        b.js("document.activeElement.blur();")
        # Escape closes the menu without choosing; the arrows then reach "8 vanes" and back.
        b.driver.find_element("id", "mmain").send_keys("\ue015")  # ArrowDown opens
        self.assertEqual(b.js("return document.activeElement.id;"), "oone")
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
        self.assertSamePicture(["run", "tick 503"])
        # Stopped, a preset changes the rotor and what a reader hears, never the picture.
        before = b.canvas()
        b.driver.find_element("id", "mmain").click()
        b.driver.find_element("id", "tthree").click()
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
        self.run_to_the_end("8 vanes")
        self.assertSamePicture(["menu eeight", "run", "tick 503"])
        self.assertPace()

    def test_one_vane_from_the_menu_by_pointer_after_eight(self):
        b = self.browser
        for item in ("eeight", "oone"):
            b.driver.find_element("id", "mmain").click()
            b.driver.find_element("id", item).click()
        b.driver.find_element("id", "Command1").click()
        self.run_to_the_end("1 vane")
        self.assertSamePicture(["menu eeight", "menu oone", "run", "tick 503"])
        self.assertPace()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]], verbosity=2)
