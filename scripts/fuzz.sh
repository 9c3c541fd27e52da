#!/usr/bin/env bash
# fuzz.sh <target> [seconds] [extra libFuzzer args...]: builds the clang fuzz build and runs
# one target (e.g. zip_fuzzer) for the given time over its seed corpus fuzz/corpus/<name>/.
# New inputs go to build/fuzz/corpus/<name>/; crashes to build/fuzz/crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1; seconds=${2:-60}; shift $(( $# < 2 ? $# : 2 ))
source "$root/scripts/deps.sh"
gridport_install_deps clang libclang-rt-14-dev
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGRIDPORT_FUZZ=ON -DGRIDPORT_TESTS=OFF >/dev/null
cmake --build "$build" --target "$target"
name=${target%_fuzzer}
mkdir -p "$build/corpus/$name" "$build/crashes"
seeds=()
[ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
"$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$build/crashes/" "$@" "$build/corpus/$name" "${seeds[@]}"
