"""End-to-end harness: the real game under a private Xvfb, driven as a player.

Each test gets its own X server on a free display number (started and stopped
by process id), a scratch working directory holding the game's data files, and
a running `vektorak` whose standard output, standard error and exit code are
collected. Keys go through xdotool after the pointer has been moved into the
window: with no window manager, X sends keys to the window under the pointer.
Screenshots come from xwd and are decoded here, so no image library is needed.

Environment (set by CTest): VEKTORAK_BIN, VEKTORAK_DATA_DIR, VEKTORAK_XCLOSE,
VEKTORAK_FAKEPAD (the fake joystick library, fakepad.c), VEKTORAK_SHOTS (where
screenshots are kept for a human to look at).
"""

import array
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

BIN = os.environ.get("VEKTORAK_BIN", "")
DATA_DIR = os.environ.get("VEKTORAK_DATA_DIR", "")
XCLOSE = os.environ.get("VEKTORAK_XCLOSE", "")
FAKEPAD = os.environ.get("VEKTORAK_FAKEPAD", "")
SHOTS = os.environ.get("VEKTORAK_SHOTS", "")

SHUTDOWN_STDOUT = ("Setting Loaded.\nSDL Inicialized.\nOpenGL Inicialized.\n"
                   "Game Inicialized.\nEntering main game loop.\nDelleting all..OK\nEnd.\n")
NO_SETTINGS_MESSAGE = "Unable to open inicialization file. Using default valueas.\n"

# Seeds for VEKTORAK_MATCH_SEED whose computer matches end in 18 to 36 s (a
# drawn seed's take one to two minutes), found without a window: vk-duel, and
# with both sides' flags late by the network's input delay. If the match's
# rules change, these matches only last longer.
COMPUTERS_SEED = 2377     # computer against computer: 19.0 s
ACE_COMPUTER_SEED = 628   # the ace against the computer: 20.3 s
# Over the network each side corrects its guesses of the other: this seed's
# computer duel lasted 15.9 s at every one-way delay tried from 1 to 120 ms.
NETWORK_SEED = 193
RELAY_SEED = 193


def _display_free(n):
    return not (os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n))


class Xvfb:
    """A private X server. -noreset keeps it from resetting (and refusing
    connections for a moment) whenever its last client leaves."""

    def __init__(self, width=1280, height=1024):
        self.proc = None
        self.display = None
        for n in range(100 + os.getpid() % 300, 1000):
            if not _display_free(n):
                continue
            proc = subprocess.Popen(
                ["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (width, height),
                 "-noreset", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if os.path.exists("/tmp/.X11-unix/X%d" % n):
                    self.proc, self.display = proc, ":%d" % n
                    return
                time.sleep(0.05)
            proc.kill()
            proc.wait()
        raise RuntimeError("no free display for Xvfb")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None


class Image:
    """A screenshot: width, height and 0xRRGGBB pixels, row 0 at the top."""

    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def at(self, x, y):
        return self.pixels[y * self.width + x]

    def rgb(self, x, y):
        p = self.at(x, y)
        return (p >> 16) & 255, (p >> 8) & 255, p & 255

    def mean(self, x0=0, y0=0, x1=None, y1=None):
        """Mean (r, g, b) over a rectangle."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        n, r, g, b = 0, 0, 0, 0
        for y in range(y0, y1):
            row = self.pixels[y * self.width + x0:y * self.width + x1]
            for p in row:
                r += (p >> 16) & 255
                g += (p >> 8) & 255
                b += p & 255
            n += len(row)
        return (r / n, g / n, b / n) if n else (0, 0, 0)

    def difference(self, other, x0=0, y0=0, x1=None, y1=None):
        """Share of pixels in the rectangle that differ by more than 24 in
        any channel."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        changed = total = 0
        for y in range(y0, y1):
            mine, theirs = y * self.width, y * other.width
            total += x1 - x0
            # Row by row, equal pixels passed over at once: the tests poll
            # with this, and the games they judge need the processor too.
            for a, b in zip(self.pixels[mine + x0:mine + x1], other.pixels[theirs + x0:theirs + x1]):
                if a != b and (abs((a >> 16 & 255) - (b >> 16 & 255)) > 24 or abs((a >> 8 & 255) - (b >> 8 & 255)) > 24
                               or abs((a & 255) - (b & 255)) > 24):
                    changed += 1
        return changed / total if total > 0 else 0.0

    def lit_fraction(self, threshold=16):
        lit = sum(1 for p in self.pixels
                  if max((p >> 16) & 255, (p >> 8) & 255, p & 255) > threshold)
        return lit / len(self.pixels)

    def save_png(self, path):
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)
            for p in self.pixels[y * self.width:(y + 1) * self.width]:
                raw += bytes(((p >> 16) & 255, (p >> 8) & 255, p & 255))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(bytes(raw), 6))
        png += chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)

    @staticmethod
    def load_png(path):
        """Reads back what save_png wrote: 8-bit RGB, one IDAT, filter 0."""
        with open(path, "rb") as f:
            data = f.read()
        width, height = struct.unpack(">II", data[16:24])
        at = data.index(b"IDAT")
        raw = zlib.decompress(data[at + 4:at + 4 + struct.unpack(">I", data[at - 4:at])[0]])
        pixels, stride = [], 1 + 3 * width
        for y in range(height):
            row = raw[y * stride:(y + 1) * stride]
            if row[0] != 0:
                raise ValueError("%s: row filter %d" % (path, row[0]))
            pixels += [(row[i] << 16) | (row[i + 1] << 8) | row[i + 2] for i in range(1, stride, 3)]
        return Image(width, height, pixels)


def decode_xwd(data):
    """Decodes the ZPixmap, 24/32 bits per pixel XWD that xwd writes for an
    Xvfb screen of depth 24."""
    fields = struct.unpack(">25I", data[:100])
    header_size, _, fmt, _, width, height = fields[:6]
    byte_order, bpp, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if fmt != 2 or bpp not in (24, 32):
        raise ValueError("unsupported xwd image: format %d, %d bits per pixel" % (fmt, bpp))
    offset = header_size + 12 * ncolors

    def shift(mask):
        s = 0
        while mask and not (mask >> s) & 1:
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    step = bpp // 8
    if (bpp, byte_order, red_mask, green_mask, blue_mask) == (32, 0, 0xff0000, 0xff00, 0xff):
        # What Xvfb gives: already 0xRRGGBB with a spare top byte, read a
        # row at a time instead of pixel by pixel.
        rows = array.array("I")
        if rows.itemsize == 4:
            for y in range(height):
                rows.frombytes(data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4])
            if sys.byteorder != "little":
                rows.byteswap()
            return Image(width, height, [v & 0xffffff for v in rows])
    endian = "little" if byte_order == 0 else "big"
    pixels = []
    for y in range(height):
        row = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        for x in range(width):
            v = int.from_bytes(row[x * step:(x + 1) * step], endian)
            pixels.append((((v & red_mask) >> rs) << 16) | (((v & green_mask) >> gs) << 8)
                          | ((v & blue_mask) >> bs))
    return Image(width, height, pixels)


class Game:
    """One run of the real game in a scratch working directory."""

    def __init__(self, xvfb, settings=None, with_data=True, env=None, binary=None, game_env=None, args=()):
        self.xvfb = xvfb
        self.binary = binary or BIN
        self.args = list(args)
        self.dir = tempfile.mkdtemp(prefix="vektorak-e2e-")
        if with_data and DATA_DIR and os.path.isdir(DATA_DIR):
            for name in os.listdir(DATA_DIR):
                # A match played in the build folder leaves lastmatch.vkr
                # and replays/ there; a test's game starts without them.
                if name not in ("vkt.txt", "replays") and not name.startswith("lastmatch.vkr"):
                    shutil.copy(os.path.join(DATA_DIR, name), self.dir)
        if settings is not None:
            with open(os.path.join(self.dir, "vkt.txt"), "w") as f:
                f.write(settings)
        # The dummy audio driver: the game opens its sound as a player's
        # would, and every run's output is what it is without a sound card.
        self.env = dict(os.environ, DISPLAY=xvfb.display, SDL_AUDIODRIVER="dummy")
        self.env.update(env or {})
        # Only for the game's own process, not for the X tools run beside it.
        self.game_env = dict(self.env, **(game_env or {}))
        self.out_path = os.path.join(self.dir, ".stdout")
        self.err_path = os.path.join(self.dir, ".stderr")
        self.proc = None
        self.window = None
        self.stdout = self.stderr = None
        self.returncode = None

    # --- life cycle ---------------------------------------------------------
    def start(self):
        self._out = open(self.out_path, "wb")
        self._err = open(self.err_path, "wb")
        self.proc = subprocess.Popen([self.binary] + self.args, cwd=self.dir, env=self.game_env,
                                     stdout=self._out, stderr=self._err, stdin=subprocess.DEVNULL)
        return self

    def wait_window(self, timeout=20, title="Vektorak"):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError("game exited with %d before its window appeared: %s"
                                     % (self.proc.returncode, self.read_stderr()))
            out = self.x(["xdotool", "search", "--name", "^%s$" % title], check=False)
            ids = out.split()
            if ids:
                self.window = ids[-1]
                # Wait until the window is mapped and has its size.
                if self.window_size() != (0, 0):
                    self.point_into_window()
                    return self.window
            time.sleep(0.1)
        raise AssertionError("no game window within %d s" % timeout)

    def point_into_window(self):
        self.x(["xdotool", "mousemove", "--window", self.window, "5", "5"])

    def wait_exit(self, timeout=30):
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("game did not exit within %d s" % timeout)
        self._out.close()
        self._err.close()
        with open(self.out_path, "rb") as f:
            self.stdout = f.read().decode("utf-8", "replace")
        with open(self.err_path, "rb") as f:
            self.stderr = f.read().decode("utf-8", "replace")
        self.returncode = self.proc.returncode
        return self.returncode

    def read_stderr(self):
        with open(self.err_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def cleanup(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    # --- X helpers ----------------------------------------------------------
    def x(self, args, check=True):
        result = subprocess.run(args, env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=30)
        if check and result.returncode != 0:
            raise AssertionError("%s failed: %s" % (" ".join(args), result.stderr.decode()))
        return result.stdout.decode()

    def window_size(self):
        info = self.x(["xwininfo", "-id", self.window], check=False)
        width = height = 0
        for line in info.splitlines():
            line = line.strip()
            if line.startswith("Width:"):
                width = int(line.split()[1])
            elif line.startswith("Height:"):
                height = int(line.split()[1])
        return width, height

    def key(self, *names, delay_ms=60):
        """Presses and releases each key in turn."""
        self.x(["xdotool", "key", "--delay", str(delay_ms)] + list(names))

    def key_down(self, name):
        self.x(["xdotool", "keydown", name])

    def key_up(self, name):
        self.x(["xdotool", "keyup", name])

    def hold(self, name, seconds):
        self.key_down(name)
        time.sleep(seconds)
        self.key_up(name)

    def close_window(self):
        subprocess.run([XCLOSE, self.window], env=self.env, check=True, timeout=30)

    def screenshot(self, name=None):
        data = subprocess.run(["xwd", "-silent", "-id", self.window], env=self.env,
                              stdout=subprocess.PIPE, check=True, timeout=30).stdout
        image = decode_xwd(data)
        if name and SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            image.save_png(os.path.join(SHOTS, name + ".png"))
        return image

    def wait_picture(self, predicate, timeout=10, name=None):
        """Takes screenshots until predicate(image) holds; returns the image."""
        deadline = time.time() + timeout
        image = None
        while time.time() < deadline:
            image = self.screenshot()
            if predicate(image):
                if name:
                    self.screenshot(name)
                return image
            time.sleep(0.1)
        if name and image is not None and SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            image.save_png(os.path.join(SHOTS, name + "-timeout.png"))
        raise AssertionError("picture condition not met within %d s" % timeout)


class FakePad:
    """One joystick for the game, made by fakepad.c at the system-call
    boundary: 2 axes, 4 buttons, no hat. Give game_env() to the game; then
    axis() and button() reach it as the kernel's joystick events would."""

    BUTTON, AXIS = 0x01, 0x02  # linux/joystick.h JS_EVENT_BUTTON, JS_EVENT_AXIS

    def __init__(self):
        if not FAKEPAD or not os.path.exists(FAKEPAD):
            raise AssertionError("VEKTORAK_FAKEPAD does not name the fake pad library: %r" % FAKEPAD)
        self.dir = tempfile.mkdtemp(prefix="vektorak-pad-")
        self.events = os.path.join(self.dir, "events")
        self.log = os.path.join(self.dir, "log")
        os.mkfifo(self.events)
        # Read-write, so that opening does not wait for the game: what is
        # written before the game reads waits in the pipe.
        self.fd = os.open(self.events, os.O_RDWR)
        self.started = time.time()

    def game_env(self):
        # The sanitizer runtime wants to be first of all libraries; the fake
        # must come before it to see the C library calls SDL makes.
        asan = os.environ.get("ASAN_OPTIONS", "")
        return {"LD_PRELOAD": FAKEPAD, "FAKEPAD_EVENTS": self.events, "FAKEPAD_LOG": self.log,
                "ASAN_OPTIONS": (asan + ":" if asan else "") + "verify_asan_link_order=0"}

    def _send(self, kind, number, value):
        # struct js_event: time in ms, value, type, number.
        ms = int((time.time() - self.started) * 1000) & 0xffffffff
        os.write(self.fd, struct.pack("<IhBB", ms, value, kind, number))

    def axis(self, number, value):
        self._send(self.AXIS, number, value)

    def button(self, number, held):
        self._send(self.BUTTON, number, 1 if held else 0)

    def press(self, number, seconds=0.1):
        self.button(number, True)
        time.sleep(seconds)
        self.button(number, False)

    def descriptors(self):
        """(opened, open at quit): how many device descriptors the game
        opened, and those still open when SDL_Quit was first entered (it
        closes them itself, so the game's own closing shows only here)."""
        opened, still, at_quit = 0, set(), None
        if os.path.exists(self.log):
            with open(self.log) as f:
                for line in f:
                    words = line.split()
                    if words[0] == "open":
                        opened += 1
                        still.add(words[1])
                    elif words[0] == "close":
                        still.discard(words[1])
                    elif words[0] == "quit" and at_quit is None:
                        at_quit = set(still)
        return opened, still if at_quit is None else at_quit

    def close(self):
        os.close(self.fd)
        shutil.rmtree(self.dir, ignore_errors=True)


class GameTestCase(unittest.TestCase):
    """Starts one Xvfb per test class; each test makes its games with game()."""

    SCREEN = (1280, 1024)

    @classmethod
    def setUpClass(cls):
        if not BIN or not os.path.exists(BIN):
            raise AssertionError("VEKTORAK_BIN does not name the game binary: %r" % BIN)
        cls.xvfb = Xvfb(*cls.SCREEN)

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.stop()

    def game(self, **kwargs):
        g = Game(self.xvfb, **kwargs)
        self.addCleanup(g.cleanup)
        return g
