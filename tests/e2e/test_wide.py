"""Windows from 5:4 to 21:9: the menu, a match and the result fill them to
their edges, and a 4:3 window shows the menu and a match as it always did.

The games run without their models, so that nothing in the picture moves but
the health bars: what is left is what the pictures cover."""

import os
import time
import unittest

from harness import ACE_COMPUTER_SEED, Game, GameTestCase, Image, SHOTS
from test_frontend import still, wait_still

# 5:4, 4:3, 16:9 and 21:9, each with the three screens.
WINDOWS = ((1280, 1024), (640, 480), (1280, 720), (1680, 720))
# The menu and a match at 4:3 as they were before the pictures grew wide,
# taken without the moving models (tests/e2e/reference/). The menu's was
# taken again when its key caps came to be written at run time and its help
# panel to name s (outside those panels not a pixel had changed), when
# the network screen's key came under the tagline, and when the replay
# screen's joined it; the match's, when a pause came to say so.
REFERENCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference")
MODELS = ("logo.3ds", "ship.3ds", "ship2.3ds", "zat.3ds", "zat2.3ds")


def black_runs(image, longest=3):
    """Where the outer 5 % of the window on each side holds `longest` or more
    pure black pixels in a row, across or down: (x, y) of the first few."""
    w, h = image.width, image.height
    bx, by = max(1, w // 20), max(1, h // 20)
    bands = [(0, 0, bx, h), (w - bx, 0, w, h), (0, 0, w, by), (0, h - by, w, h)]
    found = []
    for x0, y0, x1, y1 in bands:
        for lines, along in (((range(y0, y1)), lambda y: ((x, y) for x in range(x0, x1))),
                             ((range(x0, x1)), lambda x: ((x, y) for y in range(y0, y1)))):
            for line in lines:
                run = 0
                for x, y in along(line):
                    run = run + 1 if image.at(x, y) == 0 else 0
                    if run == longest:
                        found.append((x, y))
                        break
                if len(found) > 4:
                    return found
    return found


def pixels_changed(now, before):
    """Pixels that differ, but for those that were pure black before: the
    gaps the pictures now cover."""
    return sum(1 for p, q in zip(now.pixels, before.pixels) if p != q and q != 0)


def unlike(a, b, share=0.3):
    """More than `share` of every 17th pixel changed by more than 24 in a
    channel: cheap enough to poll a 21:9 window with."""
    seen = changed = 0
    for i in range(0, len(a.pixels), 17):
        p, q = a.pixels[i], b.pixels[i]
        seen += 1
        if any(abs(((p >> s) & 255) - ((q >> s) & 255)) > 24 for s in (0, 8, 16)):
            changed += 1
    return changed > share * seen


class WideWindows(GameTestCase):
    # The four windows side by side, none over another, so that each one's
    # screenshot is its own picture and the pointer in it gives it the keys.
    PLACES = {(1280, 1024): (0, 0), (1680, 720): (1280, 0), (640, 480): (0, 1024), (1280, 720): (1280, 720)}
    SCREEN = (2960, 1504)

    def test_menu_match_and_result_fill_every_window_and_4_3_is_as_before(self):
        # All four games play their matches at once: one match's length for
        # the table instead of four.
        games = {}
        for size in WINDOWS:
            g = self.game(settings="%d %d 0 0 1\n" % size,
                          game_env={"VEKTORAK_MATCH_SEED": str(ACE_COMPUTER_SEED)})
            for name in MODELS:
                os.remove(os.path.join(g.dir, name))
            games[size] = g.start()
        self.find_windows(games)
        menus = {size: wait_still(g, 30) for size, g in games.items()}
        for g in games.values():
            g.point_into_window()
            g.key("o", "o", "o")  # the ace on the left
            g.key("p", "p")  # the computer on the right
            time.sleep(0.5)
            g.key("Return", "p")  # and paused at once, before the first hit moves a bar
        matches = {}
        for size, g in games.items():
            g.wait_picture(lambda image: unlike(image, menus[size]), timeout=30)
            quiet, matches[size] = still(g)
            self.assertTrue(quiet, "the paused match moved at %dx%d" % size)
        for g in games.values():
            g.point_into_window()
            g.key("p")
        results = self.wait_results(games, matches, timeout=240)
        for size in WINDOWS:
            with self.subTest(size=size):
                self.check(size, menus[size], matches[size], results[size])

    def find_windows(self, games, timeout=30):
        """Each game's window, told apart by its size, moved to its place."""
        deadline = time.time() + timeout
        probe = Game(self.xvfb, with_data=False)  # only for its X helpers
        self.addCleanup(probe.cleanup)
        while time.time() < deadline and any(g.window is None for g in games.values()):
            for g in games.values():
                if g.proc.poll() is not None:
                    raise AssertionError("game exited with %d: %s" % (g.proc.returncode, g.read_stderr()))
            for probe.window in probe.x(["xdotool", "search", "--name", "^Vektorak$"], check=False).split():
                g = games.get(probe.window_size())
                if g is not None:
                    g.window = probe.window
            time.sleep(0.2)
        for size, g in games.items():
            self.assertIsNotNone(g.window, "no window of %dx%d within %d s" % (size + (timeout,)))
            g.x(["xdotool", "windowmove", "--sync", g.window] + [str(v) for v in self.PLACES[size]])

    def wait_results(self, games, matches, timeout):
        """Polls every match in turn until each shows its result: unlike the
        match, and still from one poll to the next (a wreck moves)."""
        deadline = time.time() + timeout
        results = {}
        previous = {}
        while len(results) < len(games):
            if time.time() > deadline:
                for size, g in games.items():
                    if size not in results:
                        g.screenshot("wide-%dx%d-timeout" % size)
                raise AssertionError("no result screen within %d s at %s"
                                     % (timeout, [s for s in games if s not in results]))
            for size, g in games.items():
                if size not in results:
                    image = g.screenshot()
                    if (unlike(image, matches[size], 0.05) and size in previous
                            and not unlike(image, previous[size], 0.0)):
                        results[size] = image
                    previous[size] = image
            time.sleep(0.5)
        return results

    def check(self, size, menu, match, result):
        for screen, image in (("menu", menu), ("match", match), ("result", result)):
            name = "%s-%dx%d" % ((screen,) + size)
            if SHOTS:
                os.makedirs(SHOTS, exist_ok=True)
                image.save_png(os.path.join(SHOTS, "wide-%s.png" % name))
            self.assertEqual(black_runs(image), [], "black at the edge of the " + name)
            if size == (640, 480) and screen != "result":
                before = Image.load_png(os.path.join(REFERENCE, name + ".png"))
                self.assertEqual(pixels_changed(image, before), 0, name + " changed")


if __name__ == "__main__":
    unittest.main()
