#!/usr/bin/env bash
# The Windows stub takes nothing from a C or C++ run time: every DLL it
# imports from is one that Windows itself ships, so that the program runs on
# any 64-bit Windows without anything installed.
# Usage: imports_test.sh OBJDUMP SFDSTUB-WIN.dtt
set -euo pipefail
objdump=$1
stub=$2
allowed=" advapi32.dll gdi32.dll kernel32.dll user32.dll "
dlls=$("$objdump" -p "$stub" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[[ -n $dlls ]] || { echo "FAIL: no imports found"; exit 1; }
for dll in $dlls; do
  [[ $allowed == *" $dll "* ]] || { echo "FAIL: imports from $dll"; exit 1; }
done
echo "PASS: $(echo $dlls)"
