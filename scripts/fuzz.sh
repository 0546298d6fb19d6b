#!/usr/bin/env bash
# The request reader under libFuzzer (tests/fuzz/request_fuzzer.cpp):
#   fuzz.sh BUILD SECONDS [CMAKE_ARG...]
# Configures BUILD as a clang++ build with HFT_FUZZ (and the CMAKE_ARGs) unless it holds a
# configuration already, builds request_fuzzer and write_seeds, writes the tests' corner cases
# into a fresh BUILD/corpus and runs the fuzzer from them for SECONDS seconds. The inputs it finds
# that reach new code go into BUILD/corpus; a finding's input into BUILD/findings/; libFuzzer's
# output into BUILD/fuzz.log. Prints libFuzzer's line "Done N runs in S second(s)" on stdout and
# exits 0; on a finding prints its report on stderr and exits 1; a failed configure or build
# stops it, non-zero. The build's output goes to stderr. Misuse: one line, exit 2.
set -euo pipefail
if [ $# -lt 2 ] || [ -z "$1" ] || ! [[ $2 =~ ^[1-9][0-9]{0,6}$ ]]; then
    echo "usage: fuzz.sh BUILD SECONDS [CMAKE_ARG...] (SECONDS a whole number from 1)" >&2
    exit 2
fi
build=$1 seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHFT_FUZZ=ON -DBUILD_TESTING=OFF --log-level=WARNING "$@" >&2
elif ! grep -Eqix 'HFT_FUZZ:BOOL=(ON|TRUE|YES|Y|1)' "$build/CMakeCache.txt"; then
    echo "fuzz.sh: $build holds a build without HFT_FUZZ; give a folder of its own" >&2
    exit 1
fi
cmake --build "$build" --config RelWithDebInfo -j "$(nproc)" --target request_fuzzer write_seeds >&2

corpus=$build/corpus findings=$build/findings log=$build/fuzz.log
rm -rf "$corpus"
mkdir -p "$findings"
"$build/write_seeds" "$corpus"
echo "fuzz.sh: request_fuzzer for $seconds s from $(find "$corpus" -type f | wc -l) seeds;" \
    "libFuzzer's output in $log" >&2
# Memory is bounded: the reader refuses a row over 64 KiB, and inputs go up to 256 KiB, at once
# rather than grown from the seeds' lengths (-len_control=0), so that a short run tries them. ASan
# holds freed memory back (256 MB by default) to catch its use: 64 MB, so that the limit on the
# process's memory leaves the rest to what the reader holds (the caller's ASAN_OPTIONS come after).
# The dictionary holds the file's pieces (the header, quotes, escapes, line ends, the ranges' ends).
options=(-max_total_time="$seconds" -rss_limit_mb=256 -malloc_limit_mb=64 -max_len=262144
    -len_control=0 -timeout=30 -dict="$root/tests/fuzz/request.dict" -print_final_stats=1
    -artifact_prefix="$findings/")
status=0
ASAN_OPTIONS=quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS} \
    "$build/request_fuzzer" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
runs=$(grep -E '^Done [0-9]+ runs in [0-9]+ second' "$log" || true)
if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
    # The report, from its first line: the check's, or the sanitizer's or libFuzzer's.
    sed -n '/^request_fuzzer: \|^==[0-9]*==\|ERROR: libFuzzer/,$p' "$log" | head -n 80 >&2
    echo "fuzz.sh: request_fuzzer found a fault (exit $status); its input is in $findings/," \
        "libFuzzer's whole output in $log" >&2
    exit 1
fi
echo "$runs"
