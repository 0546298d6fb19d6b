// The cache as its records size it: HASH_KEYS elements of HASH_ELEMENT_SIZE
// bytes, each holding whole image_descriptor records; and the records per key
// the replay can be asked for.
#pragma once

#include "cache_key.hpp"

#include <array>
#include <cstdint>

// The records one hash_element holds whole, and the bytes left over: the most a
// key's element can hold, if it holds records and little else. Its layout lies
// outside the tool; --ways sets another number.
inline constexpr int32_t RECORDS_PER_ELEMENT =
    static_cast<int32_t>(HASH_ELEMENT_SIZE / static_cast<int64_t>(sizeof(image_descriptor)));
inline constexpr int64_t ELEMENT_BYTES_LEFT =
    HASH_ELEMENT_SIZE % static_cast<int64_t>(sizeof(image_descriptor));
static_assert(RECORDS_PER_ELEMENT == 3 && ELEMENT_BYTES_LEFT == 68);

// Records per key: 1 .. MOST_WAYS. The cache holds HASH_KEYS x ways records.
inline constexpr int32_t MOST_WAYS = 16;
static_assert(RECORDS_PER_ELEMENT >= 1 && RECORDS_PER_ELEMENT <= MOST_WAYS);

// The records per key the text's table of the curve shows; the files hold every
// number, 1 to MOST_WAYS.
inline constexpr std::array<int32_t, 6> CURVE_WAYS = {1, 2, 3, 4, 8, 16};
static_assert(CURVE_WAYS.back() == MOST_WAYS);
