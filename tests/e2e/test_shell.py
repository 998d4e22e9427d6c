"""Start-up, settings, window, shutdown: the game as a player starts it."""

import time
import unittest

from harness import GameTestCase, NO_SETTINGS_MESSAGE, SHUTDOWN_STDOUT


def shows_something(image):
    return image.lit_fraction() > 0.05


class StartAndQuit(GameTestCase):
    def test_no_settings_file_gives_defaults_and_escape_quits_cleanly(self):
        g = self.game(settings=None).start()
        g.wait_window()
        self.assertEqual(g.window_size(), (640, 480))
        g.wait_picture(shows_something, name="shell-menu")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr.count(NO_SETTINGS_MESSAGE), 1, g.stderr)
        self.assertTrue(g.stderr.startswith(NO_SETTINGS_MESSAGE), g.stderr)

    def test_settings_file_sets_the_window_size(self):
        g = self.game(settings="800 600").start()
        g.wait_window()
        self.assertEqual(g.window_size(), (800, 600))
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertNotIn("inicialization", g.stderr)

    def test_first_item_not_a_number_gives_defaults_silently(self):
        g = self.game(settings="big 800 600\n").start()
        g.wait_window()
        self.assertEqual(g.window_size(), (640, 480))
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertNotIn("inicialization", g.stderr)

    def test_zero_height_fills_the_window_sdl_opens(self):
        # SDL opens the display's height for 0; the picture must fill it
        # rather than a viewport of no height.
        g = self.game(settings="640 0\n").start()
        g.wait_window()
        width, height = g.window_size()
        self.assertEqual(width, 640)
        self.assertGreater(height, 0)
        g.wait_picture(shows_something)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)

    def test_refused_video_mode_opens_640_by_480(self):
        # In the settings' range, past what SDL opens: once exit code 2. Full
        # screen, which SDL refuses at once: a window that size costs the X
        # server seconds of a core, starving the tests beside this one.
        g = self.game(settings="16384 16384 0 1").start()
        g.wait_window()
        self.assertEqual(g.window_size(), (640, 480))
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertTrue(g.stderr.startswith("Unable to create OpenGL screen: "), g.stderr)
        # SDL's own reason follows the colon.
        self.assertGreater(len(g.stderr.splitlines()[0]), len("Unable to create OpenGL screen: "))

    def test_window_closed_by_the_window_system_shuts_down(self):
        g = self.game(settings="640 480").start()
        g.wait_window()
        g.wait_picture(shows_something)
        g.close_window()
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)

    def test_sdl_that_cannot_start_exits_with_code_1(self):
        # A video driver that does not exist makes SDL_Init fail. Without a
        # display SDL would fall back to a text-mode driver: the game must
        # not let it start, and says so in one line.
        for env, said in (({"SDL_VIDEODRIVER": "nosuchdriver"}, "Unable to initialize SDL: "),
                          ({"SDL_VIDEODRIVER": "", "DISPLAY": ""}, "No display: ")):
            with self.subTest(env=env):
                g = self.game(settings="640 480", game_env=env).start()
                self.assertEqual(g.wait_exit(), 1)
                self.assertEqual(g.stdout, "Setting Loaded.\n")
                self.assertTrue(g.stderr.startswith(said), g.stderr)
                self.assertEqual(g.stderr.count("\n"), 1, g.stderr)

    def test_keys_beyond_the_characters_do_not_pass_for_menu_keys(self):
        # F2's low byte is Escape's and keypad minus's is Return's: neither
        # may quit or start a match. F1 toggles the screen mode and nothing
        # else (whether it reaches a screen is shown on the result screen,
        # which takes any key: test_frontend).
        g = self.game(settings="640 480").start()
        g.wait_window()
        before = g.wait_picture(shows_something)
        for key in ("F2", "KP_Subtract", "F1", "F1"):
            g.key(key)
            time.sleep(0.4)
        self.assertIsNone(g.proc.poll(), "a key beyond 255 quit the game")
        g.point_into_window()
        after = g.wait_picture(shows_something)
        self.assertLess(before.difference(after), 0.5, "a key beyond 255 left the menu")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        for line in g.stderr.splitlines():
            self.assertTrue(line.startswith("Unable to toggle fullscreen: "), line)

    def test_return_starts_a_match_and_escape_comes_back(self):
        g = self.game(settings="640 480").start()
        g.wait_window()
        menu = g.wait_picture(shows_something)
        g.key("Return")
        match = g.wait_picture(lambda image: image.difference(menu) > 0.2, name="shell-match")
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(match) > 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)


if __name__ == "__main__":
    unittest.main()
