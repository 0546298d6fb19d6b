#!/usr/bin/env bash
# Runs the tool under valgrind memcheck: no invalid access, no use of an
# uninitialised value, no leak. (The heap budget is checked by tool.heap.)
set -euo pipefail
valgrind=${1:?usage: check-memcheck.sh VALGRIND path/to/hashFunctionTester}
tool=${2:?usage: check-memcheck.sh VALGRIND path/to/hashFunctionTester}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if ! "$valgrind" --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
        "$tool" >/dev/null 2>"$log"; then
    cat "$log"
    echo "memcheck: valgrind found errors"
    exit 1
fi
grep 'ERROR SUMMARY' "$log"
