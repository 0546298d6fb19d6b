// Why the key function spreads the sweep as it does: how often combinations
// that differ in one field only share a key, and the spread against a uniformly
// random key function, over all the sweep's inputs or over only those the key
// function can tell apart.
#pragma once

#include "distribution.hpp"

#include <array>
#include <cstdint>

// How often the pairs of combinations that differ only in one field share a key.
struct field_sharing {
    int32_t pairs;        // pairs of combinations that differ only in this field
    int32_t sharedPairs;  // of them, the pairs on one key
    double randomPairs;   // the pairs a uniformly random key function puts on one key
    double ratio;         // sharedPairs / randomPairs
    bool neverRead;       // every pair shares its key: the key never reads the field
    bool cause;           // never read, or sharing twice as often as random and beyond chance
    // Where the shared pairs crowd, if they do: the value of another field that
    // holds more than half of them and at least three times its fair share
    // (1 / its value count). crowdField is -1 when no value does.
    int32_t crowdField;
    int32_t crowdValue;
    int32_t crowdPairs;
};
using field_table = std::array<field_sharing, SWEEP_FIELDS>;

field_table shareByField(const combination_keys& keyOf);

// The figures of a spread over the keys.
struct key_spread {
    int32_t emptyKeys;
    int32_t busiest;   // the hits on the busiest key
    double chiSquare;  // against an even spread, HASH_KEYS - 1 degrees of freedom
};

key_spread measureSpread(const hits_per_key& keyCount);

// A uniformly random key function over `inputs` distinct inputs, each counted
// `repeats` times, over HASH_KEYS keys: exact means and standard deviations,
// the busiest key's median, and the probability that its busiest key holds at
// least a given number of hits.
struct random_baseline {
    int32_t inputs;
    int32_t repeats;
    double emptyMean, emptySd;
    double chiMean, chiSd;
    int32_t busiestMedian;  // half of all runs have their busiest key at or below it
    double busiestAtLeast;  // P(the busiest key holds at least `busiest` hits)
};

// inputs >= 1, repeats >= 1, inputs * repeats <= SWEEP_COMBINATIONS.
random_baseline randomBaseline(int32_t inputs, int32_t repeats, int32_t busiest);

// The random key function as blind as the one measured: over the inputs left
// distinct when the never-read fields are dropped, each repeated as often.
random_baseline blindBaseline(const field_table& fields, int32_t busiest);

// The keys a random key function of that baseline is expected to leave with
// exactly `hits` hits.
double expectedKeysWith(const random_baseline& baseline, int32_t hits);
