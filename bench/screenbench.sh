# screenbench.sh: the set-up that the shell benchmarks of a running game
# share. Sourced (". bench/screenbench.sh") once the script has set `name`
# (its scratch folder's), `display` (":N") and `screen` (the Xvfb screen,
# WIDTHxHEIGHTxDEPTH). Gives: $here (bench/), a scratch folder $tmp, a
# private Xvfb on $display, the frame counter bench/swapcount.c built as
# $tmp/swapcount.so, $hz for /proc's CPU ticks, the environment every game
# of a benchmark runs in, and cpu_ticks PID / swaps FILE. On exit, however
# the script ends, everything it started goes ($$'s children) with the
# Xvfb and $tmp.
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d "/tmp/vektorak-$name.XXXXXX") || exit 1
xvfb=
cleanup() {
    pkill -P $$ 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT INT TERM
cc -O2 -shared -fPIC -o "$tmp/swapcount.so" "$here/swapcount.c" -ldl || exit 1
Xvfb "$display" -screen 0 "$screen" -noreset +bs -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
hz=$(getconf CLK_TCK)
export DISPLAY="$display" SDL_AUDIODRIVER=dummy VEKTORAK_UPNP=off VEKTORAK_DISCOVERY_ADDRESS=127.0.0.1

# utime + stime of a whole process, every thread, in ticks of $hz.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# The frames counted so far in a swapcount file; 0 before the first.
swaps() { cat "$1" 2>/dev/null || echo 0; }

# started DIR COUNT COMMAND...: starts COMMAND in DIR with its frames
# counted in the file COUNT, as $pid, and waits for its first frame (20 s at
# most).
started() {
    dir=$1 count=$2
    shift 2
    rm -f "$count"
    (cd "$dir" && VK_SWAPS_FILE="$count" LD_PRELOAD="$tmp/swapcount.so" exec "$@" >/dev/null 2>&1) &
    pid=$!
    waited=0
    while [ "$(swaps "$count")" -eq 0 ] && [ $waited -lt 200 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
}
# stopped SECONDS: $pid's cores and frames a second over the next SECONDS,
# printed as "cores frames/s", and then $pid stopped.
stopped() {
    c0=$(cpu_ticks $pid) f0=$(swaps "$count")
    sleep "$1"
    c1=$(cpu_ticks $pid) f1=$(swaps "$count")
    kill $pid
    wait $pid 2>/dev/null
    echo "$c0 $c1 $f0 $f1" | awk -v hz="$hz" -v s="$1" '{printf "%.3f %.1f\n", ($2 - $1) / hz / s, ($4 - $3) / s}'
}
