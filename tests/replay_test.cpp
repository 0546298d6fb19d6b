#include "replay.hpp"
#include "keysets.hpp"
#include "requests.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The requests of a pattern of descriptors given as letters: "ABAB" is 0 1 0 1.
std::vector<int32_t> lettered(const char* pattern) {
    std::vector<int32_t> requests;
    for (const char* letter = pattern; *letter != '\0'; ++letter) requests.push_back(*letter - 'A');
    return requests;
}

// 801 descriptors requested in a loop, twice: 0 .. 800, 0 .. 800.
std::vector<int32_t> loopTwice() {
    std::vector<int32_t> requests;
    for (int32_t pass = 0; pass < 2; ++pass)
        for (int32_t descriptor = 0; descriptor <= HASH_KEYS; ++descriptor)
            requests.push_back(descriptor);
    return requests;
}

TEST(Replay, KnownAnswers) {
    // Worked by hand, the random key's expectation with Python's fractions: each request of a
    // descriptor seen before, u others between, hits a random key's cache with probability
    // P(Binomial(u, 1/800) < ways).
    struct Row {
        const char* what;
        std::vector<int32_t> requests;
        std::vector<int32_t> keys;  // by descriptor
        int32_t ways;
        int64_t hits, outside, lru, limit;
        double random;
    };
    std::vector<int32_t> keyOfLoop;  // 800 shares key 0 with 0
    for (int32_t descriptor = 0; descriptor <= HASH_KEYS; ++descriptor)
        keyOfLoop.push_back(descriptor % HASH_KEYS);
    const Row rows[] = {
        // One key for both, one record: each request pushes the other out. Any cache of 800
        // records holds both; a random key parts them but with 1/800 each time: 3 x 799/800.
        {"a constant key, 1 record", lettered("ABABA"), {0, 0}, 1, 0, 0, 3, 3, 2.99625},
        {"a constant key, 2 records", lettered("ABABA"), {0, 0}, 2, 3, 0, 3, 3, 3},
        {"a key that parts the two", lettered("ABABA"), {0, 1}, 1, 3, 0, 3, 3, 2.99625},
        // A hit makes its record the most recent: C pushes B out, not A.
        {"a hit reorders the element", lettered("ABACA"), {0, 0, 0}, 2, 2, 0, 2, 2, 2},
        // A key outside the table is a miss, stored nowhere: A never hits.
        {"a key outside the table", lettered("ABABA"), {800, 1}, 1, 1, 3, 3, 3, 2.99625},
        {"a negative key", lettered("ABABA"), {-1, 1}, 1, 1, 3, 3, 3, 2.99625},
        // 801 in a loop through 800 records: LRU always drops the next one wanted; Belady keeps
        // 799 of them, drops one never wanted again for 799 and has 800 (1 + 799 hits); the key
        // loses only 0 and 800, which share key 0. A random key: 801 x P(Binomial(800, 1/800) < 1).
        {"801 in a loop, 1 record", loopTwice(), keyOfLoop, 1, 799, 0, 0, 800, 294.4871667514054},
        // Two records a key: room for all, but a random key still crowds some.
        {"801 in a loop, 2 records", loopTwice(), keyOfLoop, 2, 801, 0, 801, 801,
         589.3429031733383},
        // Three records a key, the cache's own: A, B, C and D share key 0, E has key 1. Key 0's
        // element runs A, BA, CBA; A hits (ACB); D pushes B out (DAC); B pushes C out (BDA); A
        // hits (ABD); E; C pushes D out (CAB); A hits. Every repeat is within 2400 records. A
        // random key: the repeats' stack distances are 2, 3, 2, 4, 2, so 5 - 3997 / 800^4.
        {"the cache's 3 records a key",
         lettered("ABCADBAECA"),
         {0, 0, 0, 0, 1},
         3,
         3,
         0,
         5,
         5,
         4.99999999024169921875},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto descriptors = static_cast<int32_t>(row.keys.size());
        const replay_count counted = replayKeys(row.requests, row.keys.data(), row.ways);
        EXPECT_EQ(counted.hits, row.hits);
        EXPECT_EQ(counted.outside, row.outside);
        const stack_figures stack = measureStackDistances(row.requests, descriptors, row.ways);
        EXPECT_EQ(stack.lruHits, row.lru);
        EXPECT_NEAR(stack.randomHits, row.random, 1e-12 * row.random);
        EXPECT_EQ(limitHits(row.requests, descriptors, int64_t{HASH_KEYS} * row.ways), row.limit);
    }
}

TEST(Replay, TheDefaultStream) {
    // From an independent model in Python, written from docs/replay.md alone: the stream's first
    // requests, a random key's exact expectation (to 48 digits; here 1e-12 relative), the 30
    // random tables' mean (exactly a fraction) and sample sd, LRU and Belady.
    request_stream stream{};
    makeDefaultStream(stream);
    EXPECT_EQ(stream.requests.size(), 240000u);
    EXPECT_EQ(stream.distinctCount, 18626);
    const std::vector<int32_t> first(stream.requests.begin(), stream.requests.begin() + 10);
    EXPECT_EQ(first, (std::vector<int32_t>{3861, 11236, 11011, 3972, 754, 14101, 9543, 11642, 23484,
                                           3699}));
    struct Row {
        int32_t ways;
        double random, mean, sd;
        int64_t lru, limit;
    };
    const Row rows[] = {
        {1, 92155.994741640938364769553359, 1382401.0 / 15, 1147.229855011577467, 109084, 160847},
        {2, 127656.052790474176403594169215, 127625.9, 616.749954922212965, 138091, 181922},
        {3, 148053.26463819937099307922, 148038.9, 426.29998746228557, 155450, 193491},
    };
    // The curve's random expectation, the binomial sums at 4 and 16 records a key (the same model).
    const std::vector<std::pair<int32_t, double>> curve = {{4, 161994.25431702475175874981},
                                                           {16, 215111.63744010434954244115}};
    // A key table of the project's generator, replayed at each of the curve's numbers too.
    std::vector<int32_t> keys(static_cast<std::size_t>(stream.descriptors));
    uint64_t state = 20261211;
    for (int32_t& key : keys) key = static_cast<int32_t>(randomBelow(state, HASH_KEYS));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.ways << " records a key");
        replay_baselines baselines{};
        std::vector<table_replay> replays;
        replayEverything(2, stream.requests, stream.descriptors, {keys.data()}, row.ways, baselines,
                         replays);
        // The curve at the cache's own number is the table's figure; the key table's one pass
        // gives at every number what a replay at that number alone gives.
        EXPECT_EQ(baselines.curve[static_cast<std::size_t>(row.ways - 1)].randomHits,
                  baselines.randomHits);
        EXPECT_EQ(baselines.curve[static_cast<std::size_t>(row.ways - 1)].lruHits,
                  baselines.lruHits);
        for (int32_t ways = 1; ways <= MOST_WAYS; ++ways)
            EXPECT_EQ(replays[0].hitsAt[static_cast<std::size_t>(ways - 1)],
                      replayKeys(stream.requests, keys.data(), ways).hits);
        EXPECT_EQ(replays[0].cache.hits, replayKeys(stream.requests, keys.data(), row.ways).hits);
        for (const auto& [ways, random] : curve)
            EXPECT_NEAR(baselines.curve[static_cast<std::size_t>(ways - 1)].randomHits, random,
                        1e-12 * random);
        EXPECT_NEAR(baselines.randomHits, row.random, 1e-12 * row.random);
        EXPECT_NEAR(baselines.randomMean, row.mean, 1e-12 * row.mean);
        EXPECT_NEAR(baselines.randomSd, row.sd, 1e-12 * row.sd);
        EXPECT_EQ(baselines.lruHits, row.lru);
        EXPECT_EQ(baselines.limitHits, row.limit);
        // The sampled mean lies within three standard errors of the exact expectation.
        EXPECT_LE(std::fabs(baselines.randomMean - baselines.randomHits),
                  3 * baselines.randomSd / std::sqrt(RANDOM_TABLES));
    }
}

}  // namespace
