#!/usr/bin/env bash
# Installs what is missing, builds a Release build and runs gridport with the given arguments.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
gridport_install_deps

build=${GRIDPORT_RELEASE_BUILD:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDPORT_TESTS=OFF >/dev/null
cmake --build "$build"
if [ ! -x "$build/gridport" ]; then
  echo "gridport is not built yet: the program entry does not exist in this version." >&2
  exit 1
fi
exec "$build/gridport" "$@"
