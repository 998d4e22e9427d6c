#!/usr/bin/env python3
"""How fast two homes of the NAT laboratory (tests/nat/natlab.py) meet, and
what the relay adds to a round trip. Root only: it makes network namespaces.

    python3 bench/natconnect.py BUILD_DIR [ROUNDS]

- Join to connected: a host game in h1 opens on the lobby; a joining game in
  h2 (two cone NATs: direct) or in h3 (the random-port NAT: relayed) is
  started with its code. The clock starts when the joiner prints "Entering
  main game loop." (it joins in its first pass) and stops when it prints
  "Connected to the other player ..."; both lines are stamped here as they
  appear on its standard output, read every 2 ms. A fresh laboratory every
  round, so that no router remembers the round before. Medians and every
  figure over ROUNDS rounds (default 5).
- The relay's round trip: coturn's own client (turnutils_uclient) in h1
  sends 200 datagrams of 100 bytes, 10 ms apart, through an allocation on
  the lab's coturn to an echo (turnutils_peer) in the internet, and back;
  against the same echo reached from h1 directly, timed here. uclient counts
  whole milliseconds.
"""

import os
import re
import json
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
        test_nat.start_internet(scratch)
        games = []
        try:
            def game(home, args):
                g = harness.Game(xvfb, settings="640 480 0 0 1", binary="ip",
                                 args=natlab.in_ns(natlab.home(home), [harness.BIN, "--lobby", natlab.INET_IP] + args)[1:])
                games.append(g)
                return g.start()
            host = game(1, ["--host"])
            code = stamped(host.out_path, test_nat.CODE, time.monotonic())[1].group(1)
            join = game(joiner, ["--join-code", code])
            begun = stamped(join.out_path, re.compile(re.escape(test_nat.LOOP)), time.monotonic())[0]
            done, line = stamped(join.out_path, test_nat.CONNECTED, begun)
            return done - begun, line.group(1)
        finally:
            for g in games:
                g.cleanup()


def direct_echo_ms(count=200):
    """Round trips from h1 to the echo, in ms, timed inside h1."""
    code = ("import socket,time,json\ns=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.settimeout(1)\n"
            "out=[]\nfor i in range(%d):\n t=time.perf_counter();s.sendto(b'x'*100,('%s',3480));s.recv(2000)\n"
            " out.append((time.perf_counter()-t)*1e3);time.sleep(0.01)\nprint(json.dumps(out))"
            % (count, natlab.INET_IP))
    out = subprocess.run(natlab.in_ns(natlab.home(1), [sys.executable, "-c", code]), stdout=subprocess.PIPE,
                         check=True, timeout=60, text=True).stdout
    return json.loads(out)


def relay_echo(scratch):
    with natlab.Lab() as lab:
        test_nat.start_turn(scratch)
        peer = lab.start(natlab.INET, ["turnutils_peer", "-L", natlab.INET_IP, "-p", "3480"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        with open(os.path.join(scratch, "turn-secret")) as f:
            secret = f.read().strip()
        run = subprocess.run(natlab.in_ns(natlab.home(1), [
            "turnutils_uclient", "-n", "200", "-z", "10", "-l", "100", "-W", secret, "-u", "bench",
            "-e", natlab.INET_IP, "-r", "3480", natlab.INET_IP]), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
            text=True, timeout=120)
        relayed = re.search(r"Average round trip delay ([0-9.]+) ms; min = (\d+) ms, max = (\d+) ms", run.stdout)
        lost = re.search(r"Total lost packets (\d+)", run.stdout)
        direct = direct_echo_ms()
        peer.kill()
        return relayed, lost, direct


def main():
    scratch = os.path.join(BUILD, "natconnect")
    os.makedirs(scratch, exist_ok=True)
    xvfb = harness.Xvfb(640 * 2, 480)
    try:
        for joiner, label in ((2, "direct (h1 hosts, h2 joins)"), (3, "relayed (h1 hosts, h3 joins)")):
            times = []
            for _ in range(ROUNDS):
                seconds, path = join_round(xvfb, scratch, joiner)
                times.append(seconds * 1000)
                print("  %s: %.0f ms, %s" % (label, times[-1], path), flush=True)
            print("%s: join to connected, median %.0f ms, min %.0f, max %.0f"
                  % (label, statistics.median(times), min(times), max(times)), flush=True)
    finally:
        xvfb.stop()
    relayed, lost, direct = relay_echo(scratch)
    print("echo from h1 directly: median %.3f ms, max %.3f ms over %d" % (statistics.median(direct), max(direct), len(direct)))
    print("echo from h1 through coturn: mean %s ms, min %s ms, max %s ms (whole ms), lost %s"
          % (relayed.group(1), relayed.group(2), relayed.group(3), lost.group(1) if lost else "?"))


main()
