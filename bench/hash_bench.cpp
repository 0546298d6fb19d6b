// Timings of what a run is made of, each beside the floor that the by-value
// interface sets: the same record copied into a call that does nothing else.
// Host-independent figures are the ratios of a timing to its floor.
#include "candidates.hpp"
#include "diagnosis.hpp"
#include "floor.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

namespace {

// 400 kB: kept out of the benchmark's stack frame. Every page of it is written
// before it is copied: pages never written all read from the kernel's one shared
// zero page, which stays in cache, so copying them would cost less than copying
// the sweep's record, whose pages are real.
image_descriptor record;

// The record with every byte written and the keyed fields of one combination.
void writeRecord() {
    std::memset(&record, 0x5a, sizeof record);
    fillDescriptor(record, 1, 3, 2, 4, 0);
}

void BM_hashFunction(benchmark::State& state) {
    writeRecord();
    for (auto _ : state) benchmark::DoNotOptimize(hashFunction(record));
    state.SetBytesProcessed(state.iterations() * int64_t{sizeof(image_descriptor)});
}
BENCHMARK(BM_hashFunction);

void BM_sweep(benchmark::State& state) {
    hits_per_key keyCount;
    outside_keys outside{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(sweepKeys(keyCount, outside));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * SWEEP_COMBINATIONS);
}
BENCHMARK(BM_sweep)->Unit(benchmark::kMillisecond);

// The sweep's floor: as many by-value calls as the sweep makes, with the same
// record, into a function that only receives it.
void BM_sweepFloor(benchmark::State& state) {
    writeRecord();
    for (auto _ : state) {
        for (int32_t call = 0; call < SWEEP_COMBINATIONS; ++call)
            benchmark::DoNotOptimize(ignoreDescriptor(record));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * SWEEP_COMBINATIONS);
}
BENCHMARK(BM_sweepFloor)->Unit(benchmark::kMillisecond);

// The diagnosis over one keyset: every candidate keys each of its descriptors,
// one by-value call each, on one thread, and its figures are worked out. Timed
// per call.
void BM_diagnosisKeyset(benchmark::State& state) {
    static std::array<int32_t, KEYSET_DESCRIPTORS> keys;
    static image_descriptor scratch;
    keyset_names names{};
    makeKeysetNames(KEYSET_NAMES_SET, names);
    const keyset_source source{KEYSET_NAMES_SET, &names, nullptr, KEYSET_DESCRIPTORS};
    for (auto _ : state) {
        for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
            outside_found found{};
            keyKeysetPart(source, keyCandidates[candidate].key, 0, KEYSET_DESCRIPTORS, scratch,
                          keys.data(), found);
            benchmark::DoNotOptimize(finishKeyset(source, keys.data(), found, scratch));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * KEYSET_DESCRIPTORS * candidateCount);
}
BENCHMARK(BM_diagnosisKeyset)->Unit(benchmark::kMillisecond);

// Its floor: as many by-value calls into a function that only receives the record.
void BM_diagnosisFloor(benchmark::State& state) {
    writeRecord();
    for (auto _ : state) {
        for (int32_t call = 0; call < KEYSET_DESCRIPTORS * candidateCount; ++call)
            benchmark::DoNotOptimize(ignoreDescriptor(record));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * KEYSET_DESCRIPTORS * candidateCount);
}
BENCHMARK(BM_diagnosisFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
