// Why the key function spreads the sweep as it does: how often combinations
// that differ in one field only share a key, and the spread against a uniformly
// random key function, over all the sweep's inputs or over only those the key
// function can tell apart.
#pragma once

#include "distribution.hpp"
#include "keysets.hpp"

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

// inputs >= 1, repeats >= 1, inputs * repeats below 2^31.
random_baseline randomBaseline(int32_t inputs, int32_t repeats, int32_t busiest);

// The random key function as blind as the one measured: over the inputs left
// distinct when the never-read fields are dropped, each repeated as often.
random_baseline blindBaseline(const field_table& fields, int32_t busiest);

// The keys a random key function of that baseline is expected to leave with
// exactly `hits` hits.
double expectedKeysWith(const random_baseline& baseline, int32_t hits);

// Where the baseline's expected keys per hit count stop being worth listing: the
// first count of inputs past the mean that leaves fewer than LISTED_KEYS keys
// expected, or inputs + 1 where none does. Before it, the text lists each count
// that leaves at least LISTED_KEYS keys.
inline constexpr double LISTED_KEYS = 0.5;
int32_t listedInputsEnd(const random_baseline& baseline);

// A chance as the diagnosis gives it: "P(EVENT) = 1.5e-15", two significant
// digits, with "<=" in place of "=" for an upper bound, or "P(EVENT) < 1e-300"
// where it lies below what it tells apart.
struct chance_text {
    char text[96];
};
chance_text chanceText(const char* event, const char* relation, double chance);
// The chance alone, as the table's column gives it: "1.5e-15", or "< 1e-300".
struct chance_figure {
    char text[16];
};
chance_figure chanceFigure(double chance);
// "P(busiest >= M) = ..." for the baseline's busiestAtLeast.
chance_text busiestChanceText(const random_baseline& baseline, int32_t busiest);

// The chance that the baseline's random key function leaves at least emptyKeys
// keys empty, bounded from above by the expected number of sets of that many
// keys that are all empty, C(m, e) (1 - e/m)^n: an upper bound, so a verdict
// drawn from it errs toward passing.
double emptyChance(const random_baseline& baseline, int32_t emptyKeys);

// The chances that the baseline's random key function scores a chi-square of at
// least, and of at most, chiSquare: repeats times a chi-square variable with
// HASH_KEYS - 1 degrees of freedom.
struct chi_square_tails {
    double above;
    double below;
};
chi_square_tails chiSquareChances(const random_baseline& baseline, double chiSquare);

// The fields the key function never reads, in the record's order, joined by
// separator: "name, flag"; "" where it reads every field.
struct field_names {
    char text[48];
};
field_names neverReadNames(const field_table& fields, const char* separator);

// The causes, worst first: the fields that are causes, by ratio, ties in the
// record's order. Never-read fields come first: their 800x is the most a field
// can share.
struct cause_ranking {
    std::array<int32_t, SWEEP_FIELDS> fields;
    int32_t count;
};
cause_ranking rankCauses(const field_table& fields);

// Every figure of one key function's diagnosis over the sweep: the text and the
// figures' files are both written from this record alone.
struct key_diagnosis {
    hits_per_key keyCount;
    // keysWithHits[h]: the keys hit exactly h times, h up to every input on one key.
    std::array<int32_t, SWEEP_COMBINATIONS + 1> keysWithHits;
    field_table fields;
    key_spread spread;
    random_baseline random;  // over every input
    random_baseline blind;   // over the inputs it tells apart: repeats 1 when it reads every field
    cause_ranking causes;
};

// The diagnosis of the keys the sweep stored, each in 0 .. HASH_KEYS - 1.
void diagnose(const combination_keys& keyOf, key_diagnosis& diagnosis);

// A blind baseline apart from the first, where some field is never read.
inline bool hasBlindBaseline(const key_diagnosis& diagnosis) { return diagnosis.blind.repeats > 1; }

// One key function over a keyset beyond the sweep: its keys outside the table,
// the first of them and the descriptor that got it; the spread of those within,
// against a uniformly random key function over as many inputs; and up to
// CROWD_SHOWN of the descriptors on its busiest key (the first with the most).
inline constexpr int32_t CROWD_SHOWN = 5;
struct keyset_figures {
    int32_t descriptors;   // the keyset's
    outside_keys outside;  // firstAt: the descriptor's index in the keyset
    keyed_fields firstOutside;
    hits_per_key keyCount;  // of the keys within the table
    key_spread spread;
    random_baseline random;  // inputs 0, and no other figure, when no key lies within
    int32_t busiestKey;
    int32_t crowdCount;
    std::array<keyed_fields, CROWD_SHOWN> crowd;
};
// The same figures of a key function over the sweep, from its keys.
keyset_figures measureSweep(const combination_keys& keyOf, const outside_keys& outside);

// A key function's keys outside the table over part of a keyset: how many, and
// the first with its descriptor.
struct outside_found {
    outside_keys outside;  // firstAt: the descriptor's index in the keyset
    keyed_fields first;
};

// Keys the keyset's descriptors from .. end - 1 with one key function, one by-value
// call each of the record d: keys[i] gets descriptor i's key, and found counts
// those outside the table, from nothing.
void keyKeysetPart(const keyset_source& source, key_function key, int32_t from, int32_t end,
                   image_descriptor& d, int32_t* keys, outside_found& found);

// The keys outside the table of two parts, the earlier first: counted together,
// the first the earlier part's where it has one.
outside_found joinOutside(const outside_found& earlier, const outside_found& later);

// A key function's figures over a keyset from all its keys, keys[0 ..
// source.descriptors - 1], those outside the table as found counts them; the
// crowd's descriptors are made again in the record d.
keyset_figures finishKeyset(const keyset_source& source, const int32_t* keys,
                            const outside_found& found, image_descriptor& d);

// The verdict on a key function. It fails when it never reads a field over the
// sweep, gives a key outside 0 .. HASH_KEYS - 1, or leaves, over the sweep or a
// keyset, a figure that a uniformly random key function over as many inputs
// reaches with a chance below UNLIKELY: many empty keys (emptyChance), a busy
// busiest key (busiestAtLeast) or a high chi-square. A spread over the sweep
// more even than random is no fault: it is told, with its chance, where a
// chi-square that low has a chance below UNLIKELY. A uniformly random key
// function reads every byte and keeps its keys in the table, so it fails only
// on one of the figures judged, SPREAD_CHANCES over the sweep and each keyset:
// with a chance of at most judgedFigures(keysets) x UNLIKELY, under
// MOST_FALSE_FAILURES whether the owner's requests are judged too or not.
inline constexpr int32_t SPREAD_CHANCES = 3;  // empty keys, the busiest key, chi-square
constexpr int32_t judgedFigures(int32_t keysets) { return SPREAD_CHANCES * (1 + keysets); }
inline constexpr double UNLIKELY = 2.5e-5;
inline constexpr double MOST_FALSE_FAILURES = 0.001;
static_assert(judgedFigures(MOST_KEYSETS) * UNLIKELY <= MOST_FALSE_FAILURES);

// The most clauses a verdict holds: never reads, bytes never reaching the key,
// payload reaching it, each figure over the sweep, and over each keyset its keys
// outside the table and each figure. (Keys outside the table over the sweep make
// one clause alone; the more-even note of one that passes, two.)
inline constexpr int32_t MOST_CLAUSES = 3 + SPREAD_CHANCES + MOST_KEYSETS * (1 + SPREAD_CHANCES);
struct key_verdict {
    bool passes;
    // Why, in clauses joined by "; ": for one that fails, the reasons; for one
    // that passes, "" or how it is more even than random. Room for every clause
    // at its longest, a descriptor's name escaped byte by byte.
    char reasons[4096];
    int32_t clauses;
    std::array<int32_t, MOST_CLAUSES> clauseAt;  // where each begins in reasons
};

// The verdict; the rest is read only when no key of the sweep fell outside the
// table. It also fails a key function some keyed byte of which never reaches its
// key, whose key a payload byte reaches, or which gives a key outside the table
// or an unlikely spread over any of the keysets, keysets[0 .. keysetCount - 1].
key_verdict judge(const outside_keys& outside, const key_diagnosis& diagnosis,
                  const reach_table& reach, const keyset_figures* keysets, int32_t keysetCount);
