// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"

#include <sys/auxv.h>
#include <sys/resource.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned long long KIB = 1024;

// Bytes of stack in use from the top of the stack down to this call's frame, or 0
// if the top cannot be found. The kernel copies the program's file name to the
// top of the stack, followed only by a null pointer; the stack's extent ends at
// the first page boundary at or above that. The frame address is used rather than
// a local's, which a sanitizer may move off the stack.
[[gnu::noinline]] unsigned long long stackInUse() {
    const std::uintptr_t execfn = getauxval(AT_EXECFN);
    const std::uintptr_t page = getauxval(AT_PAGESZ);
    if (execfn == 0 || page == 0) return 0;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the auxiliary vector hands out addresses as integers
    const char* name = reinterpret_cast<const char*>(execfn);
    const std::uintptr_t end = execfn + std::strlen(name) + 1 + sizeof(void*);
    const std::uintptr_t top = (end + page - 1) / page * page;
    const auto at = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return top > at ? top - at : 0;
}

// A stack too small for the sweep would end the run by SIGSEGV, without a word.
// Refuse such a run up front instead, saying what it needs. False if refused.
bool stackHoldsTheRun() {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    const unsigned long long inUse = stackInUse();
    if (inUse == 0) return true;  // cannot tell: let the run try
    const unsigned long long need = inUse + SWEEP_STACK_BYTES;
    if (need <= limit.rlim_cur) return true;
    const unsigned long long needKib = (need + KIB - 1) / KIB;
    std::fprintf(stderr,
                 "hashFunctionTester: the run needs %llu KiB of stack but the limit is %llu KiB;"
                 " raise it with ulimit -s %llu\n",
                 needKib, static_cast<unsigned long long>(limit.rlim_cur) / KIB, (needKib + 63) / 64 * 64);
    return false;
}

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
    if (!stackHoldsTheRun()) return 1;

    int32_t badValue = 0;
    switch (sweepKeys(keyCount, badValue)) {
        case sweep_result::complete:
            break;
        case sweep_result::bad_image:
            std::fprintf(stderr, "hashFunctionTester: image %d is not in the catalogue\n", badValue);
            return 1;
        case sweep_result::bad_key:
            std::fprintf(stderr, "hashFunctionTester: key %d is outside 0..%d\n", badValue,
                         HASH_KEYS - 1);
            return 1;
    }
    if (!countValues(keyCount, valueCount, badValue)) {
        std::fprintf(stderr, "hashFunctionTester: key %d was hit %d times, outside the count table 0..%d\n",
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
