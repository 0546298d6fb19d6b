#include "answer.hpp"

#include <cstdarg>
#include <cstdio>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// Hits in points of hit ratio.
double points(double hits, int64_t requests) {
    return requests > 0 ? 100 * hits / static_cast<double>(requests) : 0;
}

__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
    char text[256];
    va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    return text;
}

}  // namespace

cache_answer answerOf(const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    cache_answer answer{};
    answer.randomRatio = points(replay.randomHits, replay.requests);
    answer.sdPoints = points(replay.randomSd, replay.requests);
    for (const candidate_figures& figures : compared.candidates) {
        const auto hits = static_cast<double>(figures.replay.cache.hits);
        candidate_cost cost{};
        cost.hitRatio = points(hits, replay.requests);
        cost.points = points(hits - replay.randomHits, replay.requests);
        cost.hasSd = replay.randomSd > 0;
        cost.sds = cost.hasSd ? (hits - replay.randomHits) / replay.randomSd : 0;
        answer.costs.push_back(cost);
    }
    const auto cacheHits = static_cast<double>(compared.candidates[0].replay.cache.hits);
    answer.keyLoss = points(replay.randomHits - cacheHits, replay.requests);
    answer.layoutLoss =
        points(static_cast<double>(replay.lruHits) - replay.randomHits, replay.requests);
    answer.best = -1;
    for (int32_t candidate = 1; candidate < static_cast<int32_t>(compared.candidates.size());
         ++candidate)
        if (answer.best < 0 || compared.candidates[at(candidate)].replay.cache.hits >
                                   compared.candidates[at(answer.best)].replay.cache.hits)
            answer.best = candidate;
    if (answer.best > 0)
        answer.recovered = points(
            static_cast<double>(compared.candidates[at(answer.best)].replay.cache.hits) - cacheHits,
            replay.requests);
    return answer;
}

check_outcome checkOf(const compared_candidates& compared, const cache_answer& answer,
                      double maxCost) {
    check_outcome outcome{};
    const candidate_figures& cache = compared.candidates[0];
    const char* name = keyCandidates[0].name;
    if (!cache.verdict.passes)
        outcome.reasons.push_back(std::string(name) + " fails its verdict (" +
                                  std::to_string(cache.verdict.clauses) +
                                  (cache.verdict.clauses == 1 ? " reason)" : " reasons)"));
    const int64_t outside = cache.replay.cache.outside;
    if (outside > 0)
        outcome.reasons.push_back(
            std::to_string(outside) + (outside == 1 ? " request" : " requests") +
            formatted(" (%.1f%%) %s a key outside 0..%d",
                      points(static_cast<double>(outside), compared.replay.requests),
                      outside == 1 ? "has" : "have", HASH_KEYS - 1));
    const candidate_cost& cost = answer.costs[0];
    const bool beyondSds = !cost.hasSd || cost.sds < -MAX_COST_SDS;
    if (maxCost >= 0 && answer.keyLoss > maxCost && beyondSds)
        outcome.reasons.push_back(
            std::string(name) +
            formatted(" costs %.2f points, more than --max-cost %g,", answer.keyLoss, maxCost) +
            (cost.hasSd ? formatted(" %.1f sd below random", -cost.sds)
                        : std::string(" random tables not varying")));
    return outcome;
}
