"""Internet play across real NATs: the lobby and coturn in the laboratory's
internet, two real games in two of its homes on the real Xvfb, one match of
computer players each, through the path the homes' routers allow. Two cone
homes must meet directly; a cone home and the random-port home can only
meet through the relay. Judged by the lines each game prints and by both
replays' hashes, the match played as tests/e2e/test_network.py plays it.

Run by CTest as a program: without root it prints one line and exits
SKIPPED (77)."""

import os
import re
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import natlab  # noqa: E402
import test_network  # noqa: E402
from harness import BIN  # noqa: E402

SKIPPED = 77
LOBBY_BIN = os.environ.get("VEKTORAK_LOBBY_BIN", os.path.join(os.path.dirname(BIN), "vektorak-lobby"))
CODE = re.compile(r"^Online game code: ([A-Z0-9]{6})$", re.M)
CONNECTED = re.compile(r"^Connected to the other player (directly|through the relay) at ([0-9.]+):(\d+)\.$", re.M)


class Nat(test_network.Network):
    # Network's own cases run in tests/e2e; this class borrows its duel.
    test_host_and_join_play_the_same_match = None
    test_the_same_through_a_relay_at_200_ms_and_3_percent_loss = None
    test_a_killed_game_sends_the_other_to_its_menu = None
    test_options = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.scratch = tempfile.mkdtemp(prefix="vektorak-nat-")
        cls.lab = natlab.Lab()
        try:
            cls.lab.__enter__()
            cls.turn, cls.lobby = natlab.start_internet(cls.scratch, LOBBY_BIN)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.lab.__exit__(None, None, None)  # ends the games, the lobby and coturn too
        for process in (getattr(cls, "turn", None), getattr(cls, "lobby", None)):
            if process:
                process.wait(10)
        shutil.rmtree(cls.scratch, ignore_errors=True)
        super().tearDownClass()

    def home_game(self, home, args):
        return self.game(settings="640 480 0 0 1", binary="ip",
                         args=natlab.in_ns(natlab.home(home), [BIN, "--lobby", natlab.INET_IP] + args)[1:],
                         game_env={"VEKTORAK_MATCH_SEED": str(self.seed), "VEKTORAK_UPNP": "off",
                                   "VEKTORAK_DISCOVERY_ADDRESS": "127.0.0.1"}).start()

    def place(self, g, title, x):
        g.wait_window(title=title)
        g.x(["xdotool", "windowmove", g.window, str(x), "0"])

    def said(self, g, pattern, what, timeout=15):
        found = []
        try:
            test_network.wait_for(lambda: found.extend(pattern.findall(natlab.text(g.out_path))) or found
                                  or g.proc.poll() is not None, timeout, what)
        except AssertionError:
            pass
        if not found:
            raise AssertionError("%s: not within %d s; it said %r" % (what, timeout, g.read_stderr()))
        return found

    def pair(self, via_relay):
        host_home, join_home = self.homes
        self.seed = test_network.NETWORK_SEED
        host = self.home_game(host_home, ["--host"])
        self.place(host, test_network.LEFT, 0)
        code = self.said(host, CODE, "the host's code")[0]
        join = self.home_game(join_home, ["--join-code", code])
        lines = [self.said(g, CONNECTED, "connected") for g in (host, join)]
        # Each side names the other's router as it used it, or the relay.
        for g, found, other in ((host, lines[0], join_home), (join, lines[1], host_home)):
            path, ip, port = found[0]
            if self.path == "directly":
                self.assertEqual((path, ip), ("directly", natlab.public_ip(other)), natlab.text(g.out_path))
            else:
                self.assertEqual((path, ip, int(port)), ("through the relay", natlab.INET_IP, natlab.TURN_PORT))
        self.place(join, test_network.RIGHT, 640)
        for g in (host, join):
            g.wait_picture(lambda i: test_network.menu_text(i)[0] > 200 and test_network.menu_text(i)[1] > 100)
        self.games = host, join
        return host, join

    def meet(self, homes, path):
        self.homes, self.path = homes, path
        self.duel(via_relay=False)  # Network's relay is its 200 ms program, not ours
        # One path for the whole match: a connection lost and found again
        # would have said so again.
        self.assertEqual([len(CONNECTED.findall(g.stdout)) for g in self.games], [1, 1])

    def test_two_cone_homes_duel_directly(self):
        self.meet((1, 2), "directly")

    def test_a_cone_home_duels_the_random_port_home_through_the_relay(self):
        self.meet((1, 3), "through the relay")


if __name__ == "__main__":
    reason = natlab.unavailable()
    if reason:
        print(reason)
        sys.exit(SKIPPED)
    unittest.main(verbosity=2)
