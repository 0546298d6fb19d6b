#include "text_sections.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

constexpr std::array<column, 7> REPLAY_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                   {"hits", 11, false},
                                                   {"hit ratio", 9, false},
                                                   {"vs random", 9, false},
                                                   {"in sd", 7, false},
                                                   {"vs LRU", 8, false},
                                                   {"outside", 14, false}}};
static_assert(fitsALine(REPLAY_COLUMNS));

// The curve's table: a row per baseline and candidate, its hit ratio at each
// number of records per key the candidates are replayed at.
constexpr int32_t CURVE_CELL = 7;
constexpr int32_t CURVE_NAME = 22;
static_assert(CURVE_NAME + static_cast<int32_t>(CURVE_WAYS.size()) * (2 + CURVE_CELL) <=
              LINE_WIDTH);

void printCurve(const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    text_buffer line{};
    append(line,
           "Hit ratio over the records per key, the cache's size (800 keys of each number): the"
           " random key function's exactly, LRU's over as many records in one set, each"
           " candidate's replayed; * marks the cache's own, %d.",
           replay.ways);
    std::printf("\n");
    printWrapped(line.text, 0);
    text_buffer header{};
    append(header, "%-*s", CURVE_NAME, "records per key");
    for (const int32_t ways : CURVE_WAYS)
        append(header, "  %*d%s", CURVE_CELL - 1, ways, ways == replay.ways ? "*" : " ");
    while (header.used > 0 && header.text[header.used - 1] == ' ')
        header.text[--header.used] = '\0';
    std::printf("%s\n", header.text);
    const auto ratioRow = [&](const char* name, const auto& hitsAt) {
        text_buffer row{};
        append(row, "%-*s", CURVE_NAME, name);
        for (std::size_t point = 0; point < CURVE_WAYS.size(); ++point)
            append(row, "  %*s", CURVE_CELL, percentOf(hitsAt(point), replay.requests).text);
        std::printf("%s\n", row.text);
    };
    ratioRow("random key function",
             [&](std::size_t point) { return replay.curve[at(CURVE_WAYS[point] - 1)].randomHits; });
    ratioRow("LRU", [&](std::size_t point) {
        return static_cast<double>(replay.curve[at(CURVE_WAYS[point] - 1)].lruHits);
    });
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        ratioRow(keyCandidates[candidate].name, [&](std::size_t point) {
            return static_cast<double>(
                compared.candidates[at(candidate)].replay.hitsAt[at(CURVE_WAYS[point] - 1)]);
        });
}

}  // namespace

// Widths and heights past the selectors (a cache may have more; the owner
// learns which they exported), and names cut to the record's field.
void printNotes(const request_notes& notes) {
    const std::array<std::pair<const char*, const past_selectors*>, 2> past = {
        {{"width", &notes.widths}, {"height", &notes.heights}}};
    const std::array<int32_t, 2> selectors = {SWEEP_WIDTHS, SWEEP_HEIGHTS};
    for (std::size_t field = 0; field < past.size(); ++field)
        if (past[field].second->requests > 0)
            std::printf(
                "%lld request%s a %s past the selectors 0..%d, up to %d: a selector, not"
                " pixels\n",
                static_cast<long long>(past[field].second->requests),
                past[field].second->requests == 1 ? " has" : "s have", past[field].first,
                selectors[field] - 1, past[field].second->largest);
    if (notes.cutRequests > 0)
        std::printf(
            "--cut-names cut the names of %lld request%s to their first %zu bytes: %d"
            " distinct name%s as kept\n",
            static_cast<long long>(notes.cutRequests), notes.cutRequests == 1 ? "" : "s",
            IMAGE_NAME_SIZE - 1, notes.cutNames, notes.cutNames == 1 ? "" : "s");
}

void printReplaySection(const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    printHeading("The replay: what each key costs the cache");
    text_buffer line{};
    if (replay.owners)
        append(line, "On the requests of %s: %lld request%s of %d distinct descriptor%s.",
               replay.origin, static_cast<long long>(replay.requests),
               replay.requests == 1 ? "" : "s", replay.distinct, replay.distinct == 1 ? "" : "s");
    else
        append(line,
               "On the default stream, an illustration: %lld requests of the names keyset's"
               " descriptors, %d of them distinct, each an image drawn by Zipf with exponent %g"
               " over its %d names, then one of its %d variants by Zipf over a ranking of its own."
               " Replay the cache's own requests with --requests FILE.",
               static_cast<long long>(replay.requests), replay.distinct, ZIPF_EXPONENT,
               KEYSET_NAMES, NAME_VARIANTS);
    const int64_t records = int64_t{HASH_KEYS} * replay.ways;
    append(line, " %d keys of %d record%s each, %lld records", HASH_KEYS, replay.ways,
           replay.ways == 1 ? "" : "s", static_cast<long long>(records));
    if (replay.ways == RECORDS_PER_ELEMENT)
        append(line,
               ": one hash_element of %lld bytes holds %d whole image_descriptor records of %zu"
               " bytes, and %lld bytes besides (--ways N sets another number).",
               static_cast<long long>(HASH_ELEMENT_SIZE), RECORDS_PER_ELEMENT,
               sizeof(image_descriptor), static_cast<long long>(ELEMENT_BYTES_LEFT));
    else
        append(line, ", as --ways gives; one hash_element holds %d whole image_descriptor records.",
               RECORDS_PER_ELEMENT);
    printWrapped(line.text, 0);
    printHeader(REPLAY_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const replay_count& counted = compared.candidates[at(candidate)].replay.cache;
        const auto hits = static_cast<double>(counted.hits);
        cell_text hitsText{};
        std::snprintf(hitsText.text, sizeof hitsText.text, "%lld",
                      static_cast<long long>(counted.hits));
        const cell_text sds =
            replay.randomSd > 0 ? realCell((hits - replay.randomHits) / replay.randomSd, 1, true, 7)
                                : fitting(1, {"-"});
        printRow(
            REPLAY_COLUMNS,
            {keyCandidates[candidate].name, hitsText.text, percentOf(hits, replay.requests).text,
             pointsOf(hits - replay.randomHits, replay.requests).text, sds.text,
             pointsOf(hits - static_cast<double>(replay.lruHits), replay.requests).text,
             countAndShare(counted.outside, replay.requests).text});
    }
    printWrapped(
        "hits: the requests whose key's element held their descriptor; hit ratio: their share."
        " vs random, vs LRU: the hit ratio less the baseline's below, in points. in sd: the hits"
        " less the random key function's expected, in the random tables' standard deviations."
        " outside: the requests whose key lies outside 0..799, misses stored nowhere.",
        0);
    line = {};
    append(line,
           "A uniformly random key function: %.1f hits expected (%s), exactly; over %d random key"
           " tables, a standard deviation of %.1f hits (%.2f points).",
           replay.randomHits, percentOf(replay.randomHits, replay.requests).text, RANDOM_TABLES,
           replay.randomSd, 100 * replay.randomSd / static_cast<double>(replay.requests));
    printWrapped(line.text, 2);
    line = {};
    append(line, "LRU over %lld records in one set, fully associative: %lld hits (%s).",
           static_cast<long long>(records), static_cast<long long>(replay.lruHits),
           percentOf(static_cast<double>(replay.lruHits), replay.requests).text);
    printWrapped(line.text, 2);
    line = {};
    append(line,
           "The limit, Belady's optimal replacement over %lld records: %lld hits (%s); no cache of"
           " as many records hits more often.",
           static_cast<long long>(records), static_cast<long long>(replay.limitHits),
           percentOf(static_cast<double>(replay.limitHits), replay.requests).text);
    printWrapped(line.text, 2);
    printCurve(compared);
}
