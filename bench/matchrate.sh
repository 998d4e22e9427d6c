#!/bin/sh
# A running match's frame rate by pair of computer players: the game plays
# each pair from its menu (controls.txt chooses them, Return starts), and
# from 3 s into the match its cores (utime + stime of the whole process,
# every thread) and its frames (SDL_GL_SwapBuffers calls, counted by
# bench/swapcount.c preloaded) are taken over SECONDS. The pairs' search
# costs differ by microseconds a tick; a pair whose frames a second fall
# below the others' at the same settings is one the loop cannot pace.
# Usage: bench/matchrate.sh BUILD_DIR [SECONDS [DISPLAY_NUMBER [SETTINGS]]]
# SETTINGS is the game's vkt.txt (default: the shipped one). SECONDS + 3
# must stay under the shortest match (master against ace: about 20 s).
build=${1:?usage: bench/matchrate.sh BUILD_DIR [SECONDS [DISPLAY_NUMBER [SETTINGS]]]}
seconds=${2:-10}
display=:${3:-85}
settings=${4:-}
build=$(cd "$build" && pwd) || exit 1
name=matchrate screen=1920x1200x24
. "$(dirname "$0")/screenbench.sh"

# measure LEFT RIGHT: prints "LEFT RIGHT cores frames/s load", the load
# average of the last minute at its end.
measure() {
    rm -rf "$tmp/game"
    mkdir -p "$tmp/game"
    cp -r "$build/data/." "$tmp/game/"
    [ -n "$settings" ] && printf '%s\n' "$settings" > "$tmp/game/vkt.txt"
    printf 'left.choice = %s\nright.choice = %s\n' "$1" "$2" > "$tmp/game/controls.txt"
    started "$tmp/game" "$tmp/$1-$2.swaps" "$build/vektorak"
    sleep 1
    window=$(xdotool search --name '^Vektorak' | head -n 1)
    [ -n "$window" ] && xdotool key --window "$window" Return 2>/dev/null
    sleep 3
    printf "%s %s " "$1" "$2"
    stopped "$seconds" | tr '\n' ' '
    cut -d' ' -f1 /proc/loadavg
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); ${seconds} s a match"
echo "left right cores frames/s load"
# Each round in another order, so that a load that rises or falls during
# the run does not always fall on the same pair.
for pair in "ace ace" "master ace" "master master" "master ace" "master master" "ace ace" \
            "master master" "ace ace" "master ace"; do
    # shellcheck disable=SC2086
    measure $pair
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
