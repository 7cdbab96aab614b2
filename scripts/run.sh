#!/usr/bin/env bash
# Installs what is missing, builds Ciphra2k in build/ and starts the program.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j2
if [[ -x "$root/build/ciphra2k" ]]; then
  exec "$root/build/ciphra2k" "$@"
else
  exec "$root/build/ciphra2k-cli" --help
fi
