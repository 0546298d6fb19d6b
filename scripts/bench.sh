#!/usr/bin/env bash
# Runs the benchmarks with repetitions and prints, besides Google Benchmark's
# table, the host-independent figure: the sweep's median time as a multiple of
# the median of its floor (the same by-value calls into a function that does
# nothing else). Takes the benchmark binary and passes on any further options.
set -euo pipefail
bench=${1:?usage: bench.sh path/to/hash_bench [benchmark options]}
shift
"$bench" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true "$@" |
    tee /dev/stderr |
    awk '$1 == "BM_sweep_median" { sweep = $2 } $1 == "BM_sweepFloor_median" { floor = $2 }
         END { if (floor > 0) printf "sweep / floor (medians): %.2f\n", sweep / floor }'
