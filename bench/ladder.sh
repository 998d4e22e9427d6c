#!/bin/sh
# The computer players' ladder: every pairing of computer, pilot, ace and master,
# both ways round, MATCHES seeded matches from FIRST_SEED, one JSON line
# each from vk-duel.
# Usage: bench/ladder.sh BUILD_DIR [MATCHES [FIRST_SEED]]
build=${1:?usage: bench/ladder.sh BUILD_DIR [MATCHES [FIRST_SEED]]}
matches=${2:-1000}
seed=${3:-1}
for pair in "pilot computer" "computer pilot" "ace pilot" "pilot ace" "ace computer" "computer ace" \
            "ace ace" "pilot pilot" "master ace" "ace master" "master pilot" "pilot master" \
            "master computer" "computer master" "master master"; do
    # shellcheck disable=SC2086
    "$build/vk-duel" $pair "$matches" "$seed" || exit 1
done
