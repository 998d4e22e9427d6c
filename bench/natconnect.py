#!/usr/bin/env python3
"""How fast two homes of the NAT laboratory (tests/nat/natlab.py) meet, and
what the relay adds to a round trip. Root only: it makes network namespaces.

    python3 bench/natconnect.py BUILD_DIR [ROUNDS]

- Join to connected: a host game in h1 opens on the lobby; a joining game in
  h2 (two cone NATs: direct) or in h3 (the random-port NAT: relayed) is
  started with its code. The clock starts when the joiner prints "Game
  Inicialized." (its first request to the lobby went out just before, as
  the network started) and stops when it prints "Connected to the other
  player ..."; both lines are stamped here as they appear on its standard
  output, read every 2 ms. A fresh laboratory every round, so that no
  router remembers the round before. Medians and every figure over ROUNDS
  rounds (default 5).
- The game's round trip: each round then starts a match of computers from
  both menus (as tests/e2e/test_network.py does) and reads the round trip
  each side prints as it starts (ENet's, measured between the game loops).
- The relay's round trip: 500 datagrams of 100 bytes, 10 ms apart, timed
  by bench/turnecho.py from h1 to an echo in h2 over the punched direct path,
  and from h1 to an echo in h3 from one coturn allocation to the other (the
  game's relayed path, without its loopback bridge). Median, 99th percentile
  and worst of each.
"""

import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else sys.exit(__doc__)
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
os.environ.update(VEKTORAK_BIN=os.path.join(BUILD, "vektorak"), VEKTORAK_DATA_DIR=os.path.join(BUILD, "data"),
                  VEKTORAK_LOBBY_BIN=os.path.join(BUILD, "vektorak-lobby"), VEKTORAK_UPNP="off",
                  VEKTORAK_DISCOVERY_ADDRESS="127.0.0.1")
sys.path[:0] = [os.path.join(HERE, "..", "tests", "nat"), os.path.join(HERE, "..", "tests", "e2e")]
import harness  # noqa: E402
import natlab  # noqa: E402
import test_nat  # noqa: E402


def stamped(path, pattern, since, timeout=15.0):
    """When pattern first shows in the file, on the monotonic clock."""
    deadline = since + timeout
    while time.monotonic() < deadline:
        with open(path) as f:
            found = pattern.search(f.read())
        if found:
            return time.monotonic(), found
        time.sleep(0.002)
    raise RuntimeError("%s: no %r within %.0f s" % (path, pattern.pattern, timeout))


def join_round(xvfb, scratch, joiner):
    with natlab.Lab():
        natlab.start_internet(scratch, os.environ["VEKTORAK_LOBBY_BIN"])
        games = []
        try:
            def game(home, args):
                g = harness.Game(xvfb, settings="640 480 0 0 1", binary="ip",
                                 args=natlab.in_ns(natlab.home(home), [harness.BIN, "--lobby", natlab.INET_IP] + args)[1:])
                games.append(g)
                return g.start()
            net = test_nat.test_network
            host = game(1, ["--host"])
            code = stamped(host.out_path, test_nat.CODE, time.monotonic())[1].group(1)
            # Its window moved before the joiner's appears over it: a still
            # menu is not drawn again.
            host.wait_window(title=net.LEFT)
            join = game(joiner, ["--join-code", code])
            begun = stamped(join.out_path, re.compile("^Game Inicialized\\.$", re.M), time.monotonic())[0]
            done, line = stamped(join.out_path, test_nat.CONNECTED, begun)
            # A match of computers, started as tests/e2e/test_network.py does,
            # for each side's round trip as the game measured it.
            join.wait_window(title=net.RIGHT)
            join.x(["xdotool", "windowmove", join.window, "640", "0"])
            for g in (host, join):
                g.wait_picture(lambda i: net.menu_text(i)[0] > 200 and net.menu_text(i)[1] > 100)
            for g, keys in ((host, ["o"]), (join, ["p", "p", "Return"]), (host, ["Return"])):
                g.point_into_window()
                time.sleep(0.2)
                g.key(*keys)
            rtts = [int(stamped(g.out_path, net.STARTED, time.monotonic())[1].group(3)) for g in (host, join)]
            return done - begun, line.group(1), rtts
        finally:
            for g in games:
                g.cleanup()


def echo_ms(scratch, mode, timer, echo):
    """Round trips from home timer to home echo (bench/turnecho.py), in ms."""
    with natlab.Lab() as lab:
        natlab.start_turn(scratch)
        with open(os.path.join(scratch, "turn-secret")) as f:
            secret = f.read().strip()
        folder = os.path.join(scratch, "echo-" + mode)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        sides = [lab.start(natlab.home(h), [sys.executable, os.path.join(HERE, "turnecho.py"), mode, natlab.INET_IP,
                                            secret, me, other, folder, "500"], stdout=subprocess.PIPE, text=True)
                 for h, me, other in ((timer, "a", "b"), (echo, "b", "a"))]
        out = sides[0].communicate(timeout=60)[0]
        sides[1].wait(10)
        if sides[0].returncode != 0 or sides[1].returncode != 0:
            raise RuntimeError("turnecho %s failed: %r" % (mode, out))
        return json.loads(out)


def main():
    scratch = os.path.join(BUILD, "natconnect")
    os.makedirs(scratch, exist_ok=True)
    xvfb = harness.Xvfb(1280, 1024)
    try:
        for joiner, label in ((2, "direct (h1 hosts, h2 joins)"), (3, "relayed (h1 hosts, h3 joins)")):
            times, rtts = [], []
            for _ in range(ROUNDS):
                seconds, path, rtt = join_round(xvfb, scratch, joiner)
                times.append(seconds * 1000)
                rtts += rtt
                print("  %s: %.0f ms, %s; the game's round trip %d ms at the host, %d at the joiner"
                      % (label, times[-1], path, rtt[0], rtt[1]), flush=True)
            print("%s: join to connected, median %.0f ms, min %.0f, max %.0f; the game's round trip median %.0f ms"
                  % (label, statistics.median(times), min(times), max(times), statistics.median(rtts)), flush=True)
    finally:
        xvfb.stop()
    for mode, timer, echo in (("direct", 1, 2), ("relay", 1, 3)):
        times = sorted(echo_ms(scratch, mode, timer, echo))
        print("round trip h%d to h%d, %s: median %.3f ms, 99th percentile %.3f ms, max %.3f ms over %d"
              % (timer, echo, mode, statistics.median(times), times[len(times) * 99 // 100], times[-1], len(times)))


main()
