// The sweep over every catalogue combination, the key of each, and the two
// tallies the report prints: hits per key, and how many keys share each hit count.
#pragma once

#include "cache_key.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

// Sweep bounds: the catalogue names, the param values, one selector per entry of
// commonWidth and of commonHeight, and the two flag values.
inline constexpr int32_t SWEEP_IMAGES = 8;
inline constexpr int32_t SWEEP_PARAMS = 10;
inline constexpr int32_t SWEEP_WIDTHS = 6;
inline constexpr int32_t SWEEP_HEIGHTS = 5;
inline constexpr int32_t SWEEP_FLAGS = 2;
inline constexpr int32_t SWEEP_COMBINATIONS =
    SWEEP_IMAGES * SWEEP_PARAMS * SWEEP_WIDTHS * SWEEP_HEIGHTS * SWEEP_FLAGS;
static_assert(SWEEP_COMBINATIONS == 4800);

// The swept fields, in the sweep's order: name slowest, flag fastest. A
// combination's index is its place in the sweep, so field f's value is
// (index / the product of the value counts after f) % its own value count.
enum sweep_field : int32_t { FIELD_NAME, FIELD_PARAM, FIELD_WIDTH, FIELD_HEIGHT, FIELD_FLAG };
inline constexpr int32_t SWEEP_FIELDS = 5;
inline constexpr std::array<int32_t, SWEEP_FIELDS> SWEEP_VALUES = {
    SWEEP_IMAGES, SWEEP_PARAMS, SWEEP_WIDTHS, SWEEP_HEIGHTS, SWEEP_FLAGS};
// The record's names of the fields.
inline constexpr std::array<const char*, SWEEP_FIELDS> SWEEP_FIELD_NAMES = {
    "name", "param", "width", "height", "flag"};

// How far apart in the sweep two combinations lie that differ by 1 in field f.
constexpr int32_t fieldStride(int32_t field) {
    int32_t stride = 1;
    for (int32_t later = field + 1; later < SWEEP_FIELDS; ++later)
        stride *= SWEEP_VALUES[static_cast<std::size_t>(later)];
    return stride;
}
static_assert(fieldStride(FIELD_NAME) * SWEEP_IMAGES == SWEEP_COMBINATIONS);

// The value of field f in the combination at index.
constexpr int32_t fieldValue(int32_t combination, int32_t field) {
    return combination / fieldStride(field) % SWEEP_VALUES[static_cast<std::size_t>(field)];
}

// The key of every combination, by its index in the sweep.
using combination_keys = std::array<int32_t, SWEEP_COMBINATIONS>;

// The two tallies: hits on each key 0 .. HASH_KEYS - 1, and the number of keys
// hit exactly v times, for each count v in 0 .. HASH_KEYS - 1.
using hits_per_key = std::array<int32_t, HASH_KEYS>;
using keys_per_count = std::array<int32_t, HASH_KEYS>;

// Sets the keyed fields of d for one combination of the sweep: image is one of its
// catalogue slots, 0 .. SWEEP_IMAGES - 1, which are filled. The name field is
// zero-filled first so that no byte of a longer earlier name survives, and gets
// at most IMAGE_NAME_SIZE - 1 characters, so it always keeps its terminator;
// payload is untouched.
void fillDescriptor(image_descriptor& d, int32_t image, int8_t param, int32_t width, int32_t height,
                    int8_t flag);

// A key function with the by-value signature of hashFunction, and the most that
// are keyed side by side.
using key_function = int32_t (*)(image_descriptor);
inline constexpr int32_t MOST_KEY_FUNCTIONS = 16;

// The keys a key function gave outside 0 .. HASH_KEYS - 1: how many, and the first.
struct outside_keys {
    int32_t count;
    int32_t first;    // 0 when count is 0
    int32_t firstAt;  // the index in the sweep of the combination that got it; 0 when none
};

// The sweep for several key functions at once: one record per combination, in
// sweep order, copied into one by-value call of each function. keyOf[f] and
// outside[f] get function f's keys, those outside the table stored as they came.
void keyTheSweep(const key_function* functions, int32_t count, combination_keys* keyOf,
                 outside_keys* outside);

// The sweep for hashFunction alone. Returns false if a key fell outside
// 0 .. HASH_KEYS - 1, with outside naming them; else every key it stored lies within.
bool keyCombinations(combination_keys& keyOf, outside_keys& outside);

// The hits per key of the keys the sweep stored.
void countHits(const combination_keys& keyOf, hits_per_key& keyCount);

// Keys every combination and counts the hits per key, from zero. Returns false
// if a key fell outside the table, with outside naming them, and counts nothing.
bool sweepKeys(hits_per_key& keyCount, outside_keys& outside);

// valueCount[v] = how many keys were hit exactly v times. Returns false and the
// offending key in badKey if a count does not fit the table.
bool countValues(const hits_per_key& keyCount, keys_per_count& valueCount, int32_t& badKey);

// A name as C would write it, quoted: printable ASCII as it is, with \" and \\,
// every other byte as \xNN, the string broken ("\xc3\xb1" "and") where a hex
// digit follows an escape, which C would read as part of it. The name runs to
// its terminator, or over the whole field if it has none.
struct escaped_name {
    char text[96];
};
escaped_name escapeName(const char (&name)[IMAGE_NAME_SIZE]);

// A descriptor's keyed fields, as kept to be shown.
struct keyed_fields {
    char name[IMAGE_NAME_SIZE];
    int32_t param, width, height, flag;
};
keyed_fields keyedFields(const image_descriptor& d);

// A descriptor as a user would write it: name "faro", param 1, width 2, height 0,
// flag 0; describeCombination gives the sweep's combination at that index.
struct descriptor_text {
    char text[160];
};
descriptor_text describeFields(const keyed_fields& fields);
descriptor_text describeCombination(int32_t combination);
// The keyed fields of the sweep's combination at that index.
keyed_fields combinationFields(int32_t combination);
