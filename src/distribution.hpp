// The sweep over every catalogue combination and the two tallies the report
// prints: hits per key, and how many keys share each hit count.
#pragma once

#include "cache_key.hpp"

#include <array>
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

// Adds one hit to keyCount[key]. A key outside the table is refused (false) and
// nothing is written.
bool tallyKey(hits_per_key& keyCount, uint32_t key);

// Keys every combination and counts the hits per key, from zero. Returns false
// and the key in badKey if it stops at a key outside the table.
bool sweepKeys(hits_per_key& keyCount, int32_t& badKey);

// valueCount[v] = how many keys were hit exactly v times. Returns false and the
// offending key in badKey if a count does not fit the table.
bool countValues(const hits_per_key& keyCount, keys_per_count& valueCount, int32_t& badKey);
