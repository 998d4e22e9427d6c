"""The whole game as a player meets it: menu, choices, matches, the result."""

import math
import os
import subprocess
import time
import unittest

from harness import COMPUTERS_SEED, GameTestCase, SHUTDOWN_STDOUT, SHOTS, decode_xwd

SETTINGS = "640 480 0 0 1\n"
BUILD_DIR = os.environ.get("VEKTORAK_BUILD_DIR", "")


def lit(image):
    return image.lit_fraction() > 0.2


def still(game, pause=0.4):
    """Two screenshots apart: nothing moved (a paused match, a result)."""
    first = game.screenshot()
    time.sleep(pause)
    second = game.screenshot()
    return first.difference(second) < 0.001, second


def wait_still(game, timeout, name=None):
    deadline = time.time() + timeout
    while time.time() < deadline:
        quiet, image = still(game)
        if quiet:
            if name:
                game.screenshot(name)
            return image
    raise AssertionError("the picture never came to rest within %d s" % timeout)


def wait_moving(game, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        quiet, image = still(game, 0.2)
        if not quiet:
            return image
    raise AssertionError("the picture stayed still for %d s" % timeout)


# The controller pictures: quads from x 0.26 to 0.66 either side of centre
# and y -0.2 to -0.4, 2.1 units in front of a 45 degree camera, land at
# 21.5% to 38.8% (and 61.2% to 78.5%) of the width and 61.5% to 73% of the
# height from the top. The regions keep a margin inside them; being nearest
# the camera, nothing else ever covers them.
def choice_regions(image):
    w, h = image.width, image.height
    top, bottom = int(h * 0.63), int(h * 0.71)
    return (int(w * 0.24), top, int(w * 0.36), bottom), (int(w * 0.64), top, int(w * 0.76), bottom)


def menu_layout():
    """The blocks of lettering the baker laid out on menu.jpg: name to
    (x0, y0, x1, y1) in the picture's units, y up."""
    out = subprocess.run([os.path.join(BUILD_DIR, "tools", "vektorak_bake"), "--menu-layout"],
                         stdout=subprocess.PIPE, check=True, timeout=60).stdout.decode()
    blocks = {}
    for line in out.splitlines():
        words = line.split()
        blocks[" ".join(words[:-4])] = tuple(float(v) for v in words[-4:])
    return blocks


def in_window(rect, width, height):
    """A rectangle of the picture's units as window pixels, one pixel in
    from its edges. The picture lies 32.2 units from the eye of a 45 degree
    view, which shows 32.2 tan(22.5 degrees) of it above and below the
    centre and the window's aspect times that to either side."""
    half_height = 32.2 * math.tan(math.radians(22.5))
    half_width = half_height * width / height
    x0, y0, x1, y1 = rect
    return (int(math.ceil((x0 / half_width + 1) / 2 * width)) + 1,
            int(math.ceil((1 - y1 / half_height) / 2 * height)) + 1,
            int((x1 / half_width + 1) / 2 * width) - 1,
            int((1 - y0 / half_height) / 2 * height) - 1)


class Frontend(GameTestCase):
    def test_menu_lettering_is_never_covered_by_the_turning_models(self):
        blocks = menu_layout()
        self.assertEqual(len(blocks), 6, blocks)
        for width, height in ((640, 480), (1024, 768)):
            with self.subTest(size=(width, height)):
                settings = "%d %d 0 0 1\n" % (width, height)
                # The background as the menu draws it, without its models.
                bare = self.game(settings=settings)
                for name in ("logo.3ds", "ship.3ds", "ship2.3ds"):
                    os.remove(os.path.join(bare.dir, name))
                bare.start()
                bare.wait_window()
                background = wait_still(bare, 20)
                bare.key("Escape")
                self.assertEqual(bare.wait_exit(), 0)

                # The menu through one turn of its models (2.88 s at 125
                # degrees a second): eight screenshots, 45 degrees apart.
                g = self.game(settings=settings).start()
                g.wait_window()
                g.wait_picture(lit)
                raw = []
                for _ in range(8):
                    taken = time.time()
                    raw.append(subprocess.run(["xwd", "-silent", "-id", g.window], env=g.env,
                                              stdout=subprocess.PIPE, check=True, timeout=30).stdout)
                    time.sleep(max(0.0, 0.36 - (time.time() - taken)))
                g.key("Escape")
                self.assertEqual(g.wait_exit(), 0)
                shots = [decode_xwd(data) for data in raw]
                if SHOTS:
                    os.makedirs(SHOTS, exist_ok=True)
                    shots[3].save_png(os.path.join(SHOTS, "menu-%dx%d.png" % (width, height)))

                # The models were there, and turned.
                self.assertGreater(min(background.difference(shot) for shot in shots), 0.01)
                self.assertGreater(shots[0].difference(shots[2]), 0.005)
                for i, shot in enumerate(shots):
                    for name, rect in blocks.items():
                        self.assertLess(background.difference(shot, *in_window(rect, width, height)), 0.001,
                                        "%s covered in shot %d" % (name, i))


    def test_choose_play_pause_leave_and_quit(self):
        g = self.game(settings=SETTINGS).start()
        g.wait_window()
        menu = g.wait_picture(lit, name="menu")
        left, right = choice_regions(menu)

        # Both on W A S D: Return says why in the line under the title, for a second.
        g.key("p", "Return")
        g.wait_picture(lambda image: menu.difference(image, 120, 86, 520, 108) > 0.05, timeout=1, name="refused")
        time.sleep(1.2)
        self.assertLess(menu.difference(g.screenshot(), 120, 86, 520, 108), 0.001)
        g.key("p", "p", "p", "p", "p")  # round to the cursor keys again
        # Each side's picture changes with its own key, and only that one.
        g.key("o")
        time.sleep(0.3)
        after_o = g.screenshot()
        self.assertGreater(menu.difference(after_o, *left), 0.05)
        g.key("p")
        time.sleep(0.3)
        after_p = g.screenshot()
        self.assertGreater(after_o.difference(after_p, *right), 0.05)
        self.assertLess(after_o.difference(after_p, *left), 0.05)

        # Now computer on the left, W A S D on the right: a match.
        g.key("Return")
        match = wait_moving(g)
        g.wait_picture(lambda image: image.difference(menu) > 0.3, name="match")
        g.key("p")
        paused = wait_still(g, 5, name="paused")
        # PAUSED in white letters over the middle, where a match has few.
        self.assertGreater(sum(min(paused.rgb(x, y)) > 200 for y in range(185, 240) for x in range(250, 390)), 400)
        time.sleep(1.0)
        self.assertLess(paused.difference(g.screenshot()), 0.001, "the paused match moved")
        g.key("p")
        wait_moving(g)
        g.key("Escape")
        back = g.wait_picture(lambda image: image.difference(match) > 0.3)

        # The choices survived the match.
        self.assertLess(after_p.difference(back, *left), 0.05)
        self.assertLess(after_p.difference(back, *right), 0.05)

        # Computer against computer: 'p' once more brings the right side round
        # to the computer as well.
        g.key("p")
        g.key("Return")
        wait_moving(g)
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(match) > 0.3)

        # On round through the pilot, the ace and the master, each a picture
        # of its own, and back to the cursor keys the menu started with.
        time.sleep(0.3)
        seen = [g.screenshot()]
        for _ in range(3):
            g.key("p")
            time.sleep(0.3)
            shot = g.screenshot()
            for earlier in seen:
                self.assertGreater(earlier.difference(shot, *right), 0.05)
            seen.append(shot)
        # The computer against the master is a match too.
        g.key("Return")
        wait_moving(g)
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(match) > 0.3)
        g.key("p")
        time.sleep(0.3)
        self.assertLess(menu.difference(g.screenshot(), *right), 0.05)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr, "")

    def test_computer_match_to_its_result_and_back(self):
        g = self.game(settings=SETTINGS, game_env={"VEKTORAK_MATCH_SEED": str(COMPUTERS_SEED)}).start()
        g.wait_window()
        menu = g.wait_picture(lit)
        g.key("o")  # left: computer
        g.key("p", "p")  # right: computer
        g.key("Return")
        wait_moving(g)
        # Two computers play it out; the result screen is the first picture
        # that comes to rest.
        result = wait_still(g, 400, name="result")
        self.assertGreater(result.difference(menu), 0.3)
        # F1 is the shell's, never a key press for the result screen: past
        # the lock-out, F1 there and back leaves the result showing (still,
        # unlike the turning menu).
        time.sleep(1.2)
        g.key("F1")
        time.sleep(0.5)
        g.key("F1")
        time.sleep(0.5)
        g.point_into_window()
        quiet, image = still(g)
        self.assertTrue(quiet, "F1 left the result screen")
        self.assertLess(image.difference(result), 0.01, "F1 left the result screen")
        # A key turns to the statistics over the picture darkened, the next to the menu.
        g.key("space")
        stats = g.wait_picture(lambda i: i.difference(result) > 0.3 and i.lit_fraction() < 0.4, name="result-stats")
        g.key("space")
        g.wait_picture(lambda image: image.difference(stats) > 0.3 and lit(image))
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        for line in g.stderr.splitlines():
            self.assertTrue(line.startswith("Unable to toggle fullscreen: "), line)


if __name__ == "__main__":
    unittest.main()
