// What a key costs the cache: requests replayed in order through its 800 keys,
// each key's element holding `ways` records, for one key table; beside it, the
// same cache under uniformly random key functions (sampled, and the exact
// expectation from stack distances), LRU over as many records in one fully
// associative set, and Belady's optimal replacement, the limit (docs/replay.md).
#pragma once

#include "cache_layout.hpp"

#include <array>
#include <cstdint>
#include <vector>

// The random key tables sampled for the spread of a random key function's hits.
inline constexpr int32_t RANDOM_TABLES = 30;

struct replay_count {
    int64_t hits;
    int64_t outside;  // requests whose key lay outside the table: misses, stored nowhere
};

// The requests replayed through the cache, the key of descriptor i keys[i]. A
// request hits when its key's element holds its descriptor; otherwise it misses
// and its descriptor goes in, in place of the element's least recently used
// record when the element is full. Every request, hit or miss, makes its record
// the element's most recently used.
replay_count replayKeys(const std::vector<int32_t>& requests, const int32_t* keys, int32_t ways);

// The same under random key table `table`, 0 .. RANDOM_TABLES - 1: descriptor
// i's key drawn uniformly from 0 .. HASH_KEYS - 1, from a stream of its own; the
// requests index descriptors 0 .. descriptors - 1.
replay_count replayRandomTable(const std::vector<int32_t>& requests, int32_t descriptors,
                               int32_t table, int32_t ways);

// From one pass over the stack distances (Mattson et al., 1970): a request of a
// descriptor requested before has distance u, the distinct other descriptors
// requested since its last request. LRU over `ways` x HASH_KEYS records in one
// set hits exactly when u is below that; under a uniformly random key function a
// request hits exactly when fewer than `ways` of those u fell on its key, with
// probability P(Binomial(u, 1 / HASH_KEYS) < ways), whose sum over the requests is
// the random key function's expected hits, exact. descriptors: what the requests
// index, 0 .. descriptors - 1.
struct stack_figures {
    int64_t lruHits;
    double randomHits;
};
stack_figures measureStackDistances(const std::vector<int32_t>& requests, int32_t descriptors,
                                    int32_t ways);
// The pass alone: distances[u], the requests at stack distance u; and the
// figures at `ways` from it.
std::vector<int32_t> stackDistances(const std::vector<int32_t>& requests, int32_t descriptors);
stack_figures stackFiguresAt(const std::vector<int32_t>& distances, int32_t ways);

// P(Binomial(u, 1 / HASH_KEYS) < ways).
double randomHitChance(int64_t u, int32_t ways);

// Belady's optimal replacement over `records` records: every miss brings its
// descriptor in, in place of the one whose next request lies furthest ahead (one
// never requested again first). No cache of as many records hits more often.
int64_t limitHits(const std::vector<int32_t>& requests, int32_t descriptors, int64_t records);

// The replay's stream and its baselines, over the same requests and records.
struct replay_baselines {
    bool owners;         // the owner's requests; else the default stream
    const char* origin;  // the owner's file
    int64_t requests;
    int32_t distinct;  // descriptors requested
    int32_t ways;
    double randomHits;  // a uniformly random key function's expected hits, exact
    double randomMean;  // over RANDOM_TABLES random key tables
    double randomSd;    // their standard deviation
    int64_t lruHits;    // LRU over HASH_KEYS x ways records, fully associative
    int64_t limitHits;  // Belady's optimal replacement over as many records
    // The curve over the cache's size: curve[w - 1], the random key function's
    // exact expectation and LRU's hits with w records per key, w = 1 .. MOST_WAYS.
    std::array<stack_figures, MOST_WAYS> curve;
};

// One key table's replay at every number of records per key at once. An
// element under LRU holds the most recently requested of its key's descriptors,
// as many as it has records, whatever that number (Mattson's stack property):
// so a request hits with w records exactly when fewer than w other descriptors
// of its key were requested since its own last request, and one pass that keeps
// each key's MOST_WAYS most recent gives the hits at every w.
struct table_replay {
    replay_count cache;                     // at the cache's records per key
    std::array<int64_t, MOST_WAYS> hitsAt;  // hitsAt[w - 1]: the hits with w records per key
};
table_replay replayEveryWays(const std::vector<int32_t>& requests, const int32_t* keys,
                             int32_t ways);

// The requests replayed under each of the key tables (tables[t][descriptor]) into
// replays[t], and under the baselines, on `threads` threads; each a job of its own.
// baselines' figures are set; its stream's description is left as it is.
void replayEverything(int32_t threads, const std::vector<int32_t>& requests, int32_t descriptors,
                      const std::vector<const int32_t*>& tables, int32_t ways,
                      replay_baselines& baselines, std::vector<table_replay>& replays);
