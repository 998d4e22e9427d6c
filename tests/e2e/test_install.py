"""Installing from source: the launcher under a fresh prefix starts the game
in the player's own folder, linked to the data under the prefix."""

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
        self.assertIn("Exec=%s %%f\n" % launcher, entry)
        self.assertIn("Icon=vektorak\n", entry)
        self.assertTrue(os.path.exists(os.path.join(prefix, "share", "icons", "hicolor", "48x48", "apps",
                                                    "vektorak.png")))
        shipped = os.path.join(prefix, "share", "games", "vektorak")
        self.assertTrue(os.path.exists(os.path.join(shipped, "ship.3ds")))
        # The modder's tool, left out of the package, comes with a source
        # install.
        self.assertTrue(os.access(os.path.join(prefix, "bin", "vk-modelinfo"), os.X_OK))

        # Started through a symlink from an unrelated directory, as a menu
        # or a user's ~/bin would.
        elsewhere = tempfile.mkdtemp(prefix="vektorak-elsewhere-")
        self.addCleanup(shutil.rmtree, elsewhere, True)
        os.symlink(launcher, os.path.join(elsewhere, "vk"))
        # A scratch home: the launcher makes the player's folder there.
        home = tempfile.mkdtemp(prefix="vektorak-home-")
        self.addCleanup(shutil.rmtree, home, True)
        g = self.game(with_data=False, binary=os.path.join(elsewhere, "vk"),
                      env={"HOME": home, "XDG_DATA_HOME": "", "XDG_RUNTIME_DIR": home}).start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2, name="installed-menu")
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        # Every file was found: not a word on standard error.
        self.assertEqual(g.stderr, "")
        # The player's folder holds the settings alone; the game ran where
        # the launcher put links to the shipped files.
        self.assertEqual(os.listdir(os.path.join(home, ".local", "share", "vektorak")), ["vkt.txt"])


if __name__ == "__main__":
    unittest.main()
