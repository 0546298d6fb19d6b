#include "compare.hpp"

#include "progress.hpp"
#include "workers.hpp"

#include <atomic>

#include <cmath>
#include <cstddef>

namespace {

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

// The work in jobs of a few thousand calls each, so that the threads finish
// together: per candidate, the reach in parts of a few bytes, and each keyset in
// parts of a few thousand descriptors.
constexpr int32_t REACH_PARTS = 9;
static_assert(REACH_BYTES % REACH_PARTS == 0);
constexpr int32_t PART_BYTES = REACH_BYTES / REACH_PARTS;
constexpr int32_t PART_DESCRIPTORS = 4000;
static_assert(KEYSET_DESCRIPTORS % PART_DESCRIPTORS == 0);

// A keying job: a candidate's reach, or part of a keyset.
struct keying_job {
    int32_t candidate;
    int32_t keyset;  // -1: the reach
    int32_t part;
};

// The parts of a keyset of that many descriptors.
int32_t partsOf(int32_t descriptors) {
    return (descriptors + PART_DESCRIPTORS - 1) / PART_DESCRIPTORS;
}

// What the jobs share: where each keyset's descriptors come from, and room for
// every key and every part's keys outside the table, each written by one job.
struct keyed_candidates {
    std::array<keyset_names, KEYSETS> names{};
    std::array<keyset_source, MOST_KEYSETS> sources{};
    std::vector<combination_keys> sweep;
    std::vector<std::vector<int32_t>> keys;  // [candidate * MOST_KEYSETS + keyset]
    // [candidate * MOST_KEYSETS + keyset][part]
    std::vector<std::vector<outside_found>> outsideParts;
};

std::vector<int32_t>& keysOf(keyed_candidates& keyed, int32_t candidate, int32_t keyset) {
    return keyed.keys[at(candidate * MOST_KEYSETS + keyset)];
}

}  // namespace

bool compareCandidates(int32_t threads, const request_stream& stream, int32_t ways,
                       compared_candidates& compared) {
    const auto candidates = at(candidateCount);
    compared.candidates.assign(candidates, candidate_figures{});
    compared.keysets = stream.owners ? MOST_KEYSETS : KEYSETS;
    keyed_candidates keyed;
    keyed.sweep.resize(candidates);
    runJobs(threads, candidateCount, [&](int32_t candidate, image_descriptor& /*record*/) {
        const key_function key = keyCandidates[candidate].key;
        keyTheSweep(&key, 1, &keyed.sweep[at(candidate)],
                    &compared.candidates[at(candidate)].outside);
    });
    // The cache key's diagnosis is the output's first part: without it there is none.
    if (compared.candidates[0].outside.count > 0) return false;

    for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
        keyset_source& source = keyed.sources[at(keyset)];
        source = {keyset, nullptr, nullptr, KEYSET_DESCRIPTORS};
        if (keyset == KEYSET_REQUESTS) {
            source.requested = stream.distinct.data();
            source.descriptors = stream.descriptors;
        } else if (keyset != KEYSET_DOMAIN) {
            makeKeysetNames(keyset, keyed.names[at(keyset)]);
            source.names = &keyed.names[at(keyset)];
        }
    }
    keyed.keys.resize(candidates * MOST_KEYSETS);
    keyed.outsideParts.resize(candidates * MOST_KEYSETS);
    std::vector<keying_job> jobs;
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        for (int32_t part = 0; part < REACH_PARTS; ++part) jobs.push_back({candidate, -1, part});
        for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
            const int32_t descriptors = keyed.sources[at(keyset)].descriptors;
            keysOf(keyed, candidate, keyset).resize(at(descriptors));
            keyed.outsideParts[at(candidate * MOST_KEYSETS + keyset)].resize(
                at(partsOf(descriptors)));
            for (int32_t part = 0; part < partsOf(descriptors); ++part)
                jobs.push_back({candidate, keyset, part});
        }
    }
    std::atomic<int32_t> done{0};
    const auto keyingJobs = static_cast<int32_t>(jobs.size());
    runJobs(threads, keyingJobs, [&](int32_t index, image_descriptor& record) {
        const keying_job& job = jobs[at(index)];
        const key_function key = keyCandidates[job.candidate].key;
        if (job.keyset < 0)
            measureReach(key, job.part * PART_BYTES, (job.part + 1) * PART_BYTES, record,
                         compared.candidates[at(job.candidate)].reach);
        else
            keyKeysetPart(
                keyed.sources[at(job.keyset)], key, job.part * PART_DESCRIPTORS,
                std::min((job.part + 1) * PART_DESCRIPTORS,
                         keyed.sources[at(job.keyset)].descriptors),
                record, keysOf(keyed, job.candidate, job.keyset).data(),
                keyed.outsideParts[at(job.candidate * MOST_KEYSETS + job.keyset)][at(job.part)]);
        showProgress("keyed parts", ++done, keyingJobs);
    });

    // Each candidate's figures from its keys, and its verdict.
    runJobs(threads, candidateCount, [&](int32_t candidate, image_descriptor& record) {
        candidate_figures& measured = compared.candidates[at(candidate)];
        for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
            outside_found found{};
            for (const outside_found& part :
                 keyed.outsideParts[at(candidate * MOST_KEYSETS + keyset)])
                found = joinOutside(found, part);
            measured.keysets[at(keyset)] = finishKeyset(
                keyed.sources[at(keyset)], keysOf(keyed, candidate, keyset).data(), found, record);
        }
        const combination_keys& keyOf = keyed.sweep[at(candidate)];
        if (hasFigures(measured)) diagnose(keyOf, measured.diagnosis);
        measured.sweep = measureSweep(keyOf, measured.outside);
        measured.verdict = judge(measured.outside, measured.diagnosis, measured.reach,
                                 measured.keysets.data(), compared.keysets);
    });

    // The requests replayed under every candidate's keys and the baselines.
    replay_baselines& replay = compared.replay;
    replay = {};
    replay.owners = stream.owners;
    replay.origin = stream.origin.c_str();
    replay.requests = static_cast<int64_t>(stream.requests.size());
    replay.distinct = stream.distinctCount;
    replay.ways = ways;
    compared.notes = stream.notes;
    const int32_t streamKeyset = stream.owners ? KEYSET_REQUESTS : KEYSET_NAMES_SET;
    std::vector<const int32_t*> tables;
    tables.reserve(candidates);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        tables.push_back(keysOf(keyed, candidate, streamKeyset).data());
    std::vector<table_replay> replays;
    replayEverything(threads, stream.requests, stream.descriptors, tables, ways, replay, replays);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        compared.candidates[at(candidate)].replay = replays[at(candidate)];

    // Why each candidate's keys crowd the stream: its distinct descriptors' fields,
    // each one's requests, its keys.
    std::vector<packed_descriptor> streamFields;
    if (!stream.owners) {
        const keyset_source& source = keyed.sources[at(streamKeyset)];
        streamFields.resize(at(source.descriptors));
        runJobs(1, 1, [&](int32_t /*job*/, image_descriptor& record) {  // in a worker's record
            for (int32_t index = 0; index < source.descriptors; ++index) {
                fillKeysetDescriptor(source, index, record);
                streamFields[at(index)] = packedFields(record);
            }
        });
    }
    const packed_descriptor* fields = stream.owners ? stream.distinct.data() : streamFields.data();
    std::vector<int64_t> requestsOf(at(stream.descriptors));
    for (const int32_t request : stream.requests) ++requestsOf[at(request)];
    runJobs(threads, candidateCount, [&](int32_t candidate, image_descriptor& /*record*/) {
        compared.candidates[at(candidate)].traffic =
            measureTraffic(fields, keysOf(keyed, candidate, streamKeyset).data(), requestsOf.data(),
                           stream.descriptors);
    });
    endProgress();
    return true;
}
