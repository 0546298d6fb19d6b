// What the diagnosis computes: every candidate keyed over the sweep, the reach and
// the keysets beyond the catalogue, on every core; then each candidate's figures
// and its verdict, from its keys alone.
#pragma once

#include "candidates.hpp"
#include "diagnosis.hpp"

#include <array>
#include <cstdint>
#include <vector>

// One candidate's figures.
struct candidate_figures {
    outside_keys outside;     // its keys outside the table over the sweep
    key_diagnosis diagnosis;  // only where outside.count is 0
    reach_table reach;
    keyset_figures sweep;  // its keys outside the table and its crowd, over the sweep
    std::array<keyset_figures, KEYSETS> keysets;
    key_verdict verdict;
};

// Every candidate's, compared[c] for keyCandidates[c].
using compared_candidates = std::vector<candidate_figures>;

inline bool hasFigures(const candidate_figures& candidate) { return candidate.outside.count == 0; }

// The calls each candidate makes, each copying the whole record: the sweep, the
// keysets, and two per change of the reach.
inline constexpr int32_t REACH_CALLS = 2 * REACH_BYTES * REACH_SAMPLES;
inline constexpr int32_t CANDIDATE_CALLS =
    SWEEP_COMBINATIONS + KEYSETS * KEYSET_DESCRIPTORS + REACH_CALLS;

// Keys every candidate over the sweep on `threads` threads; where the cache's own
// key function gives a key outside the table there, stops and returns false,
// compared[0].outside naming it. Otherwise keys every candidate over the reach
// and the keysets too, works out each one's figures and verdict, and returns true.
// The figures are the same whatever the number of threads.
bool compareCandidates(int32_t threads, compared_candidates& compared);
