// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"
#include "stack_guard.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Stack the run takes below main: the tallies, then the sweep.
constexpr std::size_t RUN_STACK_BYTES =
    sizeof(hits_per_key) + sizeof(keys_per_count) + SWEEP_STACK_BYTES;

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

// The run: sweep, tallies and report; 0 once the whole report is written. Kept out
// of main, and never inlined into it, so that main can guard the stack before
// this frame takes the tallies' room: at the tightest limits that room is all
// there is.
[[gnu::noinline]] int runTester() {
    hits_per_key keyCount;
    keys_per_count valueCount;
    int32_t badValue = 0;
    const sweep_result swept = sweepKeys(keyCount, badValue);
    // The sweep's frames are gone: from here on a fault is no stack overflow.
    releaseStack();
    switch (swept) {
        case sweep_result::complete:
            break;
        case sweep_result::bad_image:
            std::fprintf(stderr, "hashFunctionTester: image %d is not in the catalogue\n",
                         badValue);
            return 1;
        case sweep_result::bad_key:
            std::fprintf(stderr, "hashFunctionTester: key %d is outside 0..%d\n", badValue,
                         HASH_KEYS - 1);
            return 1;
    }
    if (!countValues(keyCount, valueCount, badValue)) {
        std::fprintf(stderr,
                     "hashFunctionTester: key %d was hit %d times, outside the count table 0..%d\n",
                     badValue, keyCount[static_cast<size_t>(badValue)], HASH_KEYS - 1);
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

}  // namespace

// The arguments are not read as options; their strings only help find the stack.
int main(int /*argc*/, char** argv) {
    if (!guardStack(argv, RUN_STACK_BYTES)) return 1;
    return runTester();
}
