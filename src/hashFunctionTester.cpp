// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"

#include <pthread.h>

#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The run's own stack. The run keeps its state in automatic storage: the
// tallies, the sweep's record and the copy of it each call of hashFunction gets,
// a little over 800 kB; builds that keep a third copy (unoptimised clang, the
// sanitizers, -fstack-protector-all) take about 1.2 MiB. A thread's stack is
// mapped at the size it is given, with a guard page below it, whatever the main
// thread's limit (ulimit -s); only the pages the run touches become resident.
constexpr std::size_t RUN_STACK_BYTES = std::size_t{8} * 1024 * 1024;

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

// The run: sweep, tallies and report; 0 once the whole report is written.
int runTester() {
    hits_per_key keyCount;
    keys_per_count valueCount;
    int32_t badKey = 0;
    if (!sweepKeys(keyCount, badKey)) {
        std::fprintf(stderr, "hashFunctionTester: key %d is outside 0..%d\n", badKey,
                     HASH_KEYS - 1);
        return 1;
    }
    if (!countValues(keyCount, valueCount, badKey)) {
        std::fprintf(stderr,
                     "hashFunctionTester: key %d was hit %d times, outside the count table 0..%d\n",
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

// The run's thread: its status goes back through the argument.
void* runOnItsStack(void* status) {
    *static_cast<int*>(status) = runTester();
    return nullptr;
}

}  // namespace

// The tool has no options: the arguments are ignored. main only starts the run
// on a stack of its own and waits for it.
int main(int /*argc*/, char** /*argv*/) {
    pthread_attr_t attributes;
    pthread_t run{};
    int status = 1;
    int error = pthread_attr_init(&attributes);
    if (error == 0) {
        error = pthread_attr_setstacksize(&attributes, RUN_STACK_BYTES);
        if (error == 0) error = pthread_create(&run, &attributes, runOnItsStack, &status);
        pthread_attr_destroy(&attributes);
    }
    if (error != 0) {
        std::fprintf(stderr, "hashFunctionTester: cannot start the run: %s\n",
                     std::strerror(error));
        return 1;
    }
    pthread_join(run, nullptr);
    return status;
}
