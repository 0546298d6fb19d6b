// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// Called once, from main, with both tallies named at the call.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void printReport(const key_tally& keyCount, const key_tally& valueCount) {
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

}  // namespace

int main(int /*argc*/, char** /*argv*/) {
    key_tally keyCount;
    key_tally valueCount;
    int32_t badKey = 0;
    if (!sweepKeys(keyCount, badKey)) {
        std::fprintf(stderr, "hashFunctionTester: key %d is outside 0..%d\n", badKey,
                     HASH_KEYS - 1);
        return 1;
    }
    if (!countValues(keyCount, valueCount, badKey)) {
        std::fprintf(stderr, "hashFunctionTester: key %d was hit %d times, outside the count table 0..%d\n",
                     badKey, keyCount[static_cast<size_t>(badKey)], HASH_KEYS - 1);
        return 1;
    }

    errno = 0;
    printReport(keyCount, valueCount);
    // A report that did not reach its destination must not end as a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "hashFunctionTester: write error: %s\n",
                     errno != 0 ? std::strerror(errno) : "unknown error");
        return 1;
    }
    return 0;
}
