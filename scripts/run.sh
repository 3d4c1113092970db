#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds Camber and starts it in the examples folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build"
cd "$root/examples"
if [ -x "$root/build/bin/camber" ]; then
  exec "$root/build/bin/camber"
fi
for f in *.ULF; do
  echo "== $f"
  "$root/build/bin/camber-cli" info "$f"
done
