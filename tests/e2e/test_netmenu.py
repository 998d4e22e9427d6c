"""Network play from the menu, as a player without a terminal has it: two
real games started with no options, one hosting with `n` `h`, the other
finding it on the network screen and joining it; then a second pair, the
joiner typing an address, after a nonsense address and a closed port have
each said what went wrong. Judged by window captions, standard error and
screenshots at 640x480."""
import os
import time
import unittest

from harness import GameTestCase

LEFT, RIGHT, LOCAL = "Vektorak: left player", "Vektorak: right player", "Vektorak"


def count(image, x0, y0, x1, y1, kind):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if kind(*image.rgb(x, y)))


def grey(r, g, b):
    return 150 < r < 215 and 150 < g < 215 and 160 < b < 225 and abs(r - g) < 12


def status(r, g, b):
    return b > 200 and g > 160 and r < 190 and b - r > 50


def round_trip(image, side):
    """Pixels of the round trip's line under the other player's side."""
    x0 = 0 if side == "left" else 510
    return count(image, x0, 343, x0 + 130, 362, grey)


def message(image):
    """Pixels of the network screen's yellow message line."""
    return count(image, 40, 210, 600, 232, lambda r, g, b: r > 200 and g > 170 and b < 140)


class NetworkMenu(GameTestCase):
    SCREEN = (1290, 500)

    def setUp(self):
        # Games of this test only: their own discovery port on loopback.
        self.env = {"VEKTORAK_DISCOVERY_PORT": str(40000 + os.getpid() % 5000)}

    def start(self, x):
        g = self.game(settings="640 480 0 0 1", game_env=self.env).start()
        deadline = time.time() + 20
        while time.time() < deadline:
            ids = g.x(["xdotool", "search", "--name", "^Vektorak$"], check=False).split()
            mine = [i for i in ids if i not in self.taken]
            if mine:
                g.window = mine[-1]
                break
            time.sleep(0.1)
        self.assertIsNotNone(g.window, "no window")
        self.taken.add(g.window)
        g.x(["xdotool", "windowmove", "--sync", g.window, str(x), "0"])
        return g

    def keys(self, g, *names):
        g.point_into_window()
        time.sleep(0.2)
        g.key(*names)

    def title(self, g):
        return g.x(["xdotool", "getwindowname", g.window]).strip()

    def wait_title(self, g, title, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline and self.title(g) != title:
            time.sleep(0.1)
        self.assertEqual(self.title(g), title)

    def connected(self, host, join):
        """Both in the connected menu, each with the round trip shown."""
        self.wait_title(host, LEFT)
        self.wait_title(join, RIGHT)
        host.wait_picture(lambda i: round_trip(i, "right") > 40 and count(i, 120, 86, 520, 108, status) > 200,
                          name="netmenu-host-connected")
        join.wait_picture(lambda i: round_trip(i, "left") > 40, name="netmenu-join-connected")

    def leave(self, host, join):
        """Escape on the host leaves the network game, the joiner hears it,
        and one more Escape on each ends it."""
        self.keys(host, "Escape")
        self.wait_title(host, LOCAL)
        self.wait_title(join, LOCAL)
        self.assertIn("The other player left.", join.read_stderr())
        for g in (host, join):
            self.keys(g, "Escape")
            self.assertEqual(g.wait_exit(), 0)

    def test_host_and_join_from_the_menu(self):
        self.taken = set()
        host = self.start(0)
        join = self.start(650)
        # Two keys on the host; the joiner finds it in the list.
        self.keys(host, "n", "h")
        self.wait_title(host, LEFT)
        self.keys(join, "n")
        join.wait_picture(lambda i: count(i, 200, 280, 440, 300, lambda r, g, b: g > 200 and r < 150) > 30,
                          timeout=5, name="netmenu-found")
        self.keys(join, "Return")
        self.connected(host, join)
        self.assertIn("Waiting for a player on UDP port 27183", host.read_stderr())
        self.leave(host, join)

        # The second pair: the joiner types. (X hands the closed windows'
        # ids out again.)
        self.taken = set()
        host = self.start(0)
        join = self.start(650)
        self.keys(host, "n", "h")
        self.wait_title(host, LEFT)
        self.keys(join, "n", "j")
        join.x(["xdotool", "type", "--delay", "40", "nonsense..x"])
        self.keys(join, "Return")
        join.wait_picture(lambda i: message(i) > 100, name="netmenu-not-an-address")
        self.assertIn("Not an address: nonsense..x.", join.read_stderr())
        for _ in "nonsense..x":
            join.key("BackSpace", delay_ms=10)
        join.x(["xdotool", "type", "--delay", "40", "127.0.0.1:9"])
        self.keys(join, "Return")
        deadline = time.time() + 8
        while time.time() < deadline and "No answer from 127.0.0.1:9." not in join.read_stderr():
            time.sleep(0.2)
        self.assertIn("No answer from 127.0.0.1:9.", join.read_stderr())
        self.assertEqual(self.title(join), LOCAL)
        for _ in "127.0.0.1:9":
            join.key("BackSpace", delay_ms=10)
        join.x(["xdotool", "type", "--delay", "40", "127.0.0.1"])
        self.keys(join, "Return")
        self.connected(host, join)
        # The address joined is offered first next time.
        with open(os.path.join(join.dir, "lastjoin.txt")) as f:
            self.assertEqual(f.read(), "127.0.0.1\n")
        self.leave(host, join)


if __name__ == "__main__":
    unittest.main()
