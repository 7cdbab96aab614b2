#!/usr/bin/env bash
# Installs what is missing, builds Ciphra2k from nothing and runs the whole test
# suite through CTest: once as a normal release build (GCC, as the package is
# built), once under AddressSanitizer and UndefinedBehaviorSanitizer (clang,
# which builds this unoptimised code a third faster), and once as clang libFuzzer
# builds whose fuzz targets each run for a bounded time (about a minute in all;
# CIPHRA_FUZZ_SECONDS in the test-fuzz preset's cache sets each target's share).
# The release build also makes the Debian package, which is checked, installed,
# tried and removed (scripts/package_check.sh; it needs root or sudo).
# Any failure, crash, leak or sanitizer report fails the script.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
# The screen-reader test skips where no session bus can start; here it must run.
export CIPHRA_ATSPI_REQUIRED=1
for config in release asan fuzz; do
  dir="$root/build-test-$config"  # the presets' binaryDir
  echo "=== $config build ==="
  (cd "$root" && cmake --preset "test-$config")
  cmake --build "$dir" -j2
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 300)
  if [[ $config == release ]]; then
    echo "=== Debian package ==="
    start=$(date +%s)
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo bash "$root/scripts/package_check.sh" "$dir"
    echo "Debian package checked in $(($(date +%s) - start)) s"
  fi
done
