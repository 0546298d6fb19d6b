// Measures how evenly hashFunction spreads the catalogue's image variants over
// the cache keys, and prints the distribution report on standard output.
#include "distribution.hpp"

#include <sys/auxv.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

constexpr unsigned long long KIB = 1024;

// Stack the run takes below main: the tallies, then the sweep.
constexpr std::size_t RUN_STACK_BYTES = 2 * sizeof(key_tally) + SWEEP_STACK_BYTES;

std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

constexpr unsigned long long roundUp(unsigned long long value, unsigned long long step) {
    return (value + step - 1) / step * step;
}

// The first address above the stack, whose pages are page bytes, or 0 if it cannot
// be found. The kernel puts
// the argument strings, the environment strings and the program's file name at
// the top of the stack, followed only by a null pointer, and the stack ends at the
// next page boundary. Started through the dynamic loader, the program sees its
// own name as AT_EXECFN, and the file name the kernel stored (the loader's) lies
// unseen right above the environment: it is stepped over.
std::uintptr_t stackTop(char** argv, std::uintptr_t page) {
    std::uintptr_t end = 0;  // just past the highest string seen
    const auto note = [&end](const char* text) {
        if (text != nullptr) end = std::max(end, addressOf(text) + std::strlen(text) + 1);
    };
    for (char** arg = argv; *arg != nullptr; ++arg) note(*arg);
    for (char** var = environ; *var != nullptr; ++var) note(*var);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the auxiliary vector hands out addresses as integers
    note(reinterpret_cast<const char*>(getauxval(AT_EXECFN)));
    if (end == 0) return 0;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the bytes right above the highest string
    const std::size_t unseen = std::strlen(reinterpret_cast<const char*>(end));
    if (unseen > 0) end += unseen + 1;
    return static_cast<std::uintptr_t>(roundUp(end + sizeof(void*), page));
}

// A stack too small for the sweep would end the run by SIGSEGV, without a word.
// Refuse such a run up front instead, saying what it needs. False if refused.
// The stack grows a page at a time, so the need is counted in whole pages. The
// frame address is used rather than a local's, which a sanitizer may move off
// the stack.
[[gnu::noinline]] bool stackHoldsTheRun(char** argv) {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    const std::uintptr_t page = getauxval(AT_PAGESZ);
    const std::uintptr_t top = page != 0 ? stackTop(argv, page) : 0;
    const std::uintptr_t frame = addressOf(__builtin_frame_address(0));
    if (top <= frame) return true;  // cannot tell: let the run try
    const unsigned long long need = roundUp(top - frame + RUN_STACK_BYTES, page);
    if (need <= limit.rlim_cur) return true;

    // Put together in a small buffer and written directly: printf and stderr's
    // own buffering take more stack than a refused run may have left.
    const unsigned long long needKib = roundUp(need, KIB) / KIB;
    char line[192];  // room for the text and three numbers of 20 digits
    char* at = line;
    const auto text = [&at, &line](std::string_view part) {
        const auto room = static_cast<std::size_t>(std::end(line) - at);
        const std::size_t size = std::min(part.size(), room);
        std::memcpy(at, part.data(), size);
        at += size;
    };
    const auto number = [&at, &line](unsigned long long value) {
        at = std::to_chars(at, std::end(line), value).ptr;
    };
    text("hashFunctionTester: the run needs ");
    number(needKib);
    text(" KiB of stack but the limit is ");
    number(static_cast<unsigned long long>(limit.rlim_cur) / KIB);
    text(" KiB; raise it with ulimit -s ");
    // The advice leaves 16 KiB for where the stack starts, which moves from run
    // to run, and rounds up to 64 KiB.
    number(roundUp(needKib + 16, 64));
    text("\n");
    const ssize_t written = write(STDERR_FILENO, line, static_cast<std::size_t>(at - line));
    static_cast<void>(written);  // nothing more to say if stderr is gone
    return false;
}

// Called once, from runTester, with both tallies named at the call.
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

// The run: sweep, tallies and report; 0 once the whole report is written. Kept out
// of main, and never inlined into it, so that main can refuse a stack too small
// for the run before this frame takes the tallies' room: at the tightest limits
// that room is all there is.
[[gnu::noinline]] int runTester() {
    key_tally keyCount;
    key_tally valueCount;
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

}  // namespace

// The arguments are not read as options; their strings only help find the stack.
int main(int /*argc*/, char** argv) {
    if (!stackHoldsTheRun(argv)) return 1;
    return runTester();
}
