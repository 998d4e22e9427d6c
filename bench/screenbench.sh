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
