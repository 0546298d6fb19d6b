// The replay at scale: generated requests (10 million over 100000 distinct
// descriptors unless told otherwise) read as --requests reads a file, then
// replayed under as many key tables as there are candidates and under every
// baseline, on every core. Prints the reading rate, the replay's time per
// request, its ratio to the reading's, and the most memory the two held at once
// per request, counted at every allocation.
//   replay_bench [--requests N] [--distinct D]
#include "candidates.hpp"
#include "replay.hpp"
#include "requests.hpp"
#include "workers.hpp"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// Every byte operator new hands out, now and at most since the count was reset.
std::atomic<int64_t> heldBytes{0};
std::atomic<int64_t> mostBytes{0};

void* counted(void* block) {
    if (block == nullptr) throw std::bad_alloc();
    const int64_t now = heldBytes += static_cast<int64_t>(malloc_usable_size(block));
    for (int64_t most = mostBytes; now > most && !mostBytes.compare_exchange_weak(most, now);) {
    }
    return block;
}

void uncounted(void* block) noexcept {
    if (block == nullptr) return;
    heldBytes -= static_cast<int64_t>(malloc_usable_size(block));
    std::free(block);
}

using bench_clock = std::chrono::steady_clock;
double secondsSince(bench_clock::time_point start) {
    return std::chrono::duration<double>(bench_clock::now() - start).count();
}

// A request file of `requests` rows over `distinct` descriptors, image-like
// names, drawn by a power law over a seeded order (rank = distinct^u - 1).
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): requests, then descriptors
std::string makeRequests(int64_t requests, int32_t distinct) {
    uint64_t state = 10000000;
    std::vector<std::string> rows(static_cast<std::size_t>(distinct));
    for (int32_t index = 0; index < distinct; ++index) {
        char row[96];
        std::snprintf(row, sizeof row, "photo_%07u.jpg,%d,%u,%u,%u\n", randomBelow(state, 9999999),
                      static_cast<int32_t>(randomBelow(state, 3)),
                      160 * (1 + randomBelow(state, 24)), 90 * (1 + randomBelow(state, 24)),
                      randomBelow(state, 2));
        rows[static_cast<std::size_t>(index)] = row;
    }
    std::string text = "name,param,width,height,flag\n";
    text.reserve(static_cast<std::size_t>(requests) * (rows[0].size() + 1));
    for (int64_t request = 0; request < requests; ++request) {
        const double u = static_cast<double>(nextRandom(state) >> 11) / 9007199254740992.0;
        const auto rank = static_cast<std::size_t>(std::pow(distinct, u)) - 1;
        text += rows[std::min(rank, rows.size() - 1)];
    }
    return text;
}

}  // namespace

void* operator new(std::size_t size) {
    return counted(std::malloc(std::max<std::size_t>(size, 1)));
}
void* operator new[](std::size_t size) {
    return counted(std::malloc(std::max<std::size_t>(size, 1)));
}
void operator delete(void* block) noexcept { uncounted(block); }
void operator delete[](void* block) noexcept { uncounted(block); }
void operator delete(void* block, std::size_t /*size*/) noexcept { uncounted(block); }
void operator delete[](void* block, std::size_t /*size*/) noexcept { uncounted(block); }

int main(int argc, char** argv) {
    int64_t requests = 10000000;
    int32_t distinct = 100000;
    for (int index = 1; index + 1 < argc; index += 2) {
        if (std::strcmp(argv[index], "--requests") == 0) requests = std::atoll(argv[index + 1]);
        if (std::strcmp(argv[index], "--distinct") == 0) distinct = std::atoi(argv[index + 1]);
    }
    if (requests < 1 || distinct < 1 || requests > MOST_REQUESTS) {
        std::fprintf(stderr, "usage: replay_bench [--requests N] [--distinct D]\n");
        return 2;
    }
    std::string text = makeRequests(requests, distinct);
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr) {
        std::perror("replay_bench: fmemopen");
        return 1;
    }
    const int64_t before = heldBytes;
    mostBytes = before;

    const bench_clock::time_point readingStarts = bench_clock::now();
    request_stream stream{};
    std::string refusal;
    if (!readRequestsFrom(in, "generated", {false}, stream, refusal)) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return 1;
    }
    const double reading = secondsSince(readingStarts);
    std::fclose(in);

    // As many key tables as there are candidates; each candidate's own keying, a
    // by-value call per descriptor, is timed by hash_bench's diagnosis per call.
    std::vector<std::vector<int32_t>> keys(static_cast<std::size_t>(candidateCount));
    std::vector<const int32_t*> tables;
    uint64_t state = 20261210;
    for (std::vector<int32_t>& table : keys) {
        table.resize(stream.distinct.size());
        for (int32_t& key : table) key = static_cast<int32_t>(randomBelow(state, HASH_KEYS));
        tables.push_back(table.data());
    }
    const int32_t threads = machineThreads();
    replay_baselines baselines{};
    std::vector<table_replay> replays;
    const bench_clock::time_point replayStarts = bench_clock::now();
    replayEverything(threads, stream.requests, stream.descriptors, tables, RECORDS_PER_ELEMENT,
                     baselines, replays);
    const double replay = secondsSince(replayStarts);

    const double megabytes = static_cast<double>(text.size()) / 1e6;
    std::printf("requests: %lld over %d distinct descriptors, %.1f MB of CSV\n",
                static_cast<long long>(requests), stream.distinctCount, megabytes);
    std::printf("reading: %.0f MB/s, %.2f million requests/s\n", megabytes / reading,
                static_cast<double>(requests) / reading / 1e6);
    std::printf(
        "replay per request: %.1f ns, %d key tables at 1 to %d records per key, every baseline at"
        " %d, on %d threads\n",
        replay / static_cast<double>(requests) * 1e9, candidateCount, MOST_WAYS,
        RECORDS_PER_ELEMENT, threads);
    std::printf("replay / reading: %.2f\n", replay / reading);
    std::printf("peak memory per request: %.1f bytes\n",
                static_cast<double>(mostBytes - before) / static_cast<double>(requests));
    return 0;
}
