#!/usr/bin/env bash
# Installs what is missing, builds a Release build and runs gridport with the
# given arguments. Without arguments it converts the sample of examples/ in a
# fresh output folder and prints where the CSV files went.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
gridport_install_deps

build=${GRIDPORT_RELEASE_BUILD:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDPORT_TESTS=OFF >/dev/null
cmake --build "$build"
if [ $# -gt 0 ]; then
  exec "$build/gridport" "$@"
fi

out=$(mktemp -d "${TMPDIR:-/tmp}/gridport-sample.XXXXXX")
cp "$root/examples/sample.xls" "$root/examples/AutoSettings.ini" "$out/"
(cd "$out" && "$build/gridport" AUTO)
echo "Converted examples/sample.xls in $out:"
ls -1 "$out"/*.csv
