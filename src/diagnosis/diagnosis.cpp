#include "diagnosis.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double KEYS = HASH_KEYS;
// The most values any field takes in the sweep: the crowd tallies' width.
constexpr int32_t MOST_VALUES = *std::max_element(SWEEP_VALUES.begin(), SWEEP_VALUES.end());

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// The event a chance is of, "busiest >= 38".
struct event_text {
    char text[64];
};

// P(X = k) for X ~ Binomial(n, 1 / HASH_KEYS), through logarithms, which do not
// underflow where the probability itself still fits a double.
double binomialProbability(int32_t n, int32_t k) {
    return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) -
                    k * std::log(KEYS) + (n - k) * std::log1p(-1.0 / KEYS));
}

}  // namespace

field_table shareByField(const combination_keys& keyOf) {
    field_table fields{};
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        field_sharing& sharing = fields[at(field)];
        const int32_t stride = fieldStride(field);
        const int32_t values = SWEEP_VALUES[at(field)];
        // crowd[g][v]: the shared pairs whose other field g holds value v.
        std::array<std::array<int32_t, MOST_VALUES>, SWEEP_FIELDS> crowd{};
        for (int32_t first = 0; first < SWEEP_COMBINATIONS; ++first) {
            const int32_t own = fieldValue(first, field);
            for (int32_t value = own + 1; value < values; ++value) {
                const int32_t second = first + (value - own) * stride;
                ++sharing.pairs;
                if (keyOf[at(first)] != keyOf[at(second)]) continue;
                ++sharing.sharedPairs;
                for (int32_t other = 0; other < SWEEP_FIELDS; ++other)
                    if (other != field) ++crowd[at(other)][at(fieldValue(first, other))];
            }
        }
        sharing.randomPairs = sharing.pairs / KEYS;
        sharing.ratio = sharing.sharedPairs / sharing.randomPairs;
        sharing.neverRead = sharing.sharedPairs == sharing.pairs;
        // Beyond chance: more than three standard deviations of a Poisson count
        // with the random mean above that mean.
        sharing.cause =
            sharing.neverRead ||
            (sharing.ratio >= 2 &&
             sharing.sharedPairs > sharing.randomPairs + 3 * std::sqrt(sharing.randomPairs));
        sharing.crowdField = -1;
        int32_t crowdShare = 0;  // the crowd's pairs times its field's value count
        for (int32_t other = 0; other < SWEEP_FIELDS; ++other) {
            const int32_t otherValues = SWEEP_VALUES[at(other)];
            for (int32_t value = 0; other != field && value < otherValues; ++value) {
                const int32_t pairs = crowd[at(other)][at(value)];
                if (2 * pairs > sharing.sharedPairs &&
                    pairs * otherValues >= 3 * sharing.sharedPairs &&
                    pairs * otherValues > crowdShare) {
                    crowdShare = pairs * otherValues;
                    sharing.crowdField = other;
                    sharing.crowdValue = value;
                    sharing.crowdPairs = pairs;
                }
            }
        }
    }
    return fields;
}

key_spread measureSpread(const hits_per_key& keyCount) {
    key_spread spread{0, 0, 0};
    int64_t hits = 0;
    int64_t squares = 0;
    for (const int32_t count : keyCount) {
        spread.emptyKeys += count == 0 ? 1 : 0;
        spread.busiest = std::max(spread.busiest, count);
        hits += count;
        squares += int64_t{count} * count;
    }
    // The sum over keys of (count - mean)^2 / mean, with mean = hits / HASH_KEYS.
    const double mean = static_cast<double>(hits) / KEYS;
    spread.chiSquare = static_cast<double>(squares) / mean - static_cast<double>(hits);
    return spread;
}

// Named at every call as the baseline reads: inputs x repeats, then this key's busiest.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
random_baseline randomBaseline(int32_t inputs, int32_t repeats, int32_t busiest) {
    random_baseline baseline{};
    baseline.inputs = inputs;
    baseline.repeats = repeats;
    const double n = inputs;

    // Empty keys: mean m(1 - 1/m)^n; variance mean + m(m - 1)(1 - 2/m)^n - mean^2,
    // which is exactly 0 for one input (m - 1 keys always stay empty), where the
    // formula would leave only rounding.
    baseline.emptyMean = KEYS * std::exp(n * std::log1p(-1.0 / KEYS));
    const double emptyVariance = baseline.emptyMean +
                                 KEYS * (KEYS - 1) * std::exp(n * std::log1p(-2.0 / KEYS)) -
                                 baseline.emptyMean * baseline.emptyMean;
    baseline.emptySd = inputs == 1 ? 0.0 : std::sqrt(std::max(0.0, emptyVariance));

    // Chi-square: each count is repeats times a multinomial one, so mean r(m - 1)
    // and variance 2 r^2 (m - 1)(1 - 1/n).
    baseline.chiMean = repeats * (KEYS - 1);
    baseline.chiSd = repeats * std::sqrt(2 * (KEYS - 1) * (1 - 1 / n));

    // tail(k) = P(X >= k) for X ~ Binomial(n, 1/m), the inputs on one key, summed
    // from the top so that the smallest terms are not lost. Only the terms that a
    // double holds are summed: those from the mode out to where they round to 0,
    // whose sum every count below or above them shares. The busiest key holds at
    // most k inputs with probability about (1 - tail(k + 1))^m.
    const int32_t mode = static_cast<int32_t>((int64_t{inputs} + 1) / HASH_KEYS);
    int32_t low = mode;
    int32_t high = mode;
    while (low > 0 && binomialProbability(inputs, low - 1) > 0) --low;
    while (high < inputs && binomialProbability(inputs, high + 1) > 0) ++high;
    std::vector<double> summed(at(high - low + 2));  // tail(low + i); tail(high + 1) = 0
    for (int32_t k = high; k >= low; --k)
        summed[at(k - low)] = summed[at(k - low + 1)] + binomialProbability(inputs, k);
    const auto tail = [&](int32_t k) {
        return k > high ? 0.0 : summed[at(std::max(k, low) - low)];
    };
    // log P(every key holds fewer than k inputs); a tail rounded past 1 counts as 1.
    const auto logAllBelow = [&tail](int32_t k) {
        return KEYS * std::log1p(-std::min(1.0, tail(k)));
    };
    int32_t median = 0;
    while (logAllBelow(median + 1) < std::log(0.5)) ++median;
    baseline.busiestMedian = median * repeats;

    // Some key must hold ceil(n/m) inputs, so P = 1 up to there; past it, the
    // tiny tail goes through log1p and expm1 rather than 1 minus a number near 1.
    const int32_t needed = (busiest + repeats - 1) / repeats;
    const int32_t surely = (inputs + HASH_KEYS - 1) / HASH_KEYS;
    if (needed <= surely)
        baseline.busiestAtLeast = 1.0;
    else if (needed > inputs)
        baseline.busiestAtLeast = 0.0;
    else
        baseline.busiestAtLeast = -std::expm1(logAllBelow(needed));
    return baseline;
}

random_baseline blindBaseline(const field_table& fields, int32_t busiest) {
    int32_t repeats = 1;
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field)
        if (fields[at(field)].neverRead) repeats *= SWEEP_VALUES[at(field)];
    return randomBaseline(SWEEP_COMBINATIONS / repeats, repeats, busiest);
}

double expectedKeysWith(const random_baseline& baseline, int32_t hits) {
    if (hits < 0 || hits % baseline.repeats != 0 || hits / baseline.repeats > baseline.inputs)
        return 0.0;
    return KEYS * binomialProbability(baseline.inputs, hits / baseline.repeats);
}

int32_t listedInputsEnd(const random_baseline& baseline) {
    const double meanInputs = static_cast<double>(baseline.inputs) / HASH_KEYS;
    int32_t inputs = 0;
    while (inputs <= baseline.inputs &&
           !(inputs > meanInputs &&
             expectedKeysWith(baseline, inputs * baseline.repeats) < LISTED_KEYS))
        ++inputs;
    return inputs;
}

chance_figure chanceFigure(double chance) {
    chance_figure shown{};
    if (chance >= 1e-300)
        std::snprintf(shown.text, sizeof shown.text, "%.2g", chance);
    else
        std::snprintf(shown.text, sizeof shown.text, "< 1e-300");
    return shown;
}

chance_text chanceText(const char* event, const char* relation, double chance) {
    const chance_figure figure = chanceFigure(chance);
    const bool floored = figure.text[0] == '<';
    chance_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "P(%s) %s%s%s", event, floored ? "" : relation,
                  floored ? "" : " ", figure.text);
    return shown;
}

chance_text busiestChanceText(const random_baseline& baseline, int32_t busiest) {
    event_text event{};
    std::snprintf(event.text, sizeof event.text, "busiest >= %d", busiest);
    return chanceText(event.text, "=", baseline.busiestAtLeast);
}

double emptyChance(const random_baseline& baseline, int32_t emptyKeys) {
    const double e = emptyKeys;
    const double logSets = std::lgamma(KEYS + 1) - std::lgamma(e + 1) - std::lgamma(KEYS - e + 1);
    return std::min(1.0, std::exp(logSets + baseline.inputs * std::log1p(-e / KEYS)));
}

chi_square_tails chiSquareChances(const random_baseline& baseline, double chiSquare) {
    // The regularised incomplete gamma functions P(a, x) and Q(a, x) = 1 - P, with
    // a = half the degrees of freedom and x = half the chi-square of one repeat:
    // P by its series below a + 1, Q by its continued fraction (modified Lentz)
    // above, each where it converges fast and the smaller tail keeps its digits.
    const double a = (KEYS - 1) / 2;
    const double x = chiSquare / baseline.repeats / 2;
    if (x <= 0) return {1.0, 0.0};
    const double prefix = std::exp(a * std::log(x) - x - std::lgamma(a));
    if (x < a + 1) {
        double term = 1 / a;
        double sum = term;
        for (double n = 1; term > sum * 1e-17; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        const double below = std::min(1.0, prefix * sum);
        return {1 - below, below};
    }
    constexpr double TINY = 1e-300;
    double b = x + 1 - a;
    double c = 1 / TINY;
    double d = 1 / b;
    double fraction = d;
    // It converges within a few hundred terms wherever x >= a + 1; the bound only
    // keeps a delta that wavers by one rounding from spinning on.
    for (double n = 1; n <= 10000; ++n) {
        const double an = -n * (n - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < TINY) d = TINY;
        c = b + an / c;
        if (std::fabs(c) < TINY) c = TINY;
        d = 1 / d;
        fraction *= d * c;
        if (std::fabs(d * c - 1) < 1e-15) break;
    }
    const double above = std::min(1.0, prefix * fraction);
    return {above, 1 - above};
}

field_names neverReadNames(const field_table& fields, const char* separator) {
    field_names names{};
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        if (!fields[at(field)].neverRead) continue;
        const std::size_t used = std::strlen(names.text);
        std::snprintf(names.text + used, sizeof names.text - used, "%s%s",
                      used > 0 ? separator : "", SWEEP_FIELD_NAMES[at(field)]);
    }
    return names;
}

cause_ranking rankCauses(const field_table& fields) {
    cause_ranking ranking{};
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        if (!fields[at(field)].cause) continue;
        // Placed after every cause of an equal or higher ratio: ties keep the record's order.
        int32_t place = ranking.count++;
        for (;
             place > 0 && fields[at(ranking.fields[at(place - 1)])].ratio < fields[at(field)].ratio;
             --place)
            ranking.fields[at(place)] = ranking.fields[at(place - 1)];
        ranking.fields[at(place)] = field;
    }
    return ranking;
}

void diagnose(const combination_keys& keyOf, key_diagnosis& diagnosis) {
    countHits(keyOf, diagnosis.keyCount);
    diagnosis.keysWithHits.fill(0);
    for (const int32_t hits : diagnosis.keyCount) ++diagnosis.keysWithHits[at(hits)];
    diagnosis.fields = shareByField(keyOf);
    diagnosis.spread = measureSpread(diagnosis.keyCount);
    diagnosis.random = randomBaseline(SWEEP_COMBINATIONS, 1, diagnosis.spread.busiest);
    diagnosis.blind = blindBaseline(diagnosis.fields, diagnosis.spread.busiest);
    diagnosis.causes = rankCauses(diagnosis.fields);
}

namespace {

// A key function's figures from its keys, those outside the table already
// counted: the tallies, the spread, the baseline and the busiest key's crowd,
// whose descriptors describe(index) gives.
template <typename Keys, typename Describe>
void finishFigures(const Keys& keys, keyset_figures& measured, Describe describe) {
    for (const int32_t key : keys)
        if (key >= 0 && key < HASH_KEYS) ++measured.keyCount[at(key)];
    const auto within = static_cast<int32_t>(keys.size()) - measured.outside.count;
    if (within == 0) {
        measured.spread = {HASH_KEYS, 0, 0};
        return;
    }
    measured.spread = measureSpread(measured.keyCount);
    measured.random = randomBaseline(within, 1, measured.spread.busiest);
    measured.busiestKey =
        static_cast<int32_t>(std::max_element(measured.keyCount.begin(), measured.keyCount.end()) -
                             measured.keyCount.begin());
    for (std::size_t index = 0; index < keys.size() && measured.crowdCount < CROWD_SHOWN; ++index)
        if (keys[index] == measured.busiestKey)
            measured.crowd[at(measured.crowdCount++)] = describe(static_cast<int32_t>(index));
}

}  // namespace

keyset_figures measureSweep(const combination_keys& keyOf, const outside_keys& outside) {
    keyset_figures measured{};
    measured.descriptors = SWEEP_COMBINATIONS;
    measured.outside = outside;
    if (outside.count > 0) measured.firstOutside = combinationFields(outside.firstAt);
    finishFigures(keyOf, measured, combinationFields);
    return measured;
}

void keyKeysetPart(const keyset_source& source, key_function key, int32_t from, int32_t end,
                   image_descriptor& d, int32_t* keys, outside_found& found) {
    found = {};
    for (int32_t index = from; index < end; ++index) {
        fillKeysetDescriptor(source, index, d);
        const int32_t keyOfIt = key(d);
        keys[index] = keyOfIt;
        if (keyOfIt >= 0 && keyOfIt < HASH_KEYS) continue;
        // Counted, never used as an index; the first kept with its descriptor.
        if (found.outside.count++ == 0) {
            found.outside.first = keyOfIt;
            found.outside.firstAt = index;
            found.first = keyedFields(d);
        }
    }
}

outside_found joinOutside(const outside_found& earlier, const outside_found& later) {
    outside_found joined = earlier.outside.count > 0 ? earlier : later;
    joined.outside.count = earlier.outside.count + later.outside.count;
    return joined;
}

keyset_figures finishKeyset(const keyset_source& source, const int32_t* keys,
                            const outside_found& found, image_descriptor& d) {
    keyset_figures measured{};
    measured.descriptors = source.descriptors;
    measured.outside = found.outside;
    measured.firstOutside = found.first;
    struct key_range {  // the keys as finishFigures reads them
        const int32_t* first;
        std::size_t count;
        const int32_t* begin() const { return first; }
        const int32_t* end() const { return first + count; }
        std::size_t size() const { return count; }
        int32_t operator[](std::size_t index) const { return first[index]; }
    };
    finishFigures(key_range{keys, at(source.descriptors)}, measured, [&](int32_t index) {
        fillKeysetDescriptor(source, index, d);
        return keyedFields(d);
    });
    return measured;
}

namespace {

// The verdict's reasons as they are written: clauses joined by "; ", each
// after its prefix (a keyset's name, or "").
void addClause(key_verdict& verdict, const char* prefix, const char* clause) {
    const std::size_t used = std::strlen(verdict.reasons);
    const std::size_t starts = used > 0 ? used + 2 : 0;
    verdict.clauseAt[at(verdict.clauses++)] = static_cast<int32_t>(starts);
    std::snprintf(verdict.reasons + used, sizeof verdict.reasons - used, "%s%s%s",
                  used > 0 ? "; " : "", prefix, clause);
}

// The clauses of a spread's chances below UNLIKELY, each after prefix.
void addSpreadClauses(key_verdict& verdict, const char* prefix, const key_spread& spread,
                      const random_baseline& random) {
    chance_text chance{};
    event_text event{};
    const double empty = emptyChance(random, spread.emptyKeys);
    if (empty < UNLIKELY) {
        std::snprintf(event.text, sizeof event.text, "empty >= %d", spread.emptyKeys);
        chance = chanceText(event.text, "<=", empty);
        addClause(verdict, prefix, chance.text);
    }
    if (random.busiestAtLeast < UNLIKELY)
        addClause(verdict, prefix, busiestChanceText(random, spread.busiest).text);
    const chi_square_tails chi = chiSquareChances(random, spread.chiSquare);
    if (chi.above < UNLIKELY) {
        std::snprintf(event.text, sizeof event.text, "chi-square >= %.1f", spread.chiSquare);
        addClause(verdict, prefix, chanceText(event.text, "=", chi.above).text);
    }
}

// The clause of keys outside the table, with the first and its descriptor.
void addOutsideClause(key_verdict& verdict, const char* prefix, const outside_keys& outside,
                      int32_t descriptors, const descriptor_text& first) {
    std::array<char, sizeof first.text + 96> clause{};
    std::snprintf(clause.data(), clause.size(),
                  "%d of %d keys (%.1f%%) outside 0..%d (the first %d, %s)", outside.count,
                  descriptors, 100.0 * outside.count / descriptors, HASH_KEYS - 1, outside.first,
                  first.text);
    addClause(verdict, prefix, clause.data());
}

}  // namespace

key_verdict judge(const outside_keys& outside, const key_diagnosis& diagnosis,
                  const reach_table& reach, const keyset_figures* keysets, int32_t keysetCount) {
    key_verdict verdict{};
    if (outside.count > 0) {
        addOutsideClause(verdict, "", outside, SWEEP_COMBINATIONS,
                         describeCombination(outside.firstAt));
        return verdict;
    }
    event_text event{};
    const field_names unread = neverReadNames(diagnosis.fields, ", ");
    if (unread.text[0] != '\0') {
        std::snprintf(event.text, sizeof event.text, "never reads %s", unread.text);
        addClause(verdict, "", event.text);
    }
    const byte_list unreached = unreachedBytes(reach);
    if (unreached.text[0] != '\0') {
        std::array<char, sizeof unreached.text + 40> clause{};
        std::snprintf(clause.data(), clause.size(), "bytes never reaching the key: %s",
                      unreached.text);
        addClause(verdict, "", clause.data());
    }
    if (reach[BYTE_PAYLOAD].changed > 0) addClause(verdict, "", "payload reaches the key");
    addSpreadClauses(verdict, "", diagnosis.spread, diagnosis.random);
    for (int32_t keyset = 0; keyset < keysetCount; ++keyset) {
        const keyset_figures& measured = keysets[keyset];
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%s: ", KEYSET_TITLES[at(keyset)]);
        if (measured.outside.count > 0)
            addOutsideClause(verdict, prefix, measured.outside, measured.descriptors,
                             describeFields(measured.firstOutside));
        if (measured.random.inputs > 0)
            addSpreadClauses(verdict, prefix, measured.spread, measured.random);
    }
    verdict.passes = verdict.reasons[0] == '\0';
    const chi_square_tails chi = chiSquareChances(diagnosis.random, diagnosis.spread.chiSquare);
    if (verdict.passes && chi.below < UNLIKELY) {
        std::snprintf(event.text, sizeof event.text, "chi-square <= %.1f",
                      diagnosis.spread.chiSquare);
        addClause(verdict, "", "more even than random");
        addClause(verdict, "", chanceText(event.text, "=", chi.below).text);
    }
    return verdict;
}
