#!/usr/bin/env bash
# The folders of src/ are layers, and includes point downward only:
#   core/crypto  <  core/io  <  core/jobs  <  gui, cli, stub
# The core is standard C++: no Qt and nothing of a front end. The three front
# ends use the core and nothing of each other. Prints each include that
# breaks the rule and fails when there is one.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../src"

find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 |
  xargs -0 grep -H -E '^[[:space:]]*#[[:space:]]*include' |
  awk '
    BEGIN {
      # folder of the including file, then the includes it must not have
      banned["core/crypto"] = "^(core/io|core/jobs|gui|cli|stub)/"
      banned["core/io"] = "^(core/jobs|gui|cli|stub)/"
      banned["core/jobs"] = "^(gui|cli|stub)/"
      banned["gui"] = "^(cli|stub)/"
      banned["cli"] = "^(gui|stub)/"
      banned["stub"] = "^(gui|cli)/"
      bad = 0
    }
    {
      file = $0; sub(/^\.\//, "", file); sub(/:.*/, "", file)
      target = $0; sub(/^[^:]*:[[:space:]]*#[[:space:]]*include[[:space:]]*/, "", target)
      quoted = ""
      if (match(target, /^"[^"]+"/)) quoted = substr(target, 2, RLENGTH - 2)
      for (folder in banned) {
        if (index(file, folder "/") == 1 && quoted != "" && quoted ~ banned[folder]) {
          print file ": includes " quoted ", which is above its layer"; bad = 1
        }
      }
      if (index(file, "core/") == 1 && target ~ /^<Q[A-Za-z]/) {
        print file ": includes " target ": the core is standard C++ only"; bad = 1
      }
    }
    END { exit bad }'
