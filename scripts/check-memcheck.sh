#!/usr/bin/env bash
# Runs the tool under valgrind memcheck: it must report no errors and at most one
# heap block (the C library's stdout buffer; the tool itself allocates nothing).
set -euo pipefail
tool=${1:?usage: check-memcheck.sh path/to/hashFunctionTester}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

valgrind --error-exitcode=99 --leak-check=full "$tool" >/dev/null 2>"$log" || {
    cat "$log"; echo "memcheck: valgrind reported errors"; exit 1; }
allocs=$(sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p' "$log" | tr -d ,)
if [ -z "$allocs" ] || [ "$allocs" -gt 1 ]; then
    cat "$log"; echo "memcheck: ${allocs:-unknown} heap blocks, expected at most 1"; exit 1
fi
echo "memcheck: 0 errors, $allocs heap block(s)"
