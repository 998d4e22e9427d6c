#!/bin/sh
# run.sh SECONDS [OUTDIR]: builds the fuzz targets with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) when their sources changed,
# then runs each for SECONDS. Exits non-zero when a target crashes; the input
# that did it is left in OUTDIR/artifacts/ and belongs in a regression test.
#
# OUTDIR defaults to build-fuzz/ in the repository. The corpus grown there is
# kept between runs; the seeds are remade from H3DSWriter and writeReplay
# every run, plus the game's own models when a build has baked them into
# build/data/ and the recorded matches of tests/replays/.
set -eu

seconds=${1:?usage: fuzz/run.sh SECONDS [OUTDIR]}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
out=${2:-$repo/build-fuzz}
cxx=${CLANGXX:-clang++}
mkdir -p "$out/artifacts" "$out/seeds-3ds" "$out/seeds-text" "$out/seeds-replay" "$out/seeds-packet" \
         "$out/seeds-lobby" "$out/corpus-3ds" "$out/corpus-text" "$out/corpus-replay" "$out/corpus-packet" \
         "$out/corpus-lobby"

sdl_flags=$(sdl-config --cflags)
flags="-std=c++17 -g -O1 -ffp-contract=off -fno-omit-frame-pointer -I$repo/src -I$here $sdl_flags $(pkg-config --cflags glib-2.0)"
sanitize="-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all"
libs="-lSDL_image -ljpeg $(sdl-config --libs) -lGLU -lGL -lm $(pkg-config --libs glib-2.0)"
readers="$repo/src/assets/h3dsloader.cpp $repo/src/assets/hmodel.cpp $repo/src/assets/hnormals.cpp $repo/src/assets/htexturestore.cpp"
headers="$repo/src/assets/*.h $repo/src/game/greplay.h $repo/src/net/*.h $repo/src/lobby/*.h $here/*.h"

# build TARGET SOURCES...: relinks when any source or header is newer.
build() {
    target=$1
    shift
    if [ -x "$out/$target" ]; then
        stale=$(find "$@" $headers "$here/run.sh" -newer "$out/$target" 2>/dev/null | head -n 1)
        [ -z "$stale" ] && return 0
    fi
    echo "fuzz: building $target"
    $cxx $flags "$@" -o "$out/$target.tmp" $libs && mv "$out/$target.tmp" "$out/$target"
}

build_plain() {
    target=$1
    shift
    if [ -x "$out/$target" ]; then
        stale=$(find "$@" $headers -newer "$out/$target" 2>/dev/null | head -n 1)
        [ -z "$stale" ] && return 0
    fi
    $cxx -std=c++17 -O1 -I"$repo/src" "$@" -o "$out/$target"
}

flags="$flags $sanitize"
# The targets build side by side: one after another, a processor stood idle
# for most of the half minute they take on a fresh clone.
builds=""
build fuzz_3ds "$here/fuzz_3ds.cpp" $readers &
builds="$builds $!"
build fuzz_textmodel "$here/fuzz_textmodel.cpp" $readers &
builds="$builds $!"
build fuzz_replay "$here/fuzz_replay.cpp" "$repo/src/game/greplay.cpp" "$repo/src/assets/hreplacefile.cpp" &
builds="$builds $!"
build fuzz_packet "$here/fuzz_packet.cpp" "$repo/src/net/nprotocol.cpp" "$repo/src/net/nlockstep.cpp" \
    "$repo/src/net/ndiscovery.cpp" "$repo/src/net/ntranscript.cpp" &
builds="$builds $!"
build fuzz_lobby "$here/fuzz_lobby.cpp" "$repo/src/net/nlobbyprotocol.cpp" "$repo/src/lobby/llobby.cpp" \
    "$repo/src/lobby/lcredentials.cpp" &
builds="$builds $!"
built=0
for pid in $builds; do wait "$pid" || built=1; done
[ "$built" = 0 ] || { echo "fuzz: a target did not build"; exit 1; }
build_plain make_seeds "$here/make_seeds.cpp" "$repo/src/assets/h3dswriter.cpp" "$repo/src/game/greplay.cpp" \
    "$repo/src/assets/hreplacefile.cpp" \
    "$repo/src/net/nprotocol.cpp" "$repo/src/net/ndiscovery.cpp" "$repo/src/net/nlobbyprotocol.cpp"

"$out/make_seeds" "$out/seeds-3ds" "$out/seeds-text" "$out/seeds-replay" "$out/seeds-packet" "$out/seeds-lobby"
for data in "$repo/build/data" "${VEKTORAK_DATA_DIR:-}"; do
    if [ -n "$data" ] && [ -d "$data" ]; then
        for model in "$data"/*.3ds; do [ -f "$model" ] && cp "$model" "$out/seeds-3ds/"; done
        for model in "$data"/*.txt; do [ -f "$model" ] && cp "$model" "$out/seeds-text/"; done
    fi
done
# The recorded matches the tests play back, once they are there.
for replay in "$repo"/tests/replays/*.vkr; do [ -f "$replay" ] && cp "$replay" "$out/seeds-replay/"; done

[ "${BUILD_ONLY:-0}" = 1 ] && exit 0

# run NAME CORPUS SEEDS: fuzzes one target for SECONDS. What it says waits in
# $out/NAME.says until its batch is done, so two targets' lines never mix.
run() {
    name=$1
    corpus=$2
    seeds=$3
    echo "fuzz: $name for $seconds s" > "$out/$name.says"
    # The reader prints a line for every damaged input: keep the log quiet.
    if ! "$out/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
            -print_final_stats=1 -close_fd_mask=2 -artifact_prefix="$out/artifacts/$name-" \
            "$corpus" "$seeds" > "$out/$name.log" 2>&1; then
        echo "fuzz: $name FAILED; see $out/$name.log and $out/artifacts/" >> "$out/$name.says"
        tail -n 40 "$out/$name.log" >> "$out/$name.says"
        return 1
    fi
    grep -E "stat::number_of_executed_units|cov:" "$out/$name.log" | tail -n 2 >> "$out/$name.says"
}

# Each target runs alone on a processor for SECONDS, as many at once as there
# are processors (FUZZ_JOBS): the same fuzzing as one after another, in a
# fraction of the time.
slots=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 1)}
status=0
pids=""
names=""
flush() {
    for pid in $pids; do wait "$pid" || status=1; done
    for name in $names; do cat "$out/$name.says"; done
    pids=""
    names=""
}
for job in "fuzz_3ds 3ds" "fuzz_textmodel text" "fuzz_replay replay" "fuzz_packet packet" "fuzz_lobby lobby"; do
    set -- $job
    run "$1" "$out/corpus-$2" "$out/seeds-$2" &
    pids="$pids $!"
    names="$names $1"
    [ $(echo $pids | wc -w) -ge "$slots" ] && flush
done
flush
exit $status
