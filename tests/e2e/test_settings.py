"""The settings screen as a player uses it: keys rebound, a match flown with
them, the binding kept and shown on the menu at the next start, and the
window's size changed and kept."""

import os
import time
import unittest

from harness import GameTestCase, SHUTDOWN_STDOUT
from test_match import left_ship, ship_at, steer, shows_both_ships

# The left panel's caps at 640 by 480, in window pixels: the up cap and the
# down cap under it (the picture's 256 by 128 pixels drawn 119 by 60 from
# x 135, y 294; mmenulayout.h has the caps' places in the picture).
UP_CAP = (162, 302, 175, 313)
DOWN_CAP = (162, 320, 175, 331)


def read(g, name):
    with open(os.path.join(g.dir, name)) as f:
        return f.read()


def cap(image, box):
    x0, y0, x1, y1 = box
    return [image.at(x, y) for y in range(y0, y1) for x in range(x0, x1)]


class Settings(GameTestCase):
    def test_keys_rebound_flown_kept_and_shown_and_the_window_resized(self):
        g = self.game(settings="640 480 0 0 1").start()
        g.wait_window()
        before = g.wait_picture(lambda image: image.lit_fraction() > 0.05, name="settings-menu-before")
        # Line 9 is the left player's down, line 12 their fire.
        g.key("s", *["Down"] * 8, "Return", "x")
        g.key(*["Down"] * 3, "Return", "space")
        g.screenshot(name="settings-screen")
        g.key("Escape")
        menu = lambda image: image.difference(before) < 0.2
        g.wait_picture(menu)
        self.assertIn("left.down = x\n", read(g, "controls.txt"))

        # The left keys against the computer.
        g.key("p", "p", "Return")
        # The menu shows both ships too: the match is the picture unlike it.
        start = g.wait_picture(lambda image: image.difference(before) > 0.2 and shows_both_ships(image),
                               name="settings-match")
        y0 = ship_at(start, left_ship, 1)
        g.hold("s", 1.0)
        # A hit's flash whitens the ship for a moment: the first picture
        # that shows it.
        held = g.wait_picture(lambda image: ship_at(image, left_ship, 1) is not None)
        self.assertLess(abs(ship_at(held, left_ship, 1) - y0), 40)
        steer(g, lambda: g.key_down("x"), lambda: g.key_up("x"), left_ship, 1, lambda y: y > y0 + 120,
              "settings-left-down")
        g.key("Escape")
        g.wait_picture(menu)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual((g.stdout, g.stderr), (SHUTDOWN_STDOUT, ""))
        written = read(g, "controls.txt")
        self.assertIn("left.fire = space\n", written)
        self.assertIn("right.choice = computer\n", written)
        self.assertEqual(sorted(n for n in os.listdir(g.dir) if n.startswith(("controls", "vkt"))),
                         ["controls.txt", "vkt.txt"])

        # Started again: the binding is kept, and the left panel's down cap
        # shows it where its up cap is as before.
        g.start()
        g.wait_window()
        after = g.wait_picture(lambda image: image.lit_fraction() > 0.05, name="settings-menu-after")
        self.assertEqual(cap(after, UP_CAP), cap(before, UP_CAP))
        self.assertTrue(cap(after, DOWN_CAP) != cap(before, DOWN_CAP), "the down cap still shows S")

        # Right on the first line: the next larger window, at once and kept.
        g.key("s", "Right")
        deadline = time.time() + 10
        while g.window_size() != (800, 600) and time.time() < deadline:
            time.sleep(0.1)
        self.assertEqual(g.window_size(), (800, 600))
        g.screenshot(name="settings-screen-800")
        g.key("Escape")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual((g.stdout, g.stderr), (SHUTDOWN_STDOUT, ""))
        self.assertEqual(read(g, "vkt.txt").split()[:7],
                         ["800", "600", "0", "0", "1", "100", "60"])


def notice_pixels(image):
    """The notice's amber letters under the title at 640 by 480 (the network line there is blue-white)."""
    return sum(1 for y in range(88, 126) for x in range(40, 600)
               if (lambda r, g, b: r > 180 and 110 < g < 240 and b < 130)(*image.rgb(x, y)))


class BrokenSettings(GameTestCase):
    def test_a_number_out_of_range_opens_the_game_says_so_and_keeps_the_file(self):
        # A bits per pixel of -1 once stopped the game before its window.
        written = "640 480 -1\n# my own note\n"
        g = self.game(settings=written).start()
        g.wait_window()
        self.assertEqual(g.window_size(), (640, 480))
        g.wait_picture(lambda image: notice_pixels(image) > 150, name="settings-notice")
        g.key("F2")  # no key of the menu's, but the first key: the notice goes
        g.wait_picture(lambda image: notice_pixels(image) < 15, name="settings-notice-gone")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual((g.stdout, g.stderr),
                         (SHUTDOWN_STDOUT, "vkt.txt:1: bits per pixel -1 is not 0 or 8 to 32; kept 0\n"))
        self.assertEqual((read(g, "vkt.txt.bad"), read(g, "vkt.txt")), (written, written))


if __name__ == "__main__":
    unittest.main()
