"""Watching a network match: two real games play it, and two real
spectators watch it on the same X server, one started with --watch while
the match is under way. Judged by window captions, the menus' text (found by
colour, as in test_network), the spectator's mark, and the replays' hashes.
A file of its own, so that CTest runs it beside the players' tests."""

import os
import time

from test_network import LOCAL, MATCH_S, NetGames, WATCHING, count, menu_text, notice, replay, wait_for


class Watching(NetGames):
    def test_two_spectators_one_from_mid_match_keep_the_players_match(self):
        host, join = self.pair()
        address = "127.0.0.1:%d" % self.port
        early = self.net_game(["--watch", address], WATCHING, 0, y=520)
        # The spectator's menu shows the players' choices as they change.
        before = early.wait_picture(lambda i: menu_text(i)[0] > 200, name="network-watching-menu")
        self.type(host, "o")
        self.type(join, "p", "p", "Return")
        early.wait_picture(lambda i: i.difference(before, 130, 285, 510, 360) > 0.05 and menu_text(i)[3] > 100)
        self.type(host, "Return")
        for g in (host, early):
            g.wait_picture(lambda i: menu_text(i)[:2] == (0, 0) and i.lit_fraction() > 0.05)
        time.sleep(8)
        late = self.net_game(["--watch", address], WATCHING, 640, y=520, others=(early,))
        # The late one is shown the match under way within 3 s, its mark
        # low in the window, yellow as the notices are.
        time.sleep(3)
        seen = late.screenshot("network-watching-late")
        self.assertGreater(count(seen, 200, 440, 440, 470, notice), 100)
        self.assertGreater(seen.lit_fraction(), 0.05)
        games = (host, join, early, late)
        wait_for(lambda: all(os.path.exists(os.path.join(g.dir, "lastmatch.vkr")) for g in games), MATCH_S,
                 "all four keep the match")
        replays = [replay(g) for g in games]
        self.assertEqual(len({r["hash"] for r in replays}), 1, replays)
        self.assertTrue(all(r["result"] in ("left", "right", "draw") and r["matches"] for r in replays))
        # Each spectator sees the result, then the players' menu again, and
        # stays for the next match until Escape.
        time.sleep(3.5)
        self.type(early, "x", "x")
        early.wait_picture(lambda i: menu_text(i)[0] > 200, name="network-watching-after")
        self.assertEqual(early.x(["xdotool", "getwindowname", early.window]).strip(), WATCHING)
        self.type(early, "Escape")
        wait_for(lambda: early.x(["xdotool", "getwindowname", early.window]).strip() == LOCAL, 5, "Escape stops watching")
        for g in games:
            self.assertNotIn("bad packet", g.read_stderr())

