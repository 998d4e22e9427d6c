#!/bin/sh
# Screens that do not move: the game's CPU while it shows a paused match, a
# result or the settings screen and nobody presses a key, each over SECONDS
# after it has settled. CPU is utime + stime of the whole process (the
# renderer's and the mixer's threads too) from /proc/PID/stat; frames are
# SDL_GL_SwapBuffers calls, counted by bench/swapcount.c preloaded.
# Usage: bench/still.sh BUILD_DIR [SECONDS [DISPLAY_NUMBER [SETTINGS]]]
# SETTINGS is the game's vkt.txt (default: the shipped one). The result
# comes from watching tests/replays/computers_right_wins.vkr (49 s) to its end.
build=${1:?usage: bench/still.sh BUILD_DIR [SECONDS [DISPLAY_NUMBER [SETTINGS]]]}
seconds=${2:-10}
display=:${3:-83}
settings=${4:-}
build=$(cd "$build" && pwd) || exit 1
name=still screen=1920x1200x24
. "$(dirname "$0")/screenbench.sh"
keys() {
    window=$(xdotool search --name '^Vektorak' | head -n 1)
    [ -n "$window" ] && xdotool mousemove --window "$window" 5 5 && xdotool key --window "$window" --delay 150 "$@" 2>/dev/null
}

# measure NAME WAIT KEYS...: starts the game, waits for its first frame,
# types KEYS, waits WAIT seconds for the screen to settle, then prints
# "NAME cores frames/s" over $seconds.
measure() {
    name=$1 wait=$2
    shift 2
    rm -rf "$tmp/game"
    mkdir -p "$tmp/game"
    cp -r "$build/data/." "$tmp/game/"
    [ -n "$settings" ] && printf '%s\n' "$settings" > "$tmp/game/vkt.txt"
    cp "$here/../tests/replays/computers_right_wins.vkr" "$tmp/game/lastmatch.vkr"
    started "$tmp/game" "$tmp/$name.swaps" "$build/vektorak"
    sleep 1
    keys "$@"
    sleep "$wait"
    printf "%s " "$name"
    stopped "$seconds"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); ${seconds} s a screen"
echo "screen cores frames/s"
measure settings 2 s
measure paused 2 o p p Return p
measure result 55 r
measure menu 2 Shift_L
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
