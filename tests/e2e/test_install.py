"""Installing: the launcher under a fresh prefix starts the game from its data."""

import os
import shutil
import subprocess
import tempfile
import unittest

from harness import GameTestCase, SHUTDOWN_STDOUT


class Install(GameTestCase):
    def test_installed_launcher_runs_the_game_from_anywhere(self):
        build = os.environ["VEKTORAK_BUILD_DIR"]
        prefix = tempfile.mkdtemp(prefix="vektorak-prefix-")
        self.addCleanup(shutil.rmtree, prefix, True)
        subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                       check=True, stdout=subprocess.DEVNULL)
        launcher = os.path.join(prefix, "bin", "vektorak")
        self.assertTrue(os.access(launcher, os.X_OK))
        with open(os.path.join(prefix, "share", "applications", "vektorak.desktop")) as f:
            entry = f.read()
        self.assertIn("Exec=%s\n" % launcher, entry)
        self.assertTrue(os.path.exists(os.path.join(prefix, "share", "vektorak", "ship.3ds")))

        # Started through a symlink from an unrelated directory, as a menu
        # or a user's ~/bin would.
        elsewhere = tempfile.mkdtemp(prefix="vektorak-elsewhere-")
        self.addCleanup(shutil.rmtree, elsewhere, True)
        os.symlink(launcher, os.path.join(elsewhere, "vk"))
        g = self.game(with_data=False, binary=os.path.join(elsewhere, "vk")).start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2, name="installed-menu")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        # Every file was found: not a word on standard error.
        self.assertEqual(g.stderr, "")


if __name__ == "__main__":
    unittest.main()
