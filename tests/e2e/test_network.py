"""The network duel as two players on two machines see it: two real games on
one X server, one hosting on 127.0.0.1 and one joining it, directly or
through the udprelay program at a distance. Judged by window captions, the
menus' text (found by colour: the status line light blue, notices yellow,
READY green), the result screens, the replays' hashes and standard error.

Each game's window gets its own half of the screen: with no window manager,
keys go to the window under the pointer."""

import json
import os
import re
import signal
import socket
import subprocess
import time

from harness import BIN, GameTestCase, NETWORK_SEED, RELAY_SEED, SHUTDOWN_STDOUT

RELAY = os.environ.get("VEKTORAK_UDPRELAY", "")
REPLAY_TOOL = os.path.join(os.path.dirname(BIN), "vk-replay")
LEFT, RIGHT, LOCAL = "Vektorak: left player", "Vektorak: right player", "Vektorak"
WATCHING = "Vektorak: watching"
LEFT_NOTICE = "The other player left."
MATCH_S = 240  # the longest computer duel is about two minutes
STARTED = re.compile(r"^Network match: input delay (\d+) ticks, rollback window (\d+) ticks, round trip (\d+) ms\.$",
                     re.M)


def status(r, g, b):
    return b > 200 and g > 160 and r < 190 and b - r > 50


def notice(r, g, b):
    return r > 200 and g > 170 and b < 140


def green(r, g, b):
    return g > 200 and r < 150 and b < 170


def count(image, x0, y0, x1, y1, kind):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if kind(*image.rgb(x, y)))


def menu_text(image):
    """Pixels of the status line, the notice, and READY left and right."""
    return (count(image, 120, 86, 520, 108, status), count(image, 120, 110, 520, 130, notice),
            count(image, 0, 300, 130, 340, green), count(image, 510, 300, 640, 340, green))


def free_port():
    for port in range(10000 + os.getpid() % 2000 * 10, 60000):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            try:
                s.bind(("", port))
                return port
            except OSError:
                continue


def wait_for(condition, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("%s: not within %d s" % (what, timeout))


def replay(game):
    out = subprocess.run([REPLAY_TOOL, os.path.join(game.dir, "lastmatch.vkr")], stdout=subprocess.PIPE,
                         check=True, timeout=30).stdout
    return json.loads(out)


class NetGames(GameTestCase):
    """Games on their own parts of the screen, keys typed into them, and a
    host with a player joined."""

    def net_game(self, args, title, x, game_env=None, y=0, others=()):
        g = self.game(settings="640 480 0 0 1", args=args, game_env=game_env).start()
        if others:
            # Another game has this title already: wait for a window of its own.
            wait_for(lambda: set(g.x(["xdotool", "search", "--name", "^%s$" % title], check=False).split())
                     - {o.window for o in others}, 20, "a window of its own")
            g.window = (set(g.x(["xdotool", "search", "--name", "^%s$" % title]).split())
                        - {o.window for o in others}).pop()
        else:
            g.wait_window(title=title)
        g.x(["xdotool", "windowmove", g.window, str(x), str(y)])
        return g

    def type(self, g, *keys):
        g.point_into_window()
        time.sleep(0.2)
        g.key(*keys)

    def pair(self, via_relay=False):
        port = self.port = free_port()
        # The host draws the seed: one that ends soon at this distance's delay.
        self.seed = RELAY_SEED if via_relay else NETWORK_SEED
        host = self.net_game(["--host", str(port)], LEFT, 0, {"VEKTORAK_MATCH_SEED": str(self.seed)})
        wait = host.wait_picture(lambda i: menu_text(i)[0] > 200, name="network-host-waiting")
        if via_relay:
            relay = subprocess.Popen([RELAY, "--listen", "0", "--target", str(port), "--rtt", "200",
                                      "--loss", "0.03", "--seed", "18"], stdout=subprocess.PIPE, text=True)
            self.addCleanup(lambda: relay.poll() is None and relay.kill())
            port = int(relay.stdout.readline().split()[-1])  # "listening on PORT"
            self.relay = relay
        join = self.net_game(["--join", "127.0.0.1:%d" % port], RIGHT, 640)
        for g in (host, join):
            g.wait_picture(lambda i: menu_text(i)[0] > 200 and menu_text(i)[1] > 100)
        # The host's status line changes from waiting to hosting.
        self.assertGreater(host.screenshot().difference(wait, 120, 86, 520, 108), 0.05)
        return host, join


class Network(NetGames):
    def duel(self, via_relay):
        host, join = self.pair(via_relay)
        before = host.screenshot()
        self.type(host, "o")        # W A S D -> computer
        self.type(join, "p", "p")   # cursor keys -> W A S D -> computer
        self.type(join, "Return")
        # Both menus show both computer players, and the joiner ready.
        shots = [g.wait_picture(lambda i: menu_text(i)[2] == 0 and menu_text(i)[3] > 100) for g in (host, join)]
        self.assertLess(shots[0].difference(shots[1], 130, 285, 510, 360), 0.02)
        self.assertGreater(shots[0].difference(before, 130, 285, 510, 360), 0.05)
        self.type(host, "Return")
        for g in (host, join):
            g.wait_picture(lambda i: menu_text(i)[:2] == (0, 0) and i.lit_fraction() > 0.05,
                           name="network-%s-match" % ("host" if g is host else "join"))
        wait_for(lambda: all(os.path.exists(os.path.join(g.dir, "lastmatch.vkr")) for g in (host, join)),
                 MATCH_S, "both matches end")
        # The wreck plays for 1.5 s once the match is kept, and a key would
        # cut it short: the result screen comes after it.
        time.sleep(2.0)
        # The same result screen on both, and no menu.
        results = []
        try:
            wait_for(lambda: results.__setitem__(slice(None), [g.screenshot() for g in (host, join)])
                     or results[0].difference(results[1], 80, 60, 560, 420) < 0.02, 10, "the same result screen")
        except AssertionError as e:
            raise AssertionError("%s; host said %r, joiner said %r; replays %r" % (
                e, host.read_stderr(), join.read_stderr(), [replay(g) for g in (host, join)]))
        for n, g in enumerate((host, join)):
            self.assertGreater(g.screenshot("network-result-%d" % n).difference(before, 80, 60, 560, 420), 0.3)
        replays = [replay(g) for g in (host, join)]
        self.assertEqual(replays[0]["hash"], replays[1]["hash"])
        self.assertEqual((replays[0]["left"], replays[0]["right"], replays[0]["seed"]),
                         ("computer", "computer", self.seed))
        self.assertIn(replays[0]["result"], ("left", "right", "draw"))
        self.assertTrue(replays[0]["matches"])
        # Escape on the host, once the result takes keys (after 1 s): to the statistics,
        # the menu, out of the network game, out of the game; the joiner stays.
        time.sleep(1.2)
        self.type(host, "Escape", "Escape", "Escape", "Escape")
        self.assertEqual(host.wait_exit(), 0)
        wait_for(lambda: LEFT_NOTICE in join.read_stderr(), 5, "the joiner hears the host leave")
        self.type(join, "Escape", "Escape", "Escape")  # from its result screen's two pages, if still there
        self.assertEqual(join.wait_exit(), 0)
        # Each side said once how the match hides the distance: the own ship
        # answers at once however far the other player is.
        for g in (host, join):
            lines = STARTED.findall(g.stdout)
            self.assertEqual(len(lines), 1, g.stdout)
            delay, window, rtt = map(int, lines[0])
            self.assertEqual((delay, window), (0, 10))
            if via_relay:
                self.assertTrue(180 <= rtt <= 400, rtt)
            else:
                self.assertLess(rtt, 150)  # loopback; a loaded machine adds its frames

    def test_host_and_join_play_the_same_match(self):
        self.duel(via_relay=False)

    def test_the_same_through_a_relay_at_200_ms_and_3_percent_loss(self):
        self.duel(via_relay=True)
        self.relay.send_signal(signal.SIGTERM)
        counters = json.loads(self.relay.communicate(timeout=10)[0].splitlines()[-1])
        for direction in counters.values():
            self.assertGreater(direction["dropped"], 0)
            self.assertGreater(direction["forwarded"], 400)

    def test_a_killed_game_sends_the_other_to_its_menu(self):
        # A joiner goes on alone; a host waits for the next player.
        for in_match, victim in ((False, 1), (True, 0)):
            games = self.pair()
            if in_match:
                self.type(games[0], "Return")
                self.type(games[1], "Return")
                for g in games:
                    g.wait_picture(lambda i: menu_text(i)[:2] == (0, 0) and i.lit_fraction() > 0.05)
            games[victim].proc.send_signal(signal.SIGKILL)
            games[victim].wait_exit()
            other = games[1 - victim]
            wait_for(lambda: LEFT_NOTICE in other.read_stderr(), 5, "the other game notices")
            hosting = victim == 1
            other.wait_picture(lambda i: (menu_text(i)[0] > 200) == hosting and menu_text(i)[1] > 100,
                               name="network-left-%s" % ("match" if in_match else "menu"))
            self.assertIn(other.window, other.x(["xdotool", "search", "--name", "^%s$" % (LEFT if hosting else LOCAL)]).split())
            if hosting:
                self.type(other, "Escape")
                wait_for(lambda: other.x(["xdotool", "getwindowname", other.window]).strip() == LOCAL, 5,
                         "Escape leaves the network game")
            self.type(other, "Escape")
            self.assertEqual(other.wait_exit(), 0)
            self.assertEqual(STARTED.sub("", other.stdout).replace("\n\n", "\n"), SHUTDOWN_STDOUT)
            self.assertEqual(len(STARTED.findall(other.stdout)), 1 if in_match else 0)

    def test_options(self):
        cases = [(["--help"], 0), (["--bogus"], 64), (["--host", "0"], 64), (["--host", "70000"], 64),
                 (["--join"], 64), (["--join", "a:b"], 64), (["--host", "--join", "x"], 64)]
        for args, code in cases:
            run = subprocess.run([BIN] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                 timeout=30)
            self.assertEqual(run.returncode, code, args)
            self.assertIn("Usage: vektorak", run.stderr if code else run.stdout, args)
            self.assertEqual(run.stdout if code else run.stderr, "", args)
