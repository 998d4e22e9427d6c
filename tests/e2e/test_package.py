"""The Debian package, as a player gets it.

CPack makes the package from the build under test into a scratch folder, and
dpkg-deb -x unpacks it into a scratch root: nothing is installed into the
machine's own /usr. Debian's own tools judge the result (lintian,
desktop-file-validate, appstreamcli, groff, man), and the launcher is
started from the unpacked root, from another directory, with a scratch HOME.
"""

import gzip
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import unittest

from harness import DATA_DIR, GameTestCase, SHUTDOWN_STDOUT

BUILD_DIR = os.environ.get("VEKTORAK_BUILD_DIR", "")
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ICON_SIZES = (48, 128, 256)
NOBODY = 65534


def cache_value(name):
    with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def run(args, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, timeout=300, **kwargs)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class Package(GameTestCase):
    @classmethod
    def setUpClass(cls):
        if cache_value("VEKTORAK_SANITIZE") == "ON":
            raise unittest.SkipTest("the package is made from the plain build")
        cls.version = cache_value("CMAKE_PROJECT_VERSION")
        cls.work = tempfile.mkdtemp(prefix="vektorak-package-")
        cls.addClassCleanup(shutil.rmtree, cls.work, True)
        # Readable by the unprivileged player of the fallback test.
        os.chmod(cls.work, 0o755)
        made = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"),
                    "-B", cls.work])
        if made.returncode != 0:
            raise AssertionError("cpack failed:\n" + made.stdout + made.stderr)
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        cls.deb = os.path.join(cls.work, "vektorak_%s_%s.deb" % (cls.version, arch))
        if not os.path.isfile(cls.deb):
            raise AssertionError("no %s; cpack made: %s" % (cls.deb, os.listdir(cls.work)))
        cls.root = os.path.join(cls.work, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True, timeout=120)
        cls.shipped = os.path.join(cls.root, "usr", "share", "games", "vektorak")
        cls.launcher = os.path.join(cls.root, "usr", "games", "vektorak")
        super().setUpClass()

    def path(self, relative):
        return os.path.join(self.root, relative)

    # --- what the package holds ---------------------------------------------
    def test_control_fields_and_file_layout(self):
        fields = {}
        for name in ("Package", "Version", "Section", "Depends", "Description"):
            fields[name] = run(["dpkg-deb", "-f", self.deb, name]).stdout.strip()
        self.assertEqual(fields["Package"], "vektorak")
        self.assertEqual(fields["Version"], self.version)
        self.assertEqual(fields["Section"], "games")
        # Worked out by dpkg-shlibdeps from what the game links.
        for library in ("libc6", "libsdl1.2debian", "libsdl-image1.2", "libsdl-mixer1.2", "libenet7", "libminiupnpc17"):
            self.assertIn(library, fields["Depends"])
        self.assertGreater(len(fields["Description"].splitlines()), 2, "summary and description")
        # Sound and music included, the package stays small.
        self.assertLess(os.path.getsize(self.deb), 4 * 1024 * 1024)

        self.assertTrue(os.access(self.launcher, os.X_OK))
        game = self.path("usr/libexec/vektorak/vektorak")
        self.assertTrue(os.access(game, os.X_OK))
        kind = run(["file", "-b", game]).stdout
        self.assertIn("ELF", kind)
        self.assertRegex(kind, r"\bstripped\b")
        self.assertNotIn("not stripped", kind)
        # Every file the build gives the game, and nothing else; a match played
        # there (the soak test's) leaves a recording and replays, which the
        # install skips.
        self.assertEqual(sorted(os.listdir(self.shipped)),
                         sorted(n for n in os.listdir(DATA_DIR) if not n.startswith("lastmatch.vkr") and n != "replays"))
        for name in os.listdir(self.shipped):
            with open(os.path.join(self.shipped, name), "rb") as a, open(os.path.join(DATA_DIR, name), "rb") as b:
                self.assertTrue(a.read() == b.read(), name)
        for size in ICON_SIZES:
            icon = self.path("usr/share/icons/hicolor/%dx%d/apps/vektorak.png" % (size, size))
            self.assertEqual(png_size(icon), (size, size), icon)
        for name in ("usr/share/applications/vektorak.desktop", "usr/share/man/man6/vektorak.6.gz",
                     "usr/share/doc/vektorak/copyright", "usr/share/doc/vektorak/changelog.gz"):
            self.assertTrue(os.path.isfile(self.path(name)), name)
        self.assertEqual(len(os.listdir(self.path("usr/share/metainfo"))), 1)
        # Debian keeps games out of /usr/bin; the modder's tool stays out.
        self.assertFalse(os.path.exists(self.path("usr/bin")))
        self.assertFalse(os.path.exists(self.path("usr/share/vektorak")))

    def test_copyright_changelog_and_metainfo_agree_with_the_sources(self):
        with open(self.path("usr/share/doc/vektorak/copyright")) as f:
            copyright_file = f.read()
        with open(os.path.join(SOURCE_DIR, "LICENSE")) as f:
            licence = f.read()
        self.assertTrue(copyright_file.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("\nLicense: Expat\n", copyright_file)
        # The licence's text, line for line, in the file's indented form.
        body = licence[licence.index("Permission is hereby granted"):].strip()
        folded = "\n".join(" " + line if line else " ." for line in body.split("\n"))
        self.assertIn(folded, copyright_file)
        self.assertIn("DejaVu", copyright_file)
        self.assertIn("\nLicense: bitstream-vera\n", copyright_file)

        with gzip.open(self.path("usr/share/doc/vektorak/changelog.gz"), "rt") as f:
            first = f.readline()
        self.assertTrue(first.startswith("vektorak (%s) " % self.version), first)

        metainfo_dir = self.path("usr/share/metainfo")
        with open(os.path.join(metainfo_dir, os.listdir(metainfo_dir)[0])) as f:
            metainfo = f.read()
        self.assertIn('<release version="%s"' % self.version, metainfo)
        # The README's three screenshots, by the names they have in docs/.
        shots = re.findall(r"<image>[^<]*/docs/([^<]+)</image>", metainfo)
        self.assertEqual(sorted(shots), ["match.png", "menu.png", "result.png"])
        for shot in shots:
            self.assertTrue(os.path.isfile(os.path.join(SOURCE_DIR, "docs", shot)), shot)

    def test_lintian_finds_no_errors_or_warnings(self):
        # Lintian leaves a file of its own in TMPDIR: the scratch folder takes it.
        checked = run(["lintian", "--display-info", "--pedantic", "--tag-display-limit", "0",
                       "--fail-on", "error,warning", self.deb], env=dict(os.environ, TMPDIR=self.work))
        tags = [line for line in checked.stdout.splitlines() if re.match(r"^[EWIPXOC]: ", line)]
        bad = [line for line in tags if line[0] in "EW"]
        self.assertEqual(bad, [], "\n".join(tags))
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        # What remains is informational or pedantic: shown, not failed.
        print("\n".join(tags))

    def test_desktop_entry_metainfo_and_manual_page_validate(self):
        entry = self.path("usr/share/applications/vektorak.desktop")
        checked = run(["desktop-file-validate", entry])
        self.assertEqual((checked.returncode, checked.stdout + checked.stderr), (0, ""))
        with open(entry) as f:
            lines = f.read().splitlines()
        self.assertIn("Exec=/usr/games/vektorak %f", lines)
        self.assertIn("MimeType=application/x-vektorak-replay;", lines)
        self.assertIn("Icon=vektorak", lines)
        self.assertIn("Categories=Game;ActionGame;", lines)

        metainfo_dir = self.path("usr/share/metainfo")
        checked = run(["appstreamcli", "validate", "--no-net", "--pedantic",
                       os.path.join(metainfo_dir, os.listdir(metainfo_dir)[0])])
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

        manual = os.path.join(self.work, "vektorak.6")
        with gzip.open(self.path("usr/share/man/man6/vektorak.6.gz"), "rb") as f, open(manual, "wb") as out:
            out.write(f.read())
        # groff exits 0 on warnings: what it prints is the verdict.
        rendered = run(["groff", "-ww", "-man", "-Tutf8", manual])
        self.assertEqual((rendered.returncode, rendered.stderr), (0, ""))
        # Bold comes out as overstrikes; an empty page would pass silently.
        self.assertIn("EXIT STATUS", re.sub(".\x08", "", rendered.stdout))
        shown = run(["man", "--warnings", "-l", manual], env=dict(os.environ, MANWIDTH="80"))
        self.assertEqual((shown.returncode, shown.stderr), (0, ""))
        self.assertIn("vkt.txt", shown.stdout)

    # --- the launcher and the player's folder ----------------------------------
    def scratch(self, mode=0o755):
        path = tempfile.mkdtemp(prefix="vektorak-home-")
        self.addCleanup(shutil.rmtree, path, True)
        os.chmod(path, mode)
        return path

    def play(self, env, expect_size=None, binary=None):
        """Starts the launcher from a scratch directory, waits for the menu,
        checks the window's size, quits with Escape; returns the game."""
        g = self.game(with_data=False, binary=binary or self.launcher, env=env)
        os.chmod(g.dir, 0o755)
        g.start()
        g.wait_window()
        if expect_size:
            self.assertEqual(g.window_size(), expect_size)
        g.wait_picture(lambda image: image.lit_fraction() > 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0, g.stderr)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        return g

    def test_first_start_makes_the_players_folder_and_edited_settings_take_effect(self):
        home = self.scratch()
        env = {"HOME": home, "XDG_DATA_HOME": "", "XDG_RUNTIME_DIR": self.scratch()}
        g = self.play(env, expect_size=(640, 480))
        self.assertEqual(g.stderr, "")
        folder = os.path.join(home, ".local", "share", "vektorak")
        # Only the settings: a copy of its own, which the player can edit.
        self.assertEqual(os.listdir(folder), ["vkt.txt"])
        settings = os.path.join(folder, "vkt.txt")
        self.assertFalse(os.path.islink(settings))
        with open(settings) as mine, open(os.path.join(self.shipped, "vkt.txt")) as shipped:
            self.assertEqual(mine.read(), shipped.read())

        with open(settings, "w") as f:
            f.write("800 600\n")
        self.play(env, expect_size=(800, 600))
        with open(settings) as f:
            self.assertEqual(f.read(), "800 600\n")

    def working_folders(self, runtime):
        return [os.path.join(runtime, name) for name in os.listdir(runtime) if name.startswith("vektorak.")]

    def test_players_own_files_come_first_and_old_links_go(self):
        data_home, runtime = self.scratch(), self.scratch()
        env = {"HOME": self.scratch(), "XDG_DATA_HOME": data_home, "XDG_RUNTIME_DIR": runtime}
        self.play(env)
        folder = os.path.join(data_home, "vektorak")
        own_ship = os.path.join(folder, "ship.3ds")
        shutil.copy(os.path.join(self.shipped, "ship2.3ds"), own_ship)
        own_bolt = os.path.join(self.scratch(), "my-bolt.3ds")
        shutil.copy(os.path.join(self.shipped, "zat2.3ds"), own_bolt)
        os.symlink(own_bolt, os.path.join(folder, "zat.3ds"))
        # Left by an earlier launcher, into the shipped folder or one of an
        # install that is gone: both go.
        os.symlink(os.path.join(self.shipped, "ship2.3ds"), os.path.join(folder, "ship2.3ds"))
        os.symlink("/nonexistent/share/games/vektorak/logo.3ds", os.path.join(folder, "logo.3ds"))
        # Deleted by the player: the shipped settings come back.
        os.remove(os.path.join(folder, "vkt.txt"))

        # While the game runs: a working folder of the player's files first,
        # the shipped ones after.
        g = self.game(with_data=False, binary=self.launcher, env=env).start()
        g.wait_window()
        works = self.working_folders(runtime)
        self.assertEqual(len(works), 1, works)
        work = works[0]
        self.assertEqual(os.readlink(os.path.join(work, "ship.3ds")), own_ship)
        self.assertEqual(os.readlink(os.path.join(work, "zat.3ds")), os.path.join(folder, "zat.3ds"))
        self.assertEqual(os.readlink(os.path.join(work, "ship2.3ds")), os.path.join(self.shipped, "ship2.3ds"))
        self.assertEqual(os.readlink(os.path.join(work, "logo.3ds")), os.path.join(self.shipped, "logo.3ds"))
        self.assertEqual(os.readlink(os.path.join(work, "vkt.txt")), os.path.join(folder, "vkt.txt"))
        self.assertEqual(sorted(n for n in os.listdir(work) if not n.startswith(".")),
                         sorted(os.listdir(self.shipped)))
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0, g.stderr)
        self.assertEqual(g.stderr, "")
        self.assertEqual(sorted(os.listdir(folder)), ["ship.3ds", "vkt.txt", "zat.3ds"])
        self.assertFalse(os.path.islink(own_ship))
        self.assertEqual(os.readlink(os.path.join(folder, "zat.3ds")), own_bolt)
        self.assertFalse(os.path.islink(os.path.join(folder, "vkt.txt")))
        # The game has ended: its working folder is gone.
        self.assertEqual(self.working_folders(runtime), [])

    def as_nobody(self, command):
        """A script that runs `command` (a list) as the unprivileged user."""
        script = os.path.join(self.scratch(), "as-nobody")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nexec setpriv --reuid=%d --regid=%d --clear-groups -- %s "$@"\n'
                    % (NOBODY, NOBODY, " ".join('"%s"' % c for c in command)))
        os.chmod(script, 0o755)
        return script

    def test_a_player_saves_own_files_with_cp_and_nothing_reaches_the_shipped_folder(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to play as the unprivileged user")
        home, runtime = self.scratch(mode=0o777), self.scratch(mode=0o777)
        env = {"HOME": home, "XDG_DATA_HOME": "", "XDG_RUNTIME_DIR": runtime}
        self.play(env, binary=self.as_nobody([self.launcher]))
        folder = os.path.join(home, ".local", "share", "vektorak")
        shipped_ship = os.path.join(self.shipped, "ship.3ds")
        with open(shipped_ship, "rb") as f:
            before = f.read()
        mine = os.path.join(self.scratch(mode=0o755), "myship.3ds")
        shutil.copy(os.path.join(self.shipped, "ship2.3ds"), mine)
        os.chmod(mine, 0o644)
        # The README's step, as the player...
        copied = run([self.as_nobody(["cp", mine, os.path.join(folder, "ship.3ds")])])
        self.assertEqual((copied.returncode, copied.stderr), (0, ""))
        # ...and as root, whom no permission stops.
        copied = run(["cp", mine, os.path.join(folder, "ship2.3ds")])
        self.assertEqual((copied.returncode, copied.stderr), (0, ""))
        with open(shipped_ship, "rb") as f:
            self.assertTrue(f.read() == before, "cp wrote through into the shipped ship.3ds")
        for name in ("ship.3ds", "ship2.3ds"):
            self.assertFalse(os.path.islink(os.path.join(folder, name)), name)

        # A sound of the player's own, written by hand: a constant level
        # no baked sound holds, heard when the menu choice changes. Music off.
        samples = 8000
        wav = (b"RIFF" + struct.pack("<I", 36 + 2 * samples) + b"WAVEfmt " +
               bytes([16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xac, 0, 0, 2, 0, 16, 0]) +
               b"data" + struct.pack("<I", 2 * samples) + b"\x00\x70" * samples)
        with open(os.path.join(folder, "menu_choice.wav"), "wb") as f:
            f.write(wav)
        with open(os.path.join(folder, "vkt.txt"), "w") as f:
            f.write("640 480 0 0 1 100 0\n")
        audio = os.path.join(self.scratch(mode=0o777), "audio.raw")
        g = self.game(with_data=False, binary=self.as_nobody([self.launcher]),
                      env=dict(env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio, SDL_DISKAUDIODELAY="11"))
        os.chmod(g.dir, 0o755)
        g.start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2)
        g.key("o")
        time.sleep(1.0)
        # A match left at once: its recording ends up in the player's folder.
        g.key("Return")
        time.sleep(1.0)
        g.key("Escape")
        time.sleep(1.0)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0, g.stderr)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        recording = os.path.join(folder, "lastmatch.vkr")
        self.assertTrue(os.path.isfile(recording) and not os.path.islink(recording))
        # And its copy in the player's replays, not in the working folder that went.
        self.assertEqual(len(os.listdir(os.path.join(folder, "replays"))), 1)
        self.assertEqual(os.stat(recording).st_uid, NOBODY)
        # So does the menu's changed choice, which the game keeps in controls.txt.
        with open(os.path.join(folder, "controls.txt")) as f:
            self.assertIn("left.choice = computer\n", f.read())
        self.assertEqual(self.working_folders(runtime), [])
        with open(audio, "rb") as f:
            data = f.read()
        left = struct.unpack("<%dh" % (len(data) // 4 * 2), data[:len(data) // 4 * 4])[0::2]
        run_length, longest = 0, 0
        for i in range(1, len(left)):
            run_length = run_length + 1 if left[i] == left[i - 1] and left[i] != 0 else 0
            longest = max(longest, run_length)
        self.assertGreater(longest, 4000, "the player's own menu_choice.wav was not heard")

    def test_a_replay_opens_from_where_the_player_is_and_its_file_type_is_declared(self):
        # The type as a file manager asks it, from the package's declaration
        # alone in a scratch database: by the name, and by the first bytes
        # of a replay renamed; a text file stays text.
        share = self.scratch()
        shutil.copytree(self.path("usr/share/mime"), os.path.join(share, "mime"))
        env = dict(os.environ, XDG_DATA_HOME=share, XDG_DATA_DIRS=share, XDG_CURRENT_DESKTOP="GNOME",
                   GIO_USE_VFS="local")
        self.assertEqual(run(["update-mime-database", os.path.join(share, "mime")], env=env).returncode, 0)
        with open(os.path.join(SOURCE_DIR, "tests", "replays", "ace_against_pilot.vkr"), "rb") as f:
            replay = f.read()
        for name, data, kind in (("cut.vkr", replay[:30], "application/x-vektorak-replay"),
                                 ("duel", replay, "application/x-vektorak-replay"), ("notes", b"hello\n", "text/plain")):
            with open(os.path.join(share, name), "wb") as f:
                f.write(data)
            asked = run(["xdg-mime", "query", "filetype", os.path.join(share, name)], env=env)
            self.assertEqual(asked.stdout.strip(), kind, name + asked.stderr)

        # Named relative to the player's folder: the launcher makes the name
        # absolute before it enters the game's; a replay cut short is one
        # line, and the menu.
        g = self.game(with_data=False, binary=self.launcher, args=["cut.vkr"],
                      env={"HOME": self.scratch(), "XDG_DATA_HOME": self.scratch(), "XDG_RUNTIME_DIR": self.scratch()})
        shutil.copy(os.path.join(share, "cut.vkr"), g.dir)
        g.start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2)
        g.key("Escape")
        self.assertEqual(g.wait_exit(), 0, g.stderr)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        self.assertEqual(g.stderr, "Unable to watch %s/cut.vkr: truncated in the left flag stream\n"
                         % os.path.realpath(g.dir))

    def test_unwritable_data_home_runs_the_shipped_files_with_one_message(self):
        data_home = self.scratch(mode=0o555)
        env = {"HOME": self.scratch(mode=0o777), "XDG_DATA_HOME": data_home}
        binary = None
        if os.geteuid() == 0:
            # Permissions do not stop root: play as nobody.
            binary = self.as_nobody([self.launcher])
        g = self.play(env, binary=binary)
        lines = g.stderr.splitlines()
        self.assertEqual(len(lines), 1, g.stderr)
        self.assertTrue(lines[0].startswith("vektorak: cannot use %s/vektorak: Permission denied;"
                                            % data_home), lines[0])
        self.assertIn(self.shipped, lines[0])
        self.assertEqual(os.listdir(data_home), [])


class LobbyPackage(unittest.TestCase):
    """The second package from the same build: the lobby server alone, a
    service under systemd, no game library pulled in."""

    def test_lobby_package_is_lintian_clean_and_its_server_answers(self):
        if cache_value("VEKTORAK_SANITIZE") == "ON":
            self.skipTest("the package is made from the plain build")
        work = tempfile.mkdtemp(prefix="vektorak-lobby-package-")
        self.addCleanup(shutil.rmtree, work, True)
        made = run(["cpack", "--config", os.path.join(BUILD_DIR, "CPackLobbyConfig.cmake"), "-B", work])
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        deb = os.path.join(work, "vektorak-lobby_%s_%s.deb" % (cache_value("CMAKE_PROJECT_VERSION"), arch))
        field = lambda name: run(["dpkg-deb", "-f", deb, name]).stdout.strip()
        self.assertEqual((field("Package"), field("Section"), field("Recommends")), ("vektorak-lobby", "net", "coturn"))
        self.assertIn("libglib2.0-0", field("Depends"))
        self.assertNotIn("libsdl", field("Depends"))
        checked = run(["lintian", "--pedantic", "--fail-on", "error,warning", deb], env=dict(os.environ, TMPDIR=work))
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

        root = os.path.join(work, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True, timeout=120)
        unit = os.path.join(root, "lib/systemd/system/vektorak-lobby.service")
        for name in ("etc/default/vektorak-lobby", "usr/share/man/man1/vektorak-lobby.1.gz",
                     "usr/share/doc/vektorak-lobby/copyright"):
            self.assertTrue(os.path.isfile(os.path.join(root, name)), name)
        if shutil.which("systemd-analyze"):
            # Verified where it was unpacked: the unit's paths moved there.
            with open(unit) as f:
                text = f.read().replace("/usr/bin/", root + "/usr/bin/").replace("=/etc/", "=" + root + "/etc/")
            moved = os.path.join(work, "vektorak-lobby.service")
            with open(moved, "w") as f:
                f.write(text)
            verified = run(["systemd-analyze", "verify", "--man=no", moved])
            self.assertEqual((verified.returncode, verified.stderr), (0, ""))

        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        lobby = subprocess.Popen([os.path.join(root, "usr/bin/vektorak-lobby"), "--port", str(port)],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
        self.addCleanup(lobby.kill)
        self.assertEqual(lobby.stdout.readline(), "Lobby listening on UDP %d.\n" % port)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as player:
            player.settimeout(5)
            player.sendto(b"VKL\x01\x01" + bytes(59), ("127.0.0.1", port))
            self.assertEqual(player.recv(600)[:5], b"VKL\x01\x02", "a HELLO is answered with a COOKIE")
        lobby.send_signal(signal.SIGTERM)
        self.assertEqual(lobby.wait(timeout=10), 0)


if __name__ == "__main__":
    unittest.main()
