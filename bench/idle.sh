#!/bin/sh
# Idle in the menu: the game's CPU against the bare window's
# (vk-barewindow: one full-window textured quad a frame, sleeping between
# frames) at the frame rate the game itself reached, under one Xvfb,
# alternating game and bare window ROUNDS times. CPU is utime + stime of
# the whole process (every thread, the renderer's and the mixer's too)
# from /proc/PID/stat over the same SECONDS; frames are swaps, counted by
# bench/swapcount.c preloaded into both.
# Usage: bench/idle.sh BUILD_DIR [SECONDS [ROUNDS [DISPLAY_NUMBER [SETTINGS]]]]
# SETTINGS is the game's vkt.txt (default: the shipped one); the bare window
# opens the same size. Prints one line a round and the median ratio.
build=${1:?usage: bench/idle.sh BUILD_DIR [SECONDS [ROUNDS [DISPLAY_NUMBER [SETTINGS]]]]}
seconds=${2:-10}
rounds=${3:-3}
display=:${4:-81}
settings=${5:-}
build=$(cd "$build" && pwd) || exit 1
name=idle screen=1280x1024x24
. "$(dirname "$0")/screenbench.sh"

# measure NAME COMMAND...: starts it in $tmp/NAME with its swaps counted,
# waits for its first frame and 2 s more, then prints "cores fps" over
# $seconds and stops it.
measure() {
    name=$1
    shift
    started "$tmp/$name" "$tmp/$name.swaps" "$@"
    sleep 2
    stopped "$seconds"
}

mkdir -p "$tmp/game" "$tmp/bare"
cp -r "$build/data/." "$tmp/game/"
[ -n "$settings" ] && printf '%s\n' "$settings" > "$tmp/game/vkt.txt"
width=$(awk '{print $1; exit}' "$tmp/game/vkt.txt")
height=$(awk '{print $2; exit}' "$tmp/game/vkt.txt")
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); ${seconds} s a run; ${width}x${height}"
echo "round game_cores game_fps bare_cores bare_fps ratio"
ratios=
round=1
while [ $round -le "$rounds" ]; do
    # shellcheck disable=SC2046  # "cores fps", split on purpose
    set -- $(measure game "$build/vektorak")
    game_cores=$1 game_fps=$2
    fps=$(echo "$game_fps" | awk '{printf "%d", $1 + 0.5}')
    [ "$fps" -gt 0 ] || fps=60
    # shellcheck disable=SC2046
    set -- $(measure bare "$build/vk-barewindow" --fps "$fps" --width "$width" --height "$height")
    bare_cores=$1 bare_fps=$2
    ratio=$(echo "$game_cores $bare_cores" | awk '{printf "%.2f", ($2 > 0 ? $1 / $2 : 0)}')
    echo "$round $game_cores $game_fps $bare_cores $bare_fps $ratio"
    ratios="$ratios $ratio"
    round=$((round + 1))
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$ratios" | tr ' ' '\n' | grep . | sort -n | awk '{r[NR] = $1} END {print "median ratio", r[int((NR + 1) / 2)]}'
