"""Kept matches are listed on the replay screen, watched from it and sought in."""

import os
import shutil
import time

from harness import GameTestCase

REPLAYS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "replays")

# A 640 by 480 window: the list's first three lines, and the bar's middle row.
LINES = (93, 113, 133)
BAR_ROW = 470


def lettered(image, y):  # bright pixels of a list line's text
    return sum(1 for x in range(15, 630) if sum(image.rgb(x, y)) > 450)


def chosen_line(image):  # the line under the blue band of the chosen one
    return [y for y in LINES if image.rgb(300, y - 4)[2] > 90]


def position(image):  # the bar's white mark of where the replay stands
    xs = [x for x in range(80, 640) if min(image.rgb(x, BAR_ROW)) > 245]
    return sum(xs) / len(xs) if xs else None


class ReplayScreen(GameTestCase):
    def test_two_kept_matches_are_listed_one_is_watched_and_right_seeks(self):
        g = self.game(settings="640 480 0 0 1 100 60\n")
        # One kept by hand, as a player would put a friend's file there; the
        # other by the game, below.
        os.makedirs(os.path.join(g.dir, "replays"))
        shutil.copy(os.path.join(REPLAYS_DIR, "computers_left_wins.vkr"),
                    os.path.join(g.dir, "replays", "2026-01-02_03-04-05_computer_vs_computer.vkr"))
        g.start()
        g.wait_window()
        menu = g.wait_picture(lambda image: image.lit_fraction() > 0.05)
        g.key("Return")
        g.wait_picture(lambda image: image.difference(menu) > 0.2, name="match")
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        g.key("l")
        listed = g.wait_picture(lambda image: [lettered(image, y) > 40 for y in LINES] == [True, True, False],
                                name="replay-list")
        self.assertEqual(chosen_line(listed), [LINES[0]])  # the newest, the match just left

        g.key("Down", "Return")
        g.wait_picture(lambda image: position(image) is not None, name="replay-watched")
        g.key("space")
        time.sleep(0.5)
        before = position(g.screenshot("replay-paused"))
        g.key("Right")
        # 5 s of a 58.8 s replay along a track of about 550 pixels.
        after = g.wait_picture(lambda image: position(image) is not None and position(image) > before + 30,
                               name="replay-sought")
        self.assertLess(position(after) - before, 60)

        g.key("Escape")
        back = g.wait_picture(lambda image: lettered(image, LINES[1]) > 40, name="replay-list-again")
        self.assertEqual(chosen_line(back), [LINES[1]])
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        kept = sorted(os.listdir(os.path.join(g.dir, "replays")))
        self.assertEqual(len(kept), 2, kept)
        self.assertTrue(kept[1].endswith("_left-keys_vs_right-keys.vkr"), kept)
