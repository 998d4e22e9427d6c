"""The menu left alone plays a demo, which a key ends and nothing keeps."""

import os
import re

from harness import GameTestCase, SHUTDOWN_STDOUT

DEMO_LINE = re.compile(r"Demo match: (computer|pilot|ace|master) against (computer|pilot|ace|master), seed \d+\.\n")


def demo_letters(image):  # DEMO's amber capitals, low in the middle of a 640 by 480 window
    return sum(1 for y in range(424, 448) for x in range(290, 350)
               if (lambda r, g, b: r > 180 and 110 < g < 240 and b < 130)(*image.rgb(x, y)))


class Demo(GameTestCase):
    def test_the_idle_menu_plays_a_demo_that_return_ends_without_starting_a_match(self):
        g = self.game(settings="640 480 0 0 1 100 60 120 4\n")
        files = os.listdir(g.dir) + [".stderr", ".stdout"]
        g.start()
        g.wait_window()
        menu = g.wait_picture(lambda image: image.lit_fraction() > 0.05)
        g.wait_picture(lambda image: image.difference(menu) > 0.2 and demo_letters(image) > 60, 15, "demo")
        # A match Return started in the menu would be unlike it at once.
        g.key("Return")
        g.wait_picture(lambda image: image.difference(menu) < 0.2, name="demo-left")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        said = (len(DEMO_LINE.findall(g.stdout)), DEMO_LINE.sub("", g.stdout), g.stderr)
        self.assertEqual(said, (1, SHUTDOWN_STDOUT, ""))
        self.assertEqual(sorted(os.listdir(g.dir)), sorted(files))
