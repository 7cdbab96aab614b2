#!/usr/bin/env bash
# The folders of src/ are layers, and includes point downward only:
#   core/crypto  <  core/io  <  core/jobs  <  gui, cli, stub
# The core is standard C++: no Qt and nothing of a front end. The three front
# ends use the core and nothing of each other. Prints each include that
# breaks the rule and fails when there is one.
set -euo pipefail
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)"

# folder, then the pattern of includes it must not have
rules=(
  "core/crypto|^(core/io|core/jobs|gui|cli|stub)/"
  "core/io|^(core/jobs|gui|cli|stub)/"
  "core/jobs|^(gui|cli|stub)/"
  "gui|^(cli|stub)/"
  "cli|^(gui|stub)/"
  "stub|^(gui|cli)/"
)
qt_in_core='^<Q[A-Za-z]'

status=0
while IFS= read -r -d '' file; do
  rel="${file#"$src"/}"
  while IFS= read -r line; do
    target="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*//' <<<"$line")"
    quoted="$(sed -nE 's/^"([^"]+)".*/\1/p' <<<"$target")"
    for rule in "${rules[@]}"; do
      folder="${rule%%|*}"
      banned="${rule#*|}"
      if [[ "$rel" == "$folder"/* && -n "$quoted" && "$quoted" =~ $banned ]]; then
        echo "$rel: includes $quoted, which is above its layer"
        status=1
      fi
    done
    if [[ "$rel" == core/* && "$target" =~ $qt_in_core ]]; then
      echo "$rel: includes $target: the core is standard C++ only"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0)
exit "$status"
