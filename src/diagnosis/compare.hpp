// What the diagnosis computes: every candidate keyed over the sweep, the reach,
// the keysets beyond the catalogue and the owner's requests, on every core; each
// candidate's figures and verdict from its keys alone; and the requests replayed
// through the cache under each candidate and its baselines.
#pragma once

#include "candidates.hpp"
#include "diagnosis.hpp"
#include "replay.hpp"
#include "requests.hpp"
#include "traffic.hpp"

#include <array>
#include <cstdint>
#include <vector>

// One candidate's figures.
struct candidate_figures {
    outside_keys outside;     // its keys outside the table over the sweep
    key_diagnosis diagnosis;  // only where outside.count is 0
    reach_table reach;
    keyset_figures sweep;  // its keys outside the table and its crowd, over the sweep
    std::array<keyset_figures, MOST_KEYSETS> keysets;
    key_verdict verdict;
    table_replay replay;      // the requests replayed under its keys
    traffic_figures traffic;  // why its keys crowd the requests replayed
};

inline bool hasFigures(const candidate_figures& candidate) { return candidate.outside.count == 0; }

// Everything the text and the files are written from.
struct compared_candidates {
    std::vector<candidate_figures> candidates;  // candidates[c] for keyCandidates[c]
    int32_t keysets;  // the keysets judged: KEYSETS, and the owner's requests where given
    replay_baselines replay;
    request_notes notes;  // what the owner's file held beyond the catalogue
};

// The calls each candidate makes, each copying the whole record: the sweep, the
// keysets, and two per change of the reach; and one for each distinct descriptor
// of the owner's requests.
inline constexpr int32_t REACH_CALLS = 2 * REACH_BYTES * REACH_SAMPLES;
inline constexpr int32_t CANDIDATE_CALLS =
    SWEEP_COMBINATIONS + KEYSETS * KEYSET_DESCRIPTORS + REACH_CALLS;

// Keys every candidate over the sweep on `threads` threads; where the cache's own
// key function gives a key outside the table there, stops and returns false,
// candidates[0].outside naming it. Otherwise keys every candidate over the reach,
// the keysets and the owner's distinct descriptors (where stream holds the
// owner's), works out each one's figures and verdict, replays stream through
// HASH_KEYS keys of `ways` records under each and under the baselines, and
// returns true. The figures are the same whatever the number of threads.
bool compareCandidates(int32_t threads, const request_stream& stream, int32_t ways,
                       compared_candidates& compared);
