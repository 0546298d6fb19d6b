#!/usr/bin/env bash
# Static analysis of the project's sources (src/, src/diagnosis/, tests/, tests/fuzz/, bench/):
# cppcheck and clang-tidy (.clang-tidy) must both find nothing, every C++ file must keep the
# house format (.clang-format), and shellcheck must find nothing in any shell
# script. Takes the build folder holding compile_commands.json. Prints one line
# per tool when clean.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)  # before leaving the caller's folder
cd "$(dirname "$0")/.."
sources=(src/*.cpp src/diagnosis/*.cpp tests/*.cpp tests/fuzz/*.cpp bench/*.cpp)

clang-format --dry-run --Werror src/*.[ch]pp src/diagnosis/*.[ch]pp tests/*.[ch]pp \
    tests/fuzz/*.cpp tests/consumer/*.cpp bench/*.[ch]pp
echo "clang-format: clean"

shellcheck scripts/*.sh tests/*.sh .ci/run
echo "shellcheck: clean"

cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
    --enable=warning,performance,portability --suppress=missingIncludeSystem \
    --library=googletest -DEXPECTED_REPORT='""' \
    -DHFT_VERSION='""' -I src -I src/diagnosis "${sources[@]}"
echo "cppcheck: clean"

# clang-tidy counts the warnings it suppressed in system headers ("N warnings
# generated."); only findings in our own code matter.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The build may be g++'s, with warning and optimisation options clang does not know. The sources
# it does not build (the fuzzer's, the corner cases' table) take a neighbour's command from
# clang-tidy, and need the source folders for their includes.
# The sources in groups of four, a clang-tidy each, on every core; any finding fails the whole.
if ! printf '%s\0' "${sources[@]}" | xargs -0 -n 4 -P "$(nproc)" clang-tidy --quiet -p "$build" \
        --extra-arg=-Wno-unknown-warning-option --extra-arg=-Wno-ignored-optimization-argument \
        --extra-arg=-I"$PWD/src" --extra-arg=-I"$PWD/src/diagnosis" >"$log" 2>&1; then
    grep -v '^[0-9]* warnings\? generated\.$' "$log"
    exit 1
fi
grep -v '^[0-9]* warnings\? generated\.$' "$log" || true
echo "clang-tidy: clean"
