#!/usr/bin/env bash
# Runs the benchmarks with repetitions and prints on stdout Google Benchmark's
# table and, after it, the host-independent figures: the sweep's median time, and
# the diagnosis's over a keyset, each as a multiple of the median of its floor
# (the same by-value calls into a function that does nothing else), read from
# the run's JSON output; then the replay at scale, replay_bench beside hash_bench
# (REPLAY_REQUESTS requests, 10 million unless set). Takes the benchmark binary
# and passes on any further options.
set -euo pipefail
bench=${1:?usage: bench.sh path/to/hash_bench [benchmark options]}
shift
replay=$(dirname -- "$bench")/replay_bench
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$bench" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_out="$json" \
    --benchmark_out_format=json "$@"
# Each benchmark's fields stand one to a line: "name": "...", "real_time": ...
awk '
    function value(line) { sub(/^[^:]*: *"?/, "", line); sub(/"?,?$/, "", line); return line }
    /^ *"name":/ { name = value($0) }
    /^ *"real_time":/ { time[name] = value($0) + 0 }
    /^ *"time_unit":/ { unit[name] = value($0) }
    function ratio(what, timed, floor) {
        timed = timed "_median"; floor = floor "_median"
        if (!(timed in time) || !(floor in time) || time[floor] <= 0 || unit[timed] != unit[floor]) {
            print "bench.sh: the run gave no medians of " timed " and " floor >"/dev/stderr"
            exit 1
        }
        printf "%s / floor (medians): %.2f\n", what, time[timed] / time[floor]
    }
    END { ratio("sweep", "BM_sweep", "BM_sweepFloor"); ratio("diagnosis per call", "BM_diagnosisKeyset", "BM_diagnosisFloor") }' "$json"
"$replay" --requests "${REPLAY_REQUESTS:-10000000}"
