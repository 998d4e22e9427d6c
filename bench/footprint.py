#!/usr/bin/env python3
"""The game's footprint against the bare window's (vk-barewindow): start-up
time and peak resident memory, side by side in one run.

    python3 bench/footprint.py BUILD_DIR [RUNS] [--game PATH] [--data DIR]

BUILD_DIR holds vk-barewindow and libfirstswap.so (bench/firstswap.c) and,
unless --game and --data name others (an older build, say), vektorak and
data/. Each round runs, one after the other: the bare window and the game
for start-up, then both in their loops for memory. Medians over RUNS rounds
(default 7), every figure of every run printed too.

- Start-up: from just before exec (time.monotonic_ns here) to the return of
  the first SDL_GL_SwapBuffers (stamped by the preloaded firstswap.so on the
  same clock); the program then ends at once.
- Peak RSS in the menu: VmHWM of the game MENU_SECONDS after its first
  frame; of the bare window as long after its own.
- Peak RSS in a match: VmHWM of the game MATCH_SECONDS into a computer
  against computer match started from the menu (o, p p, Return), so the
  menu's peak is included; the bare window's figure is its menu one.

Both programs get the same environment: a private Xvfb at 640x480 with Mesa
(llvmpipe; LP_NUM_THREADS as the caller set it), SDL's dummy audio driver,
VEKTORAK_UPNP=off and VEKTORAK_DISCOVERY_ADDRESS=127.0.0.1, the game's
default settings (640 by 480) in a scratch copy of its data folder.
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

MENU_SECONDS = 3.0
MATCH_SECONDS = 8.0


def hwm_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def wait_stamp(path, proc, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(path):
            with open(path) as f:
                text = f.read()
            if text.endswith("\n"):
                return int(text.split()[1])
        if proc.poll() is not None:
            raise RuntimeError("exited with %d before its first frame" % proc.returncode)
        time.sleep(0.005)
    raise RuntimeError("no first frame within %d s" % timeout)


class Bench:
    def __init__(self, build, game, data):
        import harness
        self.harness = harness
        self.build, self.game, self.data = build, game, data
        self.shim = os.path.join(build, "libfirstswap.so")
        self.bare = os.path.join(build, "vk-barewindow")
        self.xvfb = harness.Xvfb(640, 480)
        self.dir = tempfile.mkdtemp(prefix="vektorak-footprint-")
        for name in os.listdir(data):
            if name != "vkt.txt" and not name.startswith("lastmatch.vkr"):
                shutil.copy(os.path.join(data, name), self.dir)
        self.stamp = os.path.join(self.dir, ".stamp")

    def env(self, exit_at_first_frame):
        env = dict(os.environ, DISPLAY=self.xvfb.display, SDL_AUDIODRIVER="dummy", VEKTORAK_UPNP="off",
                   VEKTORAK_DISCOVERY_ADDRESS="127.0.0.1", LD_PRELOAD=self.shim, FIRSTSWAP_FILE=self.stamp)
        if exit_at_first_frame:
            env["FIRSTSWAP_EXIT"] = "1"
        return env

    def start(self, binary, exit_at_first_frame):
        if os.path.exists(self.stamp):
            os.remove(self.stamp)
        started = time.monotonic_ns()
        proc = subprocess.Popen([binary], cwd=self.dir, env=self.env(exit_at_first_frame),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        return started, proc

    def startup_ms(self, binary):
        started, proc = self.start(binary, True)
        swapped = wait_stamp(self.stamp, proc)
        proc.wait(30)
        return (swapped - started) / 1e6

    def bare_peak_kb(self):
        _, proc = self.start(self.bare, False)
        try:
            wait_stamp(self.stamp, proc)
            time.sleep(MENU_SECONDS)
            return hwm_kb(proc.pid)
        finally:
            proc.kill()
            proc.wait()

    def game_peaks_kb(self):
        _, proc = self.start(self.game, False)
        try:
            wait_stamp(self.stamp, proc)
            time.sleep(MENU_SECONDS)
            menu = hwm_kb(proc.pid)
            window = self.x(["xdotool", "search", "--name", "^Vektorak$"]).split()[-1]
            self.x(["xdotool", "mousemove", "--window", window, "5", "5"])
            for keys in (["o"], ["p", "p"], ["Return"]):
                self.x(["xdotool", "key", "--delay", "60"] + keys)
            time.sleep(MATCH_SECONDS)
            return menu, hwm_kb(proc.pid)
        finally:
            proc.kill()
            proc.wait()

    def x(self, args):
        return subprocess.run(args, env=dict(os.environ, DISPLAY=self.xvfb.display), stdout=subprocess.PIPE,
                              check=True, timeout=30).stdout.decode()

    def close(self):
        self.xvfb.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    build = os.path.abspath(args.pop(0))
    game, data, runs = os.path.join(build, "vektorak"), os.path.join(build, "data"), 7
    while args:
        arg = args.pop(0)
        if arg == "--game":
            game = os.path.abspath(args.pop(0))
        elif arg == "--data":
            data = os.path.abspath(args.pop(0))
        else:
            runs = int(arg)
    bench = Bench(build, game, data)
    rows = {"bare start-up ms": [], "game start-up ms": [], "bare peak MB": [], "game menu peak MB": [],
            "game match peak MB": []}
    try:
        with open("/proc/loadavg") as f:
            print("load average at start: %s" % " ".join(f.read().split()[:3]))
        for _ in range(runs):
            rows["bare start-up ms"].append(bench.startup_ms(bench.bare))
            rows["game start-up ms"].append(bench.startup_ms(game))
            rows["bare peak MB"].append(bench.bare_peak_kb() / 1024.0)
            menu, match = bench.game_peaks_kb()
            rows["game menu peak MB"].append(menu / 1024.0)
            rows["game match peak MB"].append(match / 1024.0)
        with open("/proc/loadavg") as f:
            print("load average at end: %s" % " ".join(f.read().split()[:3]))
    finally:
        bench.close()
    medians = {}
    for name, values in rows.items():
        medians[name] = statistics.median(values)
        print("%-20s median %7.1f   runs %s" % (name, medians[name], " ".join("%.1f" % v for v in values)))
    print("start-up over the bare window: %.1f ms" % (medians["game start-up ms"] - medians["bare start-up ms"]))
    print("peak RSS over the bare window: menu %.1f MB, match %.1f MB"
          % (medians["game menu peak MB"] - medians["bare peak MB"],
             medians["game match peak MB"] - medians["bare peak MB"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
