"""A player on a gamepad: the real game, its real SDL joystick path, and a
joystick device made by fakepad.c, judged from screenshots as test_match.py
judges the keyboard players."""

import unittest

from harness import FakePad, GameTestCase, SHUTDOWN_STDOUT
from test_match import find, left_shot, right_ship, right_shot, shows_both_ships, steer


class Gamepad(GameTestCase):
    def test_one_pad_starts_the_match_and_steers_and_fires_the_right_ship(self):
        pad = FakePad()
        self.addCleanup(pad.close)
        g = self.game(settings="640 480 0 0 1", game_env=pad.game_env()).start()
        g.wait_window()
        # The menu's first choices: W A S D on the left, the cursor keys on
        # the right, and with them the first pad.
        menu = g.wait_picture(lambda image: image.lit_fraction() > 0.05)
        pad.press(1)
        g.wait_picture(lambda image: image.difference(menu) > 0.2 and shows_both_ships(image),
                       name="pad-match")

        # The right ship starts near x 560 of 640.
        steer(g, lambda: pad.axis(0, -32767), lambda: pad.axis(0, 0), right_ship, 0,
              lambda x: x < 250, "pad-right-ship-left")
        steer(g, lambda: pad.axis(0, 32767), lambda: pad.axis(0, 0), right_ship, 0,
              lambda x: x > 400, "pad-right-ship-right")

        g.wait_picture(lambda image: find(image, right_shot)[0] < 40)
        pad.button(2, True)
        fired = g.wait_picture(lambda image: find(image, right_shot)[0] > 150, name="pad-fire")
        pad.button(2, False)
        self.assertLess(find(fired, left_shot)[0], 40)

        g.key("Escape")
        g.wait_picture(lambda image: image.difference(menu) < 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr, "")
        opened, open_at_quit = pad.descriptors()
        self.assertGreater(opened, 0, "the game never opened the pad")
        self.assertEqual(open_at_quit, set(), "pad still open when SDL_Quit came")


if __name__ == "__main__":
    unittest.main()
