"""The game as it sounds: SDL's disk driver writes what the mixer hands it
(22,050 frames a second, two 16-bit channels) into a file, and the file is
judged. SDL_DISKAUDIODELAY keeps the driver near real time, one buffer of
256 frames every 11 ms.

Music is off in most of these runs (the seventh number of vkt.txt), so that
what is heard is the effects alone; some effects are replaced by files written here
byte by byte, as a player's own would be: silence, or a constant level that
none of the baked sounds holds for long.
"""

import os
import struct
import time
import unittest

from harness import COMPUTERS_SEED, DATA_DIR, GameTestCase, SHUTDOWN_STDOUT

RATE = 22050
FRAME = 4  # bytes: two 16-bit channels


def wav(samples):
    """A mono 16-bit 22,050 Hz PCM WAV file of the given sample values."""
    data = struct.pack("<%dh" % len(samples), *samples)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            bytes([16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xac, 0, 0, 2, 0, 16, 0]) +
            b"data" + struct.pack("<I", len(data)) + data)


SILENCE = wav([0] * 100)
LEVEL = wav([24000] * RATE)  # one second at one level


def read_wav_samples(path):
    with open(path, "rb") as f:
        data = f.read()
    return list(struct.unpack("<%dh" % ((len(data) - 44) // 2), data[44:44 + (len(data) - 44) // 2 * 2]))


class Audio:
    """The disk driver's file: frames as (left, right) lists."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        n = len(data) // FRAME
        values = struct.unpack("<%dh" % (2 * n), data[:n * FRAME])
        self.left, self.right = values[0::2], values[1::2]

    def __len__(self):
        return len(self.left)

    def first_sound(self, start, end=None):
        end = len(self) if end is None else min(end, len(self))
        for i in range(start, end):
            if self.left[i] or self.right[i]:
                return i
        return None

    def silent(self, start, end):
        return self.first_sound(start, end) is None

    def longest_level(self, start=0):
        """Frames in the longest run of one non-zero value on either side."""
        best = 0
        for side in (self.left, self.right):
            run = 0
            for i in range(start + 1, len(side)):
                run = run + 1 if side[i] == side[i - 1] and side[i] != 0 else 0
                best = max(best, run)
        return best

    def onsets(self, start, end, gap):
        """Frames where sound starts after at least `gap` silent frames."""
        found, quiet = [], 0
        for i in range(start, min(end, len(self))):
            if self.left[i] or self.right[i]:
                if quiet >= gap:
                    found.append(i)
                quiet = 0
            else:
                quiet += 1
        return found


def correlation(a, b):
    n = min(len(a), len(b))
    a, b = a[:n], b[:n]
    ma, mb = sum(a) / n, sum(b) / n
    num = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    da = sum((x - ma) ** 2 for x in a) ** 0.5
    db = sum((y - mb) ** 2 for y in b) ** 0.5
    return num / (da * db) if da and db else 0.0


class Sound(GameTestCase):
    def sounding_game(self, replace, settings="640 480 0 0 1 100 0\n"):
        g = self.game(settings=settings, game_env={"VEKTORAK_MATCH_SEED": str(COMPUTERS_SEED)})
        self.audio = os.path.join(g.dir, ".audio.raw")
        g.game_env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.audio, SDL_DISKAUDIODELAY="11")
        for name, contents in replace.items():
            with open(os.path.join(g.dir, name), "wb") as f:
                f.write(contents)
        g.start()
        g.wait_window()
        g.wait_picture(lambda image: image.lit_fraction() > 0.2)
        return g

    def position(self):
        return os.path.getsize(self.audio) // FRAME

    def start_computer_match(self, g):
        g.key("o")  # left: computer
        g.key("p", "p")  # right: computer
        time.sleep(0.5)  # the menu's blips have rung out
        before = self.position()
        g.key("Return")
        return before

    def finish(self, g):
        self.assertEqual(g.wait_exit(), 0, g.stderr)
        self.assertEqual(g.stdout, SHUTDOWN_STDOUT)
        # SDL's own warning that the disk driver is in use; nothing else.
        for line in g.stderr.splitlines():
            self.assertTrue("disk" in line.lower() or "Writing to file" in line, line)

    def test_a_computer_match_is_heard_at_once_carries_its_shots_and_ends_and_m_is_no_key(self):
        # Only the left ship's shot and the start are the baked sounds; the
        # right ship's shot, hits, bounces and the alert are silent; the
        # end, won or drawn, is a second at one level.
        silent = ("shot_right.wav", "hit_left.wav", "hit_right.wav", "bounce.wav", "low_health.wav")
        replace = dict((name, SILENCE) for name in silent)
        replace.update({"won.wav": LEVEL, "draw.wav": LEVEL})
        g = self.sounding_game(replace)
        started = self.start_computer_match(g)
        time.sleep(4.0)
        audio = Audio(self.audio)
        # The menu's blips have rung out and its music is off: silence
        # until the match starts.
        self.assertTrue(audio.silent(started - RATE // 4, started), "the menu was not silent with the music off")
        heard = audio.first_sound(started)
        self.assertIsNotNone(heard, "the match is silent")
        print("first sound %.0f ms after Return was sent" % ((heard - started) * 1000 / RATE))
        # Heard at once: well before a match's first second, as a start
        # that loaded or waited for something would not be. How soon is
        # bench_sound's to measure: here the key's way through X and SDL
        # counts too, and came to 46 ms quiet and 93 to 151 ms with other
        # tests beside it on two processors.
        self.assertLessEqual(heard - started, RATE // 5,
                             "first sound %.0f ms after the match started" % ((heard - started) * 1000 / RATE))

        # After the start's sound, each sound that rises out of silence is a
        # left shot: the same wave as shot_left.wav, placed and scaled.
        shot = read_wav_samples(os.path.join(DATA_DIR, "shot_left.wav"))
        onsets = audio.onsets(started + RATE, len(audio), gap=RATE // 50)
        self.assertGreaterEqual(len(onsets), 6, "too few shots in three seconds: %d" % len(onsets))
        for at in onsets[:6]:
            heard_wave = [audio.left[i] + audio.right[i] for i in range(at, at + len(shot) - 100)]
            best = max(correlation(heard_wave, shot[lag:]) for lag in range(0, 4))
            self.assertGreater(best, 0.95, "the sound at frame %d is no shot" % at)

        # Played out: the result screen, and its sound.
        deadline = time.time() + 400
        while time.time() < deadline and Audio(self.audio).longest_level(started) < RATE // 2:
            time.sleep(2)
        self.assertGreaterEqual(Audio(self.audio).longest_level(started), RATE // 2, "no end was heard")
        # The wreck plays 1.5 s from the end's sound; then the result screen
        # takes any key after a second, but not m, which is the shell's.
        time.sleep(3.0)
        g.point_into_window()
        result = g.screenshot()
        g.key("m")
        time.sleep(0.5)
        self.assertLess(g.screenshot().difference(result), 0.01, "m counted as a key on the result screen")
        g.key("Escape")
        g.wait_picture(lambda image: image.difference(result) > 0.3)
        g.key("Escape", "Escape")  # the statistics to the menu, and out
        self.finish(g)

    def test_pause_holds_the_music_and_silences_the_effects_and_m_everything(self):
        # With the music on: a pause holds it as well.
        g = self.sounding_game({}, settings="640 480 0 0 1 100 60\n")
        self.start_computer_match(g)
        time.sleep(2.0)
        self.assertFalse(Audio(self.audio).silent(self.position() - RATE, self.position()), "no shots heard")

        g.key("p")
        time.sleep(0.3)  # what was mixed before the pause has been written
        paused_from = self.position()
        time.sleep(1.5)
        paused_to = self.position()
        g.key("p")
        time.sleep(1.0)
        resumed = self.position()

        g.key("m")
        time.sleep(0.3)
        muted_from = self.position()
        time.sleep(1.5)
        muted_to = self.position()
        g.key("m")
        time.sleep(1.0)
        unmuted = self.position()
        g.key("Escape")
        g.key("Escape")
        self.finish(g)

        audio = Audio(self.audio)
        self.assertGreater(paused_to - paused_from, RATE, "the driver wrote too little while paused")
        self.assertTrue(audio.silent(paused_from, paused_to), "music or effects heard in a paused match")
        self.assertFalse(audio.silent(paused_to + RATE // 5, resumed), "nothing heard after the pause")
        self.assertGreater(muted_to - muted_from, RATE)
        self.assertTrue(audio.silent(muted_from, muted_to), "sound heard while muted")
        self.assertFalse(audio.silent(muted_to + RATE // 5, unmuted), "nothing heard after unmuting")


if __name__ == "__main__":
    unittest.main()
