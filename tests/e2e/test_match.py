"""The match as two players see it: started from the menu, steered, fired,
paused and left, judged from screenshots of the real game.

The ships are found by colour: the right ship's pods are orange, the left
ship's blue, the right ship's shots yellow and the left ship's cyan. The two
health bars (same colours) sit in the top rows and are left out. A ship's
own rocking moves its pods by some tens of pixels, so movements are judged
across a good part of the screen. A ship is steered until screenshots show
it there, not for a fixed time: on a busy machine a fixed time may leave it
half off the edge of the window, turned so that few of its pixels show.
"""

import ctypes
import ctypes.util
import json
import os
import subprocess
import time
import unittest

from harness import GameTestCase, SHUTDOWN_STDOUT

BAR_ROWS = 26  # the health bars live above this row at 640 by 480


def right_ship(r, g, b):
    return r > 190 and 80 < g < 150 and b < 60


def left_ship(r, g, b):
    return b > 190 and r < 90 and 110 < g < 200


def right_shot(r, g, b):
    return r > 220 and g > 200 and b < 170


def left_shot(r, g, b):
    return g > 220 and b > 220 and r < 220


def find(image, kind):
    """(count, mean x, mean y) of the pixels of one kind below the bars."""
    n = sx = sy = 0
    for y in range(BAR_ROWS, image.height):
        row = image.pixels[y * image.width:(y + 1) * image.width]
        for x, p in enumerate(row):
            if kind((p >> 16) & 255, (p >> 8) & 255, p & 255):
                n += 1
                sx += x
                sy += y
    return (n, sx / n, sy / n) if n else (0, None, None)


class XTest:
    """Key presses by key code through the XTEST extension. xdotool cannot
    be used for the Ctrl keys: its keydown of Control_R presses Control_L as
    well (it sets the Control modifier through the first key that carries
    it), so both ships would fire."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise AssertionError("cannot open %s for XTEST" % display)

    def hold(self, keysym, seconds):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(keysym.encode()))
        if not code:
            raise AssertionError("no key code for %s" % keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.x11.XFlush(self.display)
        time.sleep(seconds)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XFlush(self.display)

    def close(self):
        self.x11.XCloseDisplay(self.display)


def ship_at(image, kind, axis):
    """Where a ship is on one axis (0: x, 1: row), or None when too little of
    it shows to tell."""
    n, x, y = find(image, kind)
    return (x, y)[axis] if n >= 20 else None


def steer(g, press, release, kind, axis, reached, name):
    """Holds a control (press/release) until a screenshot shows the ship
    where reached(position) holds; fails after the harness's timeout."""
    press()
    try:
        g.wait_picture(lambda image: ship_at(image, kind, axis) is not None
                       and reached(ship_at(image, kind, axis)), name=name)
    finally:
        release()


def shows_both_ships(image):
    return find(image, right_ship)[0] > 50 and find(image, left_ship)[0] > 50


class Match(GameTestCase):
    def start_match(self):
        """The menu, then Return: the menu's first choices put W A S D on
        the left and the cursor keys on the right."""
        g = self.game(settings="640 480 0 0 1").start()
        g.wait_window()
        menu = g.wait_picture(lambda image: image.lit_fraction() > 0.05)
        g.key("Return")
        g.wait_picture(lambda image: image.difference(menu) > 0.2 and shows_both_ships(image))
        return g, menu

    def leave(self, g, menu):
        """Escape goes back to the menu; Escape there ends the run cleanly."""
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2, name="match-back-to-menu")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr, "")

    def test_cursor_keys_steer_the_right_ship(self):
        g, menu = self.start_match()
        # It starts near x 560 of 640.
        steer(g, lambda: g.key_down("Left"), lambda: g.key_up("Left"), right_ship, 0,
              lambda x: x < 250, "match-right-ship-left")
        steer(g, lambda: g.key_down("Right"), lambda: g.key_up("Right"), right_ship, 0,
              lambda x: x > 400, "match-right-ship-right")
        self.leave(g, menu)

    def test_w_and_s_steer_the_left_ship(self):
        g, menu = self.start_match()
        # It starts near row 30 of 480; rows grow downwards.
        steer(g, lambda: g.key_down("s"), lambda: g.key_up("s"), left_ship, 1,
              lambda y: y > 260, "match-left-ship-down")
        steer(g, lambda: g.key_down("w"), lambda: g.key_up("w"), left_ship, 1,
              lambda y: y < 200, "match-left-ship-up")
        self.leave(g, menu)

    def test_each_ctrl_key_fires_from_its_own_ship(self):
        g, menu = self.start_match()
        keys = XTest(g.xvfb.display)
        self.addCleanup(keys.close)
        g.point_into_window()
        before = g.screenshot()
        self.assertLess(find(before, right_shot)[0], 40)
        self.assertLess(find(before, left_shot)[0], 40)

        keys.hold("Control_R", 0.4)
        fired = g.screenshot("match-right-ctrl")
        yellow, _, _ = find(fired, right_shot)
        self.assertGreater(yellow, 150)
        self.assertLess(find(fired, left_shot)[0], 40)

        # Let the right ship's shots leave the field first.
        g.wait_picture(lambda image: find(image, right_shot)[0] < 40)
        keys.hold("Control_L", 0.4)
        fired = g.screenshot("match-left-ctrl")
        self.assertGreater(find(fired, left_shot)[0], 150)
        self.assertLess(find(fired, right_shot)[0], 40)
        self.leave(g, menu)

    def test_p_freezes_the_match_and_p_again_resumes_it(self):
        g, menu = self.start_match()
        # The ships rock all the time, so a running match soon shows another
        # picture (on a busy machine a frame can take a while).
        a = g.screenshot()
        g.wait_picture(lambda image: image.difference(a) > 0.001, timeout=5)

        g.key("p")
        time.sleep(0.3)
        frozen = g.screenshot("match-paused")
        g.hold("Right", 0.8)  # ignored while paused
        time.sleep(0.2)
        self.assertEqual(frozen.difference(g.screenshot()), 0.0)

        g.key("p")
        g.wait_picture(lambda image: image.difference(frozen) > 0.001, timeout=5)
        self.leave(g, menu)


def replay_mark(image):
    """Pixels of the REPLAY mark's red frame, low on the left."""
    n = 0
    for y in range(image.height * 85 // 100, image.height):
        for x in range(image.width // 4):
            r, g, b = image.rgb(x, y)
            n += r > 200 and 60 < g < 130 and b < 110
    return n


class Replay(GameTestCase):
    def test_a_match_left_is_written_confirmed_and_watched_again(self):
        g, menu = Match.start_match(self)
        steer(g, lambda: g.key_down("Left"), lambda: g.key_up("Left"), right_ship, 0,
              lambda x: x < 400, "replay-recorded")
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        path = os.path.join(g.dir, "lastmatch.vkr")
        with open(path, "rb") as f:
            written = f.read()
        self.assertFalse(os.path.exists(path + ".tmp"))
        tool = os.path.join(os.environ["VEKTORAK_BUILD_DIR"], "vk-replay")
        checked = subprocess.run([tool, path], stdout=subprocess.PIPE, timeout=60)
        self.assertEqual(checked.returncode, 0)
        line = json.loads(checked.stdout)
        self.assertEqual((line["left"], line["right"], line["result"], line["matches"]),
                         ("left keys", "right keys", "left the match", True))

        # r watches it in the match view, with the mark; Escape leaves it,
        # and watching writes nothing of its own. Held at once by Space: the
        # match lasted a second or two, and a replay that had played to its
        # end before Escape came would leave Escape to the menu, which quits.
        g.key("r", "space")
        g.wait_picture(lambda image: replay_mark(image) > 100 and shows_both_ships(image),
                       name="replay-watched")
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        # End, at once, takes it to where it was left and holds it there,
        # its bar along the bottom, instead of going back to the menu when
        # its 2 s or so have played.
        g.key("r", "End")
        time.sleep(4)
        held = g.screenshot("replay-end-held")
        track = sum(1 for x in range(100, 620) if sum(held.rgb(x, 470)) > 500)
        self.assertTrue(replay_mark(held) > 100 and track > 400, track)
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), written)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr, "")

    def test_a_place_that_cannot_be_written_costs_one_line(self):
        g = self.game(settings="640 480 0 0 1")
        os.mkdir(os.path.join(g.dir, "lastmatch.vkr"))
        with open(os.path.join(g.dir, "lastmatch.vkr", "in the way"), "w") as f:
            f.write("a folder where the replay would go")
        g.start()
        g.wait_window()
        menu = g.wait_picture(lambda image: image.lit_fraction() > 0.05)
        g.key("Return")
        g.wait_picture(lambda image: shows_both_ships(image))
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertRegex(g.stderr, r"^Unable to write lastmatch\.vkr: [^\n]+\n$")
        self.assertEqual(sorted(os.listdir(g.dir + "/lastmatch.vkr")), ["in the way"])
        self.assertEqual([n for n in os.listdir(g.dir) if n.startswith("lastmatch")], ["lastmatch.vkr"])


if __name__ == "__main__":
    unittest.main()
