#include "compare.hpp"

#include "workers.hpp"

#include <cstddef>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// The work in jobs of a few thousand calls each, so that the threads finish
// together: per candidate, the reach in parts of a few bytes, and each keyset in
// parts of a few thousand descriptors.
constexpr int32_t REACH_PARTS = 9;
constexpr int32_t KEYSET_PARTS = 6;
static_assert(REACH_BYTES % REACH_PARTS == 0);
static_assert(KEYSET_DESCRIPTORS % KEYSET_PARTS == 0);
constexpr int32_t PART_BYTES = REACH_BYTES / REACH_PARTS;
constexpr int32_t PART_DESCRIPTORS = KEYSET_DESCRIPTORS / KEYSET_PARTS;
constexpr int32_t KEYSET_JOBS = KEYSETS * KEYSET_PARTS;
constexpr int32_t JOBS_PER_CANDIDATE = REACH_PARTS + KEYSET_JOBS;

// What the jobs share: the keysets' names, made once, and room for every key and
// every part's keys outside the table, each written by one job alone.
struct keyed_candidates {
    std::array<keyset_names, KEYSETS> names{};
    std::vector<combination_keys> sweep;
    std::vector<keyset_keys> keysets;       // [candidate * KEYSETS + keyset]
    std::vector<outside_found> outsideParts;  // [candidate * KEYSET_JOBS + keyset * KEYSET_PARTS + part]
};

}  // namespace

bool compareCandidates(int32_t threads, compared_candidates& compared) {
    const auto candidates = at(candidateCount);
    compared.assign(candidates, candidate_figures{});
    keyed_candidates keyed;
    keyed.sweep.resize(candidates);
    runJobs(threads, candidateCount, [&](int32_t candidate, image_descriptor& /*record*/) {
        const key_function key = keyCandidates[candidate].key;
        keyTheSweep(&key, 1, &keyed.sweep[at(candidate)], &compared[at(candidate)].outside);
    });
    // The cache key's diagnosis is the output's first part: without it there is none.
    if (compared[0].outside.count > 0) return false;

    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset)
        if (keyset != KEYSET_DOMAIN) makeKeysetNames(keyset, keyed.names[at(keyset)]);
    keyed.keysets.resize(candidates * KEYSETS);
    keyed.outsideParts.resize(candidates * KEYSET_JOBS);
    runJobs(threads, candidateCount * JOBS_PER_CANDIDATE, [&](int32_t job, image_descriptor& record) {
        const int32_t candidate = job / JOBS_PER_CANDIDATE;
        const int32_t part = job % JOBS_PER_CANDIDATE;
        const key_function key = keyCandidates[candidate].key;
        if (part < REACH_PARTS) {
            measureReach(key, part * PART_BYTES, (part + 1) * PART_BYTES, record,
                         compared[at(candidate)].reach);
            return;
        }
        const int32_t keysetPart = part - REACH_PARTS;
        const int32_t keyset = keysetPart / KEYSET_PARTS;
        const int32_t from = keysetPart % KEYSET_PARTS * PART_DESCRIPTORS;
        keyKeysetPart(keyset, keyed.names[at(keyset)], key, from, from + PART_DESCRIPTORS, record,
                      keyed.keysets[at(candidate * KEYSETS + keyset)],
                      keyed.outsideParts[at(candidate * KEYSET_JOBS + keysetPart)]);
    });

    // Each candidate's figures from its keys, and its verdict.
    runJobs(threads, candidateCount, [&](int32_t candidate, image_descriptor& record) {
        candidate_figures& figures = compared[at(candidate)];
        const combination_keys& keyOf = keyed.sweep[at(candidate)];
        for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
            outside_found found{};
            for (int32_t part = 0; part < KEYSET_PARTS; ++part)
                found = joinOutside(
                    found,
                    keyed.outsideParts[at(candidate * KEYSET_JOBS + keyset * KEYSET_PARTS + part)]);
            figures.keysets[at(keyset)] =
                finishKeyset(keyset, keyed.names[at(keyset)],
                             keyed.keysets[at(candidate * KEYSETS + keyset)], found, record);
        }
        if (hasFigures(figures)) diagnose(keyOf, figures.diagnosis);
        figures.sweep = measureSweep(keyOf, figures.outside);
        figures.verdict =
            judge(figures.outside, figures.diagnosis, figures.reach, figures.keysets.data());
    });
    return true;
}
