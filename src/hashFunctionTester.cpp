// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"
#include "program.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* PROGRAM = "hashFunctionTester";

// Called once, from runTester, with both tallies named at the call.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void printReport(const hits_per_key& keyCount, const keys_per_count& valueCount) {
    std::printf("There were ->[ %d ]<- possibilities\n\n", SWEEP_COMBINATIONS);
    std::printf("The dimension of each hash_element would be %" PRId64 "\n\n", HASH_ELEMENT_SIZE);
    std::printf("The dimension of the cache would be %" PRId64 ", with %d hash keys\n\n",
                CACHE_SIZE, HASH_KEYS);
    for (int32_t key = 0; key < HASH_KEYS; ++key)
        std::printf("Key: %d has registered %d times\n", key, keyCount[static_cast<size_t>(key)]);
    std::puts("\n");
    for (int32_t value = 0; value < HASH_KEYS; ++value)
        std::printf("There were %d keys with value %d\n", valueCount[static_cast<size_t>(value)],
                    value);
}

// The run: sweep, tallies and report; 0 once the whole report is written. The
// tool has no options: the arguments are ignored.
int runTester(int /*argc*/, char** /*argv*/) {
    hits_per_key keyCount;
    keys_per_count valueCount;
    outside_keys outside{};
    if (!sweepKeys(keyCount, outside))
        return refuseKey(PROGRAM, outside.first, describeCombination(outside.firstAt).text);
    int32_t badKey = 0;
    if (!countValues(keyCount, valueCount, badKey)) {
        std::fprintf(stderr, "%s: key %d was hit %d times, outside the count table 0..%d\n",
                     PROGRAM, badKey, keyCount[static_cast<size_t>(badKey)], HASH_KEYS - 1);
        return 1;
    }
    errno = 0;
    printReport(keyCount, valueCount);
    return finishOutput(PROGRAM);
}

}  // namespace

int main(int argc, char** argv) { return runOnItsOwnStack(runTester, argc, argv, PROGRAM); }
