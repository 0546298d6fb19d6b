#include "diagnosis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Relative agreement with the known answers, which are given to six digits.
void expectNear(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-5 * std::fabs(expected)) << what;
}

TEST(Diagnosis, FieldsOfTheSweep) {
    combination_keys keyOf;
    int32_t badKey = 0;
    ASSERT_TRUE(keyCombinations(keyOf, badKey));
    // Counted by hand with an independent model of the key function over the
    // sweep; random = pairs / 800. Crowd: -1, or the other field and value that
    // holds more than half of the shared pairs and three times its fair share.
    struct Row {
        int32_t pairs, shared, crowdField, crowdValue, crowdPairs;
        bool neverRead;
    };
    const Row rows[SWEEP_FIELDS] = {
        {16800, 110, FIELD_WIDTH, 0, 100, false},   // name
        {21600, 94, -1, 0, 0, false},               // param: 47 of 94 at flag 0 is only fair
        {12000, 676, FIELD_HEIGHT, 0, 600, false},  // width
        {9600, 1600, FIELD_WIDTH, 0, 1600, false},  // height: h * w is 0 whenever w is
        {2400, 2400, -1, 0, 0, true},               // flag: never read
    };
    const field_table fields = shareByField(keyOf);
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        SCOPED_TRACE(SWEEP_FIELD_NAMES[static_cast<std::size_t>(field)]);
        const Row& row = rows[field];
        const field_sharing& sharing = fields[static_cast<std::size_t>(field)];
        EXPECT_EQ(sharing.pairs, row.pairs);
        EXPECT_EQ(sharing.sharedPairs, row.shared);
        EXPECT_DOUBLE_EQ(sharing.randomPairs, row.pairs / 800.0);
        EXPECT_DOUBLE_EQ(sharing.ratio, row.shared * 800.0 / row.pairs);
        EXPECT_EQ(sharing.neverRead, row.neverRead);
        EXPECT_TRUE(sharing.cause);                     // every field shares keys far beyond chance
        EXPECT_EQ(sharing.crowdField, row.crowdField);  // value and pairs 0 when none
        EXPECT_EQ(sharing.crowdValue, row.crowdValue);
        EXPECT_EQ(sharing.crowdPairs, row.crowdPairs);
    }
    hits_per_key keyCount;
    countHits(keyOf, keyCount);
    const key_spread spread = measureSpread(keyCount);
    EXPECT_EQ(spread.emptyKeys, 88);
    EXPECT_EQ(spread.busiest, 38);
    expectNear(spread.chiSquare, 57080 / 6.0 - 4800, "chi-square");  // squares sum to 57080
    const random_baseline blind = blindBaseline(fields, spread.busiest);
    EXPECT_EQ(blind.inputs, 2400);
    EXPECT_EQ(blind.repeats, 2);
}

TEST(Diagnosis, RandomBaselines) {
    // Means and standard deviations from the closed forms, evaluated apart in
    // Python; the median and P(busiest >= M) = 1 - F(ceil(M / r) - 1)^800 with F
    // from scipy.stats.binom (its survival function for the tail), and P as printed.
    struct Row {
        int32_t inputs, repeats, busiest;
        double emptyMean, emptySd, chiMean, chiSd;
        int32_t median;
        double atLeast;
        const char* shown;
    };
    const Row rows[] = {
        {4800, 1, 38, 1.97557, 1.39338, 799, 39.9708, 15, 1.49784e-15, "= 1.5e-15"},  // the sweep
        {2400, 2, 38, 39.755, 5.64415, 1598, 79.9333, 20, 4.24962e-07, "= 4.2e-07"},  // as blind
        {2, 1, 2, 798.001, 0.0353332, 799, 28.2666, 1, 0.00124922, "= 0.0012"},       // (1 - 1/n)
        {1, 4800, 4800, 799, 0, 3.8352e+06, 0, 4800, 1, "= 1"},  // reads nothing
        {4800, 1, 200, 1.97557, 1.39338, 799, 39.9708, 15, 2.11021e-221, "= 2.1e-221"},  // tiny
        {4800, 1, 4800, 1.97557, 1.39338, 799, 39.9708, 15, 0, "< 1e-300"},  // past a double
        {4800, 1, 6, 1.97557, 1.39338, 799, 39.9708, 15, 1, "= 1"},          // some key must
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.inputs << " inputs x " << row.repeats << ", busiest " << row.busiest);
        const random_baseline baseline = randomBaseline(row.inputs, row.repeats, row.busiest);
        expectNear(baseline.emptyMean, row.emptyMean, "empty keys' mean");
        expectNear(baseline.emptySd, row.emptySd, "empty keys' sd");
        expectNear(baseline.chiMean, row.chiMean, "chi-square's mean");
        expectNear(baseline.chiSd, row.chiSd, "chi-square's sd");
        EXPECT_EQ(baseline.busiestMedian, row.median);
        expectNear(baseline.busiestAtLeast, row.atLeast, "P(busiest >= M)");
        EXPECT_EQ(busiestChanceText(baseline, row.busiest).text,
                  "P(busiest >= " + std::to_string(row.busiest) + ") " + row.shown);
    }
    // 800 x the Binomial(4800, 1/800) probabilities (scipy) at 0 and 6 hits; none between repeats.
    const random_baseline sweep = randomBaseline(4800, 1, 38);
    expectNear(expectedKeysWith(sweep, 0), 1.97557, "keys with 0 hits");
    expectNear(expectedKeysWith(sweep, 6), 128.579, "keys with 6 hits");
    EXPECT_EQ(expectedKeysWith(randomBaseline(2400, 2, 38), 3), 0.0);
}

// splitmix64 (Steele, Lea and Flood 2014): the same stream on every target and standard library.
uint64_t nextRandom(uint64_t& state) {
    uint64_t mixed = state += 0x9E3779B97F4A7C15u;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9u;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBu;
    return mixed ^ (mixed >> 31);
}

// One that reads nothing is diagnosis.bad-keys' key 0, a well-mixed one diagnosis.mixed.
TEST(Diagnosis, CausesOfUniformlyRandomKeyFunctions) {
    // A uniformly random key function reads every field and shares keys only by chance: the cause
    // rule may name a field for 1 % of them (at 1 sd it does for 8.5 %, without "twice" 1.5 %).
    constexpr int32_t TABLES = 4000;
    uint64_t state = 20261209;
    int32_t named = 0;
    combination_keys keyOf;
    for (int32_t table = 0; table < TABLES; ++table) {
        for (int32_t& key : keyOf)
            key = static_cast<int32_t>(((nextRandom(state) >> 32) * HASH_KEYS) >> 32);
        const field_table fields = shareByField(keyOf);
        named += rankCauses(fields).count > 0 ? 1 : 0;
        ASSERT_EQ(blindBaseline(fields, 20).repeats, 1) << "table " << table;
    }
    EXPECT_LE(named, TABLES / 100);
}

}  // namespace
