#!/usr/bin/env bash
# Static analysis of the tool's sources: cppcheck and clang-tidy (.clang-tidy)
# must both report nothing. Takes the build folder holding compile_commands.json.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."

cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
    --enable=warning,performance,portability --suppress=missingIncludeSystem \
    -I src src/
echo "cppcheck: clean"

clang-tidy --quiet -p "$build" src/*.cpp
echo "clang-tidy: clean"
