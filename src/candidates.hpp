// The key functions the diagnosis compares side by side: the cache's own
// hashFunction first, then the fixes its owner tries. The table is
// candidates.cpp's; a candidate is one function and one row there.
#pragma once

#include "distribution.hpp"

#include <cstdint>

struct key_candidate {
    const char* name;     // a C identifier of at most CANDIDATE_NAME_SIZE characters
    key_function key;     // called by value, as the cache calls hashFunction
    const char* summary;  // one line: what it changes
};

// Room for the candidates, and for the longest name the table's columns hold.
inline constexpr int32_t MOST_CANDIDATES = MOST_KEY_FUNCTIONS;
inline constexpr int32_t CANDIDATE_NAME_SIZE = 16;

// The table and its length, 1 .. MOST_CANDIDATES; keyCandidates[0] is hashFunction.
extern const key_candidate keyCandidates[];
extern const int32_t candidateCount;

// The two fixes shipped with the table.
int32_t mendedKey(image_descriptor d);
int32_t mixedKey(image_descriptor d);
