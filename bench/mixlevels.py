#!/usr/bin/env python3
"""How loud the game is: RMS and peak of what the mixer hands the device,
in the menu and over a whole computer-against-computer match.

SDL's disk driver writes the mix (22,050 frames a second, two 16-bit
channels) to a file, near real time (SDL_DISKAUDIODELAY=11). The menu is
heard for MENU_SECONDS with nothing pressed; then both sides are set to the
computer and the match (seed COMPUTERS_SEED, about 19 s) is heard from
Return to its result. dBFS here: 20 log10(value / 32,768), so a full-scale
sine has an RMS of -3 dBFS. Both sides' samples are pooled.

    python3 bench/mixlevels.py BUILD_DIR [RUNS [EFFECTS MUSIC]]

BUILD_DIR holds `vektorak` and `data/`; the volumes are the settings'
defaults (effects 100, music 60) unless given (0 to 100 each, so that the
effects and the music can be heard apart).
"""

import math
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

MENU_SECONDS = 5.0
RATE = 22050


def levels(data, start_frame, end_frame):
    """(RMS dBFS, peak dBFS, peak sample) over frames [start, end)."""
    import array
    samples = array.array("h")
    samples.frombytes(data[start_frame * 4:end_frame * 4])
    if sys.byteorder != "little":
        samples.byteswap()
    if not samples:
        return float("-inf"), float("-inf"), 0
    square = sum(v * v for v in samples)
    peak = max(abs(v) for v in samples)
    rms = math.sqrt(square / len(samples))
    db = lambda v: 20 * math.log10(v / 32768.0) if v > 0 else float("-inf")
    return db(rms), db(peak), peak


def one_run(build, effects, music):
    os.environ.setdefault("VEKTORAK_BIN", os.path.join(build, "vektorak"))
    os.environ.setdefault("VEKTORAK_DATA_DIR", os.path.join(build, "data"))
    import harness
    x = harness.Xvfb(640, 480)
    g = None
    try:
        g = harness.Game(x, settings="640 480 0 0 1 %d %d\n" % (effects, music),
                         game_env={"VEKTORAK_MATCH_SEED": str(harness.COMPUTERS_SEED), "VEKTORAK_UPNP": "off",
                                   "VEKTORAK_DISCOVERY_ADDRESS": "127.0.0.1"})
        audio = os.path.join(g.dir, ".audio.raw")
        g.game_env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio, SDL_DISKAUDIODELAY="11")
        g.start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2)
        menu_from = os.path.getsize(audio) // 4
        time.sleep(MENU_SECONDS)
        menu_to = os.path.getsize(audio) // 4
        g.key("o")
        g.key("p", "p")
        time.sleep(0.5)
        match_from = os.path.getsize(audio) // 4
        g.key("Return")
        # The result screen: the picture changes from the match's for good.
        time.sleep(3)
        deadline = time.time() + 120
        playing = g.screenshot()
        while time.time() < deadline:
            time.sleep(1)
            now = g.screenshot()
            # The match's picture moves; the result's stands still.
            if now.difference(playing) < 0.001:
                break
            playing = now
        match_to = os.path.getsize(audio) // 4
        g.key("Escape")
        g.key("Escape")
        g.wait_exit()
        with open(audio, "rb") as f:
            data = f.read()
        if os.environ.get("MIXLEVELS_KEEP"):  # the match's frames, for a closer look
            with open(os.environ["MIXLEVELS_KEEP"], "wb") as f:
                f.write(data[match_from * 4:match_to * 4])
        return levels(data, menu_from, menu_to), levels(data, match_from, match_to), (match_to - match_from) / RATE
    finally:
        if g:
            g.cleanup()
        x.stop()


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    effects = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    music = int(sys.argv[4]) if len(sys.argv) > 4 else 60
    for _ in range(runs):
        menu, match, seconds = one_run(build, effects, music)
        print("menu  RMS %6.1f dBFS  peak %6.1f dBFS (%d)" % menu)
        print("match RMS %6.1f dBFS  peak %6.1f dBFS (%d) over %.1f s" % (match + (seconds,)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
