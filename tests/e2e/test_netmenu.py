"""Network play from the menu: two games with no options, one hosting with
`n` `h`, the other joining it from the list; then a second pair, the joiner
typing an address after a nonsense one and a closed port have each said
what went wrong. Judged by captions, standard error and screenshots."""
import os
import time
import unittest

from harness import GameTestCase

LEFT, RIGHT, LOCAL = "Vektorak: left player", "Vektorak: right player", "Vektorak"


def count(image, x0, y0, x1, y1, kind):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if kind(*image.rgb(x, y)))


def round_trip(image, x0):  # the grey line under the other player's side
    return count(image, x0, 343, x0 + 130, 362,
                 lambda r, g, b: 150 < r < 215 and 150 < g < 215 and 160 < b < 225 and abs(r - g) < 12)


class NetworkMenu(GameTestCase):
    SCREEN = (1290, 500)

    def start(self, x):
        # Games of this test only: their own discovery port on loopback.
        g = self.game(settings="640 480 0 0 1",
                      game_env={"VEKTORAK_DISCOVERY_PORT": str(40000 + os.getpid() % 5000)}).start()
        for _ in range(200):
            mine = [i for i in g.x(["xdotool", "search", "--name", "^Vektorak$"], check=False).split()
                    if i not in self.taken]
            if mine:
                break
            time.sleep(0.1)
        g.window = mine[-1]
        self.taken.add(g.window)
        g.x(["xdotool", "windowmove", "--sync", g.window, str(x), "0"])
        return g

    def keys(self, g, *names, text=None):
        g.point_into_window()
        time.sleep(0.2)
        if text:
            g.x(["xdotool", "type", "--delay", "40", text])
        g.key(*names)

    def wait(self, holds, timeout, what):
        deadline = time.time() + timeout
        while time.time() < deadline and not holds():
            time.sleep(0.1)
        self.assertTrue(holds(), what)

    def wait_title(self, g, title):
        self.wait(lambda: g.x(["xdotool", "getwindowname", g.window]).strip() == title, 10, title)

    def wait_stderr(self, g, text, timeout):
        self.wait(lambda: text in g.read_stderr(), timeout, text)

    def pair(self):  # the host hosts from its menu with two keys
        self.taken = set()  # X hands closed windows' ids out again
        host, join = self.start(0), self.start(650)
        self.keys(host, "n", "h")
        self.wait_title(host, LEFT)
        self.wait_stderr(host, "Waiting for a player on UDP port 27183", 5)
        return host, join

    def connected_and_left(self, host, join):  # with the round trip shown; then Escape
        self.wait_title(host, LEFT)
        self.wait_title(join, RIGHT)
        host.wait_picture(lambda i: round_trip(i, 510) > 40, name="netmenu-host-connected")
        join.wait_picture(lambda i: round_trip(i, 0) > 40, name="netmenu-join-connected")
        self.keys(host, "Escape")
        for g in (host, join):
            self.wait_title(g, LOCAL)
        self.assertIn("The other player left.", join.read_stderr())
        for g in (host, join):
            self.keys(g, "Escape")
            self.assertEqual(g.wait_exit(), 0)

    def test_host_and_join_from_the_menu(self):
        host, join = self.pair()
        self.keys(join, "n")  # the host is listed within 2 s, and chosen
        join.wait_picture(lambda i: count(i, 200, 280, 440, 300, lambda r, g, b: g > 200 and r < 150) > 30,
                          timeout=2, name="netmenu-found")
        self.keys(join, "Return")
        self.connected_and_left(host, join)

        host, join = self.pair()
        self.keys(join, "n", "j")
        self.keys(join, "Return", text="nonsense..x")
        self.wait_stderr(join, "Not an address: nonsense..x.", 2)
        join.wait_picture(lambda i: count(i, 40, 210, 600, 232, lambda r, g, b: r > 200 and g > 170 and b < 140) > 100,
                          name="netmenu-not-an-address")
        self.keys(join, *["BackSpace"] * 11)
        self.keys(join, "Return", text="127.0.0.1:9")
        self.wait_stderr(join, "No answer from 127.0.0.1:9.", 8)
        self.keys(join, *["BackSpace"] * 11)
        self.keys(join, "Return", text="127.0.0.1")
        self.wait_title(join, RIGHT)
        with open(os.path.join(join.dir, "lastjoin.txt")) as f:  # offered first next time
            self.assertEqual(f.read(), "127.0.0.1\n")
        self.connected_and_left(host, join)


if __name__ == "__main__":
    unittest.main()
