#include "text_sections.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

constexpr int32_t VERDICT_WIDTH =
    LINE_WIDTH - CANDIDATE_NAME_SIZE - 9 - 9 - 7 - 14 - 2 * 5;  // what the rest leaves it
constexpr std::array<column, 6> ANSWER_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                   {"hit ratio", 9, false},
                                                   {"vs random", 9, false},
                                                   {"in sd", 7, false},
                                                   {"outside", 14, false},
                                                   {"verdict", VERDICT_WIDTH, true}}};
static_assert(fitsALine(ANSWER_COLUMNS) && VERDICT_WIDTH >= 30);

// A verdict in its cell: "passes", or "fails: " and its first reason, cut with
// "..." where it is wider.
cell_text firstReason(const key_verdict& verdict) {
    cell_text shown{};
    if (verdict.passes) {
        std::snprintf(shown.text, sizeof shown.text, "passes");
        return shown;
    }
    const int32_t end = verdict.clauses > 1 ? verdict.clauseAt[1] - 2
                                            : static_cast<int32_t>(std::strlen(verdict.reasons));
    const std::string reason = "fails: " + std::string(verdict.reasons, at(end));
    if (reason.size() <= at(VERDICT_WIDTH))
        std::snprintf(shown.text, sizeof shown.text, "%s", reason.c_str());
    else
        std::snprintf(shown.text, sizeof shown.text, "%.*s...", VERDICT_WIDTH - 3, reason.c_str());
    return shown;
}

// "on the default stream", "on requests.csv".
std::string streamName(const replay_baselines& replay) {
    return replay.owners ? std::string("on ") + replay.origin
                         : std::string("on the default stream");
}

// "passes its verdict", "fails its verdict (5 reasons)".
std::string verdictWords(const key_verdict& verdict) {
    if (verdict.passes) return "passes its verdict";
    return "fails its verdict (" + std::to_string(verdict.clauses) +
           (verdict.clauses == 1 ? " reason)" : " reasons)");
}

}  // namespace

answer_sentences answerSentences(const compared_candidates& compared, const cache_answer& answer) {
    const replay_baselines& replay = compared.replay;
    const char* cache = keyCandidates[0].name;
    text_buffer line{};
    const candidate_cost& cost = answer.costs[0];
    append(line, "%s %s %.1f points against a random key function", cache,
           answer.keyLoss >= 0 ? "costs" : "gains", std::fabs(answer.keyLoss));
    if (cost.hasSd) append(line, " (%.1f sd)", std::fabs(cost.sds));
    append(line, "; %d record%s per key %s %.1f points against LRU over %lld records", replay.ways,
           replay.ways == 1 ? "" : "s",
           answer.layoutLoss >= 0 ? (replay.ways == 1 ? "costs" : "cost")
                                  : (replay.ways == 1 ? "gains" : "gain"),
           std::fabs(answer.layoutLoss), static_cast<long long>(HASH_KEYS) * replay.ways);
    const int64_t outside = compared.candidates[0].replay.cache.outside;
    if (outside > 0)
        append(line,
               "; %lld request%s (%.1f%%) %s a key outside 0..%d, each an index outside the"
               " cache's %d elements",
               static_cast<long long>(outside), outside == 1 ? "" : "s",
               100.0 * static_cast<double>(outside) / static_cast<double>(replay.requests),
               outside == 1 ? "has" : "have", HASH_KEYS - 1, HASH_KEYS);
    append(line, ".");
    answer_sentences sentences{line.text, ""};
    line = {};
    if (answer.best > 0) {
        const char* best = keyCandidates[answer.best].name;
        const std::string verdict = verdictWords(compared.candidates[at(answer.best)].verdict);
        const char* conjunction =
            compared.candidates[at(answer.best)].verdict.passes ? "and" : "but";
        const std::string where = streamName(replay);
        if (answer.recovered <= 0)
            append(line, "No candidate hits more often than %s %s.", cache, where.c_str());
        else if (answer.keyLoss <= 0)
            append(line, "%s hits %.1f points more often than %s %s, %s %s.", best,
                   answer.recovered, cache, where.c_str(), conjunction, verdict.c_str());
        else if (answer.recovered >= answer.keyLoss) {
            char more[32] = "";
            if (answer.recovered - answer.keyLoss >= 0.05)
                std::snprintf(more, sizeof more, ", and %.1f more,",
                              answer.recovered - answer.keyLoss);
            append(line, "%s gets back all %.1f of %s's points%s %s, %s %s.", best, answer.keyLoss,
                   cache, more, where.c_str(), conjunction, verdict.c_str());
        } else
            append(line, "%s gets back %.1f of %s's %.1f points %s, %s %s.", best, answer.recovered,
                   cache, answer.keyLoss, where.c_str(), conjunction, verdict.c_str());
    }
    sentences.recovery = line.text;
    return sentences;
}

void printAnswer(const compared_candidates& compared, const cache_answer& answer,
                 const check_outcome* check) {
    const replay_baselines& replay = compared.replay;
    text_buffer line{};
    if (replay.owners)
        append(line, "The answer, on the requests of %s", replay.origin);
    else
        append(line,
               "The answer, on the default stream, an illustration (--requests FILE replays the"
               " cache's own)");
    append(line, ": %lld request%s of %d distinct descriptor%s through %d keys of %d record%s each",
           static_cast<long long>(replay.requests), replay.requests == 1 ? "" : "s",
           replay.distinct, replay.distinct == 1 ? "" : "s", HASH_KEYS, replay.ways,
           replay.ways == 1 ? "" : "s");
    if (replay.ways == RECORDS_PER_ELEMENT)
        append(line, ", as many whole image_descriptor records as one hash_element holds.");
    else
        append(line, " (--ways %d).", replay.ways);
    printWrapped(line.text, 0);
    printNotes(compared.notes);
    printHeader(ANSWER_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const candidate_figures& figures = compared.candidates[at(candidate)];
        const candidate_cost& cost = answer.costs[at(candidate)];
        cell_text ratio{};
        std::snprintf(ratio.text, sizeof ratio.text, "%.2f%%", cost.hitRatio);
        const cell_text sds = cost.hasSd ? realCell(cost.sds, 1, true, 7) : fitting(1, {"-"});
        printRow(ANSWER_COLUMNS,
                 {keyCandidates[candidate].name, ratio.text, realCell(cost.points, 2, true, 9).text,
                  sds.text, countAndShare(figures.replay.cache.outside, replay.requests).text,
                  firstReason(figures.verdict).text});
    }
    line = {};
    append(line,
           "hit ratio: the requests the cache hit. vs random: that less a uniformly random key"
           " function's, %.2f%% exactly, in points; in sd: in the standard deviation of %d random"
           " key tables' hits, %.2f points. outside: the requests whose key lies outside 0..%d, an"
           " index outside the cache's %d elements. verdict: the first of its reasons (all under"
           " \"## Verdicts\").",
           answer.randomRatio, RANDOM_TABLES, answer.sdPoints, HASH_KEYS - 1, HASH_KEYS);
    printWrapped(line.text, 0);
    std::printf("\n");
    const answer_sentences sentences = answerSentences(compared, answer);
    printWrapped(sentences.loss.c_str(), 0);
    if (!sentences.recovery.empty()) printWrapped(sentences.recovery.c_str(), 0);
    printWrapped(
        "The verdict says whether some traffic could crowd a key (the generated keysets, every"
        " byte's reach); the cost, what this traffic pays.",
        0);
    if (check == nullptr) return;
    if (check->reasons.empty()) std::printf("--check passes\n");
    for (const std::string& reason : check->reasons)
        std::printf("--check fails: %s\n", reason.c_str());
}
