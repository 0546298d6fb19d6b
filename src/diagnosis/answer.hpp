// The answer the diagnosis opens with, from the replay's figures alone: what
// each candidate's keys cost the cache on the stream replayed, against a
// uniformly random key function; where the cache key's loss lies and which
// candidate gets the most of it back; and what --check fails on.
#pragma once

#include "compare.hpp"

#include <cstdint>
#include <string>
#include <vector>

// One candidate on the stream replayed: its hit ratio and its hits against a
// random key function's exact expectation, in points of hit ratio and in the
// random tables' standard deviations (none where those tables do not vary).
struct candidate_cost {
    double hitRatio;  // in percent
    double points;    // hit ratio less the random key function's expected, in points
    bool hasSd;
    double sds;  // (hits - expected) / the random tables' sd
};

struct cache_answer {
    std::vector<candidate_cost> costs;  // by candidate
    double randomRatio;                 // a random key function's expected hit ratio, percent
    double sdPoints;                    // the random tables' sd, in points
    double keyLoss;     // what the cache key loses against a random key function, in points
    double layoutLoss;  // what `ways` records per key lose against LRU over as many, in points
    int32_t best;       // the candidate, the cache key aside, with the most hits; -1 if none
    double recovered;   // its hits less the cache key's, in points
};
cache_answer answerOf(const compared_candidates& compared);

// --check: it fails when the cache key fails its verdict, when a request's key
// lies outside the table, and, with a largest cost, when the cache key costs
// more points than that against a random key function and lies more than
// MAX_COST_SDS of the random tables' sd below it. Each reason is one short sentence.
inline constexpr double MAX_COST_SDS = 3;
struct check_outcome {
    std::vector<std::string> reasons;  // none: it passes
};
// maxCost: the largest cost in points, or below 0 for none.
check_outcome checkOf(const compared_candidates& compared, const cache_answer& answer,
                      double maxCost);
