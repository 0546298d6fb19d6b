#include "answer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A replay of 100000 requests in which a random key function hits 60000 times on average and LRU
// 65000: the cache key's hits, its requests outside the table, the random tables' sd, its verdict.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the rows give them
compared_candidates replayed(int64_t hits, int64_t outside, double sd, bool passes) {
    compared_candidates compared{};
    compared.candidates.assign(static_cast<std::size_t>(candidateCount), candidate_figures{});
    compared.candidates[0].replay.cache = {hits, outside};
    compared.candidates[0].verdict.passes = passes;
    compared.candidates[0].verdict.clauses = passes ? 0 : 11;
    for (std::size_t other = 1; other < compared.candidates.size(); ++other)
        compared.candidates[other].replay.cache = {hits, 0};
    compared.replay.requests = 100000;
    compared.replay.randomHits = 60000;
    compared.replay.randomSd = sd;
    compared.replay.lruHits = 65000;
    return compared;
}

TEST(Answer, CostAndCheck) {
    // Worked by hand: 58100 hits are 1.9 points below the random key function's 60000 (against
    // LRU, 6.9), -9.5 sd of 200 hits, -3.8 of 500, -6.33 of 300; 59000 hits 1 point below.
    struct Row {
        const char* what;
        int64_t hits, outside;
        double sd;
        bool passes;
        double maxCost;
        double points, sds;
        std::vector<std::string> reasons;
    };
    const Row rows[] = {
        {"over --max-cost, beyond 3 sd",
         58100,
         0,
         200,
         true,
         1,
         -1.9,
         -9.5,
         {"hashFunction costs 1.90 points, more than --max-cost 1, 9.5 sd below random"}},
        {"under --max-cost", 58100, 0, 200, true, 2, -1.9, -9.5, {}},
        {"over --max-cost, within 3 sd", 59000, 0, 500, true, 0.5, -1, -2, {}},
        {"over --max-cost, just beyond 3 sd",
         59000,
         0,
         300,
         true,
         0.5,
         -1,
         -10.0 / 3,
         {"hashFunction costs 1.00 points, more than --max-cost 0.5, 3.3 sd below random"}},
        {"no --max-cost", 58100, 0, 200, true, -1, -1.9, -9.5, {}},
        // Random tables that do not vary: any cost over --max-cost lies beyond them.
        {"over --max-cost, tables of one figure",
         59000,
         0,
         0,
         true,
         0.5,
         -1,
         0,
         {"hashFunction costs 1.00 points, more than --max-cost 0.5, random tables not varying"}},
        {"a request outside the table",
         60000,
         1,
         200,
         true,
         -1,
         0,
         0,
         {"1 request (0.0%) has a key outside 0..799"}},
        {"requests outside, a failing verdict",
         60000,
         5553,
         200,
         false,
         -1,
         0,
         0,
         {"hashFunction fails its verdict (11 reasons)",
          "5553 requests (5.6%) have a key outside 0..799"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const compared_candidates compared = replayed(row.hits, row.outside, row.sd, row.passes);
        const cache_answer answer = answerOf(compared);
        EXPECT_NEAR(answer.costs[0].points, row.points, 1e-9);
        EXPECT_NEAR(answer.costs[0].sds, row.sds, 1e-9);
        EXPECT_NEAR(answer.keyLoss, -row.points, 1e-9);
        EXPECT_NEAR(answer.layoutLoss, 5, 1e-9);
        EXPECT_EQ(checkOf(compared, answer, row.maxCost).reasons, row.reasons);
    }
}

}  // namespace
