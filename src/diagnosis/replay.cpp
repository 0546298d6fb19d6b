#include "replay.hpp"

#include "keysets.hpp"
#include "progress.hpp"
#include "workers.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

constexpr uint64_t RANDOM_TABLE_SEED = 8000;

// The cache's elements, `ways` records each, most recently used first; -1 free.
// WAYS is `ways` where it is known when compiled (the loops then unrolled), else 0.
template <int32_t WAYS>
replay_count replay(const std::vector<int32_t>& requests, const int32_t* keys, int32_t ways) {
    if (WAYS > 0) ways = WAYS;
    std::vector<int32_t> records(at(int64_t{HASH_KEYS} * ways), -1);
    replay_count counted{0, 0};
    for (const int32_t descriptor : requests) {
        const int32_t key = keys[descriptor];
        if (key < 0 || key >= HASH_KEYS) {  // counted, never used as an index
            ++counted.outside;
            continue;
        }
        int32_t* element = &records[at(int64_t{key} * ways)];
        int32_t place = 0;
        while (place < ways - 1 && element[place] != descriptor) ++place;
        counted.hits += element[place] == descriptor ? 1 : 0;
        // Most recently used: the records before it move down one place; on a miss
        // the last, the least recently used, leaves.
        std::copy_backward(element, element + place, element + place + 1);
        element[0] = descriptor;
    }
    return counted;
}

}  // namespace

table_replay replayEveryWays(const std::vector<int32_t>& requests, const int32_t* keys,
                             int32_t ways) {
    // Each key's MOST_WAYS most recent descriptors, most recent first; -1 free.
    std::vector<int32_t> recent(at(int64_t{HASH_KEYS} * MOST_WAYS), -1);
    std::array<int64_t, MOST_WAYS> foundAt{};  // the requests found at each place
    table_replay replayed{};
    for (const int32_t descriptor : requests) {
        const int32_t key = keys[descriptor];
        if (key < 0 || key >= HASH_KEYS) {  // counted, never used as an index
            ++replayed.cache.outside;
            continue;
        }
        int32_t* element = &recent[at(int64_t{key} * MOST_WAYS)];
        int32_t place = 0;
        while (place < MOST_WAYS - 1 && element[place] != descriptor) ++place;
        if (element[place] == descriptor) ++foundAt[at(place)];
        std::copy_backward(element, element + place, element + place + 1);
        element[0] = descriptor;
    }
    int64_t hits = 0;
    for (int32_t w = 1; w <= MOST_WAYS; ++w) {
        hits += foundAt[at(w - 1)];
        replayed.hitsAt[at(w - 1)] = hits;
    }
    replayed.cache.hits = replayed.hitsAt[at(ways - 1)];
    return replayed;
}

replay_count replayKeys(const std::vector<int32_t>& requests, const int32_t* keys, int32_t ways) {
    switch (ways) {  // the cache's own, RECORDS_PER_ELEMENT, and the numbers near it
        case 1:
            return replay<1>(requests, keys, ways);
        case 2:
            return replay<2>(requests, keys, ways);
        case 3:
            return replay<3>(requests, keys, ways);
        case 4:
            return replay<4>(requests, keys, ways);
        default:
            return replay<0>(requests, keys, ways);
    }
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the declaration names them
replay_count replayRandomTable(const std::vector<int32_t>& requests, int32_t descriptors,
                               int32_t table, int32_t ways) {
    // Each descriptor's key drawn once, before the requests look them up.
    std::vector<int32_t> keys(at(descriptors));
    for (int32_t descriptor = 0; descriptor < descriptors; ++descriptor) {
        uint64_t state = (RANDOM_TABLE_SEED + static_cast<uint64_t>(table)) * 0x9E3779B97F4A7C15u +
                         static_cast<uint64_t>(descriptor) * 0xD1B54A32D192ED03u;
        keys[at(descriptor)] = static_cast<int32_t>(randomBelow(state, HASH_KEYS));
    }
    return replayKeys(requests, keys.data(), ways);
}

double randomHitChance(int64_t u, int32_t ways) {
    // The terms of Binomial(u, p) from j = 0 up: q^u, then each times
    // (u - j) / (j + 1) x p / q.
    constexpr double P = 1.0 / HASH_KEYS;
    double term = std::exp(static_cast<double>(u) * std::log1p(-P));
    double sum = 0;
    for (int64_t j = 0; j < ways && j <= u; ++j) {
        sum += term;
        term *= static_cast<double>(u - j) / static_cast<double>(j + 1) * (P / (1 - P));
    }
    return sum;
}

std::vector<int32_t> stackDistances(const std::vector<int32_t>& requests, int32_t descriptors) {
    // distances[u]: the requests at stack distance u, at most descriptors - 1.
    std::vector<int32_t> distances(at(std::max(descriptors, 1)));
    // marks: a Fenwick tree over the requests' places, 1 at each descriptor's last
    // request so far; the marks after place p are the distinct descriptors
    // requested since then.
    const auto n = static_cast<int64_t>(requests.size());
    std::vector<int32_t> marks(at(n + 1));
    const auto mark = [&marks, n](int64_t place, int32_t change) {
        for (int64_t index = place + 1; index <= n; index += index & -index)
            marks[at(index)] += change;
    };
    const auto marksUpTo = [&marks](int64_t place) {
        int64_t count = 0;
        for (int64_t index = place + 1; index > 0; index -= index & -index)
            count += marks[at(index)];
        return count;
    };
    std::vector<int32_t> last(at(descriptors), -1);
    int64_t seen = 0;  // the marks: the distinct descriptors requested so far
    for (int64_t place = 0; place < n; ++place) {
        const int32_t descriptor = requests[at(place)];
        const int32_t before = last[at(descriptor)];
        if (before >= 0) {
            ++distances[at(seen - marksUpTo(before))];
            mark(before, -1);
        } else {
            ++seen;
        }
        mark(place, 1);
        last[at(descriptor)] = static_cast<int32_t>(place);
    }
    return distances;
}

stack_figures stackFiguresAt(const std::vector<int32_t>& distances, int32_t ways) {
    stack_figures figures{0, 0};
    const int64_t records = int64_t{HASH_KEYS} * ways;
    for (std::size_t u = 0; u < distances.size(); ++u) {
        const int32_t count = distances[u];
        if (count == 0) continue;
        if (static_cast<int64_t>(u) < records) figures.lruHits += count;
        figures.randomHits += count * randomHitChance(static_cast<int64_t>(u), ways);
    }
    return figures;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the declaration names them
stack_figures measureStackDistances(const std::vector<int32_t>& requests, int32_t descriptors,
                                    int32_t ways) {
    return stackFiguresAt(stackDistances(requests, descriptors), ways);
}

int64_t limitHits(const std::vector<int32_t>& requests, int32_t descriptors, int64_t records) {
    constexpr int32_t NEVER = std::numeric_limits<int32_t>::max();
    const auto n = static_cast<int32_t>(requests.size());
    // next[i]: where request i's descriptor is requested next, or NEVER.
    std::vector<int32_t> next(at(n));
    {
        std::vector<int32_t> following(at(descriptors), NEVER);
        for (int32_t place = n - 1; place >= 0; --place) {
            int32_t& after = following[at(requests[at(place)])];
            next[at(place)] = after;
            after = place;
        }
    }
    // The records held, in a heap with the furthest next request on top; where[d]
    // is descriptor d's place in it, or -1.
    struct held {
        int32_t next;
        int32_t descriptor;
    };
    std::vector<held> heap;
    heap.reserve(at(std::min<int64_t>(records, descriptors)));
    std::vector<int32_t> where(at(descriptors), -1);
    const auto place = [&heap, &where](std::size_t index, held record) {
        heap[index] = record;
        where[at(record.descriptor)] = static_cast<int32_t>(index);
    };
    const auto siftUp = [&](std::size_t index) {
        const held record = heap[index];
        for (; index > 0 && heap[(index - 1) / 2].next < record.next; index = (index - 1) / 2)
            place(index, heap[(index - 1) / 2]);
        place(index, record);
    };
    const auto siftDown = [&](std::size_t index) {
        const held record = heap[index];
        for (std::size_t child = 2 * index + 1; child < heap.size(); child = 2 * index + 1) {
            if (child + 1 < heap.size() && heap[child + 1].next > heap[child].next) ++child;
            if (heap[child].next <= record.next) break;
            place(index, heap[child]);
            index = child;
        }
        place(index, record);
    };
    int64_t hits = 0;
    for (int32_t now = 0; now < n; ++now) {
        const int32_t descriptor = requests[at(now)];
        const held record{next[at(now)], descriptor};
        if (where[at(descriptor)] >= 0) {  // its next request lies further now: up the heap
            ++hits;
            const auto index = at(where[at(descriptor)]);
            heap[index] = record;
            siftUp(index);
        } else if (static_cast<int64_t>(heap.size()) < records) {
            heap.push_back(record);
            siftUp(heap.size() - 1);
        } else {  // in place of the one requested furthest ahead
            where[at(heap[0].descriptor)] = -1;
            place(0, record);
            siftDown(0);
        }
    }
    return hits;
}

void replayEverything(int32_t threads, const std::vector<int32_t>& requests, int32_t descriptors,
                      const std::vector<const int32_t*>& tables, int32_t ways,
                      replay_baselines& baselines, std::vector<table_replay>& replays) {
    replays.assign(tables.size(), table_replay{});
    std::vector<replay_count> random(RANDOM_TABLES);
    // The longest first: the stack distances, the limit; then the random key
    // tables at the cache's records per key, and the key tables at every number of
    // them, each a pass over the requests.
    constexpr int32_t STACK = 0;
    constexpr int32_t LIMIT = 1;
    constexpr int32_t RANDOM = 2;
    const int32_t keyTables = RANDOM + RANDOM_TABLES;
    const int32_t jobs = keyTables + static_cast<int32_t>(tables.size());
    std::atomic<int32_t> done{0};
    runJobs(threads, jobs, [&](int32_t job, image_descriptor& /*record*/) {
        if (job == STACK) {
            const std::vector<int32_t> distances = stackDistances(requests, descriptors);
            for (int32_t w = 1; w <= MOST_WAYS; ++w)
                baselines.curve[at(w - 1)] = stackFiguresAt(distances, w);
        } else if (job == LIMIT) {
            baselines.limitHits = limitHits(requests, descriptors, int64_t{HASH_KEYS} * ways);
        } else if (job < keyTables) {
            random[at(job - RANDOM)] = replayRandomTable(requests, descriptors, job - RANDOM, ways);
        } else {
            replays[at(job - keyTables)] =
                replayEveryWays(requests, tables[at(job - keyTables)], ways);
        }
        showProgress("replayed", ++done, jobs);
    });
    baselines.lruHits = baselines.curve[at(ways - 1)].lruHits;
    baselines.randomHits = baselines.curve[at(ways - 1)].randomHits;
    double sum = 0;
    for (const replay_count& table : random) sum += static_cast<double>(table.hits);
    baselines.randomMean = sum / RANDOM_TABLES;
    double squares = 0;
    for (const replay_count& table : random)
        squares += (static_cast<double>(table.hits) - baselines.randomMean) *
                   (static_cast<double>(table.hits) - baselines.randomMean);
    baselines.randomSd = std::sqrt(squares / (RANDOM_TABLES - 1));
}
