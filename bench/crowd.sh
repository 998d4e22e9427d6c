#!/bin/sh
# A crowd at the real game: the host's CPU per frame, and the players'
# waits, with no spectator and with 32, side by side. The host is the real
# game (`vektorak --host`, a computer player, the match seed fixed) under one
# Xvfb at its default 120 frames a second; its other player and the
# spectators are vk-crowd (bench/crowd.cpp) on loopback. Rounds alternate
# none and 32. CPU is utime + stime of the whole host process (the renderer's
# threads too) from /proc/PID/stat over SECONDS of the match; frames are
# swaps, counted by bench/swapcount.c preloaded into it.
# Usage: bench/crowd.sh BUILD_DIR [SECONDS [ROUNDS [DISPLAY_NUMBER]]]
build=${1:?usage: bench/crowd.sh BUILD_DIR [SECONDS [ROUNDS [DISPLAY_NUMBER]]]}
seconds=${2:-15}
rounds=${3:-3}
display=:${4:-82}
build=$(cd "$build" && pwd) || exit 1
name=crowd screen=1280x1024x24
. "$(dirname "$0")/screenbench.sh"
port=$((30000 + $$ % 20000))

# round SPECTATORS: one hosted match; prints "cpu_ms_a_frame fps" and then
# vk-crowd's line.
round() {
    rm -rf "$tmp/game"
    mkdir -p "$tmp/game"
    cp -r "$build/data/." "$tmp/game/"
    echo "left.choice = computer" > "$tmp/game/controls.txt"
    count="$tmp/swaps"
    rm -f "$count"
    (cd "$tmp/game" && VEKTORAK_MATCH_SEED=5 VK_SWAPS_FILE="$count" LD_PRELOAD="$tmp/swapcount.so" \
        exec "$build/vektorak" --host "$port" >/dev/null 2>&1) &
    host=$!
    window=
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Vektorak: left player$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    "$build/vk-crowd" "$port" "$1" $((seconds + 8)) > "$tmp/crowd.out" 2>/dev/null &
    crowd=$!
    # Return readies the host once the other player is in; before that it
    # does nothing, and in the match it is no key at all.
    for _ in 1 2 3 4 5 6; do
        sleep 0.5
        xdotool mousemove --window "$window" 5 5 key Return 2>/dev/null
    done
    sleep 3
    c0=$(cpu_ticks $host) f0=$(swaps "$count")
    sleep "$seconds"
    c1=$(cpu_ticks $host) f1=$(swaps "$count")
    wait $crowd
    kill $host
    wait $host 2>/dev/null
    port=$((port + 1))
    echo "$c0 $c1 $f0 $f1" | awk -v hz="$hz" -v s="$seconds" \
        '{printf "%.3f %.1f ", ($2 - $1) * 1000 / hz / ($4 - $3 > 0 ? $4 - $3 : 1), ($4 - $3) / s}'
    cat "$tmp/crowd.out"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); ${seconds} s a round"
echo "spectators cpu_ms_a_frame fps | vk-crowd"
r=1
while [ $r -le "$rounds" ]; do
    for n in 0 32; do
        echo "$n $(round $n)"
    done
    r=$((r + 1))
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
