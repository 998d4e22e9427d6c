#!/usr/bin/env python3
"""The game's footprint against the bare window's (vk-barewindow): start-up
time and peak resident memory, side by side in one run.

    python3 bench/footprint.py BUILD_DIR [RUNS] [--before GAME DATA]

BUILD_DIR holds vk-barewindow and libfirstswap.so (bench/firstswap.c),
vektorak and data/. --before adds another game binary with its data folder
(an older build, say), run in the same rounds. Each round runs, one after
the other: the bare window and each game for start-up, then each in its
loop for memory. Medians over RUNS rounds (default 7), every figure of
every run printed too.

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
    def __init__(self, build):
        import harness
        self.build = build
        self.shim = os.path.join(build, "libfirstswap.so")
        self.bare = os.path.join(build, "vk-barewindow")
        self.xvfb = harness.Xvfb(640, 480)
        self.dirs = {}
        self.dir = None
        self.stamp = None

    def use(self, data):
        """A scratch copy of `data` to run in, made once per folder."""
        if data not in self.dirs:
            folder = tempfile.mkdtemp(prefix="vektorak-footprint-")
            for name in os.listdir(data):
                if name != "vkt.txt" and not name.startswith("lastmatch.vkr"):
                    shutil.copy(os.path.join(data, name), folder)
            self.dirs[data] = folder
        self.dir = self.dirs[data]
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

    def game_peaks_kb(self, game):
        _, proc = self.start(game, False)
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
        for folder in self.dirs.values():
            shutil.rmtree(folder, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    build = os.path.abspath(args.pop(0))
    games, runs = [("game", os.path.join(build, "vektorak"), os.path.join(build, "data"))], 7
    while args:
        arg = args.pop(0)
        if arg == "--before":
            games.append(("before", os.path.abspath(args.pop(0)), os.path.abspath(args.pop(0))))
        else:
            runs = int(arg)
    bench = Bench(build)
    rows = {"bare start-up ms": [], "bare peak MB": []}
    for name, _, _ in games:
        for what in ("start-up ms", "menu peak MB", "match peak MB"):
            rows["%s %s" % (name, what)] = []
    try:
        with open("/proc/loadavg") as f:
            print("load average at start: %s" % " ".join(f.read().split()[:3]))
        for _ in range(runs):
            bench.use(games[0][2])
            rows["bare start-up ms"].append(bench.startup_ms(bench.bare))
            for name, binary, data in games:
                bench.use(data)
                rows["%s start-up ms" % name].append(bench.startup_ms(binary))
            bench.use(games[0][2])
            rows["bare peak MB"].append(bench.bare_peak_kb() / 1024.0)
            for name, binary, data in games:
                bench.use(data)
                menu, match = bench.game_peaks_kb(binary)
                rows["%s menu peak MB" % name].append(menu / 1024.0)
                rows["%s match peak MB" % name].append(match / 1024.0)
        with open("/proc/loadavg") as f:
            print("load average at end: %s" % " ".join(f.read().split()[:3]))
    finally:
        bench.close()
    medians = {}
    for name, values in rows.items():
        medians[name] = statistics.median(values)
        print("%-24s median %7.1f   runs %s" % (name, medians[name], " ".join("%.1f" % v for v in values)))
    for name, _, _ in games:
        print("%s over the bare window: start-up %.1f ms; peak RSS in the menu %.1f MB, in a match %.1f MB"
              % (name, medians["%s start-up ms" % name] - medians["bare start-up ms"],
                 medians["%s menu peak MB" % name] - medians["bare peak MB"],
                 medians["%s match peak MB" % name] - medians["bare peak MB"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
