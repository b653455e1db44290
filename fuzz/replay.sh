#!/usr/bin/env bash
# Replays every fuzz target over its seeds and its regression inputs.
# usage: replay.sh MAKE_SEEDS SEED_FOLDER REGRESSION_FOLDER BINARY_FOLDER TARGET...
set -euo pipefail
make_seeds=$1 seeds=$2 regressions=$3 binaries=$4
shift 4
rm -rf "$seeds"
"$make_seeds" "$seeds" >/dev/null
for target in "$@"; do
    inputs=("$seeds/$target")
    [ -d "$regressions/$target" ] && inputs+=("$regressions/$target")
    "$binaries/${target}_replay" "${inputs[@]}"
done
