// Tells the key function's owner why it spreads the sweep as it does: which
// fields it wastes, and how far its spread lies from a uniformly random key
// function's, and from one as blind as it is. Prints on standard output.
#include "diagnosis.hpp"
#include "program.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* PROGRAM = "hashFunctionDiagnosis";

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// A ratio to random as the causes' line and the table give it: two significant
// digits, or whole above 10 ("133x", "5.2x").
struct ratio_text {
    char text[24];
};
ratio_text timesRandom(double ratio) {
    ratio_text shown{};
    std::snprintf(shown.text, sizeof shown.text, ratio >= 10 ? "%.0fx" : "%.1fx", ratio);
    return shown;
}

void printFields(const field_table& fields) {
    std::printf(
        "Fields: the pairs of descriptors that differ only in one field, and those on one key\n");
    std::printf("field   values  pairs  on one key  random  ratio\n");
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        const field_sharing& sharing = fields[at(field)];
        std::printf("%-6s  %6d  %5d  %10d  %6.1f  %5s", SWEEP_FIELD_NAMES[at(field)],
                    SWEEP_VALUES[at(field)], sharing.pairs, sharing.sharedPairs,
                    sharing.randomPairs, timesRandom(sharing.ratio).text);
        const char* separator = "  ";
        if (sharing.neverRead) {
            std::printf("%snever read over the sweep", separator);
            separator = "; ";
        }
        if (sharing.crowdField >= 0)
            std::printf("%s%d of them at %s %d", separator, sharing.crowdPairs,
                        SWEEP_FIELD_NAMES[at(sharing.crowdField)], sharing.crowdValue);
        std::printf("\n");
    }
}

// One line of a baseline: the figure, the baseline's, and how this key compares.
struct figure_text {
    char text[48];
};
void printFigure(const char* figure, const figure_text& baseline, const char* comparison) {
    std::printf("  %-12s %-20s %s\n", figure, baseline.text, comparison);
}

// A figure's mean +/- sd, and "this key: N sd above" (or below) it, where the
// baseline has a spread at all.
void printMeanAndSd(const char* figure, double value, double mean, double sd) {
    figure_text baseline{};
    std::snprintf(baseline.text, sizeof baseline.text, "%.2f +/- %.2f", mean, sd);
    figure_text comparison{};
    if (sd > 0)
        std::snprintf(comparison.text, sizeof comparison.text, "this key: %.1f sd %s",
                      std::fabs(value - mean) / sd, value >= mean ? "above" : "below");
    else
        std::snprintf(comparison.text, sizeof comparison.text,
                      "this key: no sd figure, it cannot vary");
    printFigure(figure, baseline, comparison.text);
}

void printBaseline(const random_baseline& baseline, const key_spread& spread) {
    if (baseline.repeats == 1)
        std::printf("A uniformly random key function, over the %d inputs:\n", baseline.inputs);
    else
        std::printf(
            "A random key function as blind as this one, over its %d distinct input%s,"
            " each counted %d times:\n",
            baseline.inputs, baseline.inputs == 1 ? "" : "s", baseline.repeats);
    printMeanAndSd("empty keys", spread.emptyKeys, baseline.emptyMean, baseline.emptySd);
    figure_text median{};
    std::snprintf(median.text, sizeof median.text, "median %d", baseline.busiestMedian);
    figure_text reach{};
    if (baseline.busiestAtLeast >= 1e-300)
        std::snprintf(reach.text, sizeof reach.text, "P(busiest >= %d) = %.2g", spread.busiest,
                      baseline.busiestAtLeast);
    else
        std::snprintf(reach.text, sizeof reach.text, "P(busiest >= %d) < 1e-300", spread.busiest);
    printFigure("busiest key", median, reach.text);
    printMeanAndSd("chi-square", spread.chiSquare, baseline.chiMean, baseline.chiSd);
    // Down the tail past the mean until fewer than half a key is expected.
    std::printf("  keys per hit count, expected:");
    const double meanInputs = static_cast<double>(baseline.inputs) / HASH_KEYS;
    for (int32_t inputs = 0; inputs <= baseline.inputs; ++inputs) {
        const int32_t hits = inputs * baseline.repeats;
        const double keys = expectedKeysWith(baseline, hits);
        if (inputs > meanInputs && keys < 0.5) break;
        if (keys >= 0.5) std::printf(" %d:%.3g", hits, keys);
    }
    std::printf("\n");
}

// The causes, worst first: the fields never read, then those that share keys
// markedly more often than random, by how much more.
void printCauses(const field_table& fields) {
    std::array<int32_t, SWEEP_FIELDS> order{};
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) order[at(field)] = field;
    // Ties in the record's order. (std::sort, unlike std::stable_sort, takes no heap.)
    std::sort(order.begin(), order.end(), [&fields](int32_t a, int32_t b) {
        return fields[at(a)].ratio != fields[at(b)].ratio
                   ? fields[at(a)].ratio > fields[at(b)].ratio
                   : a < b;
    });
    const char* separator = "Causes, worst first: never reads ";
    bool named = false;
    for (const int32_t field : order)
        if (fields[at(field)].neverRead) {
            std::printf("%s%s", separator, SWEEP_FIELD_NAMES[at(field)]);
            separator = ", ";
            named = true;
        }
    bool firstShared = true;
    for (const int32_t field : order) {
        const field_sharing& sharing = fields[at(field)];
        if (!sharing.cause || sharing.neverRead) continue;
        if (firstShared)
            std::printf("%s%s shares keys %s as often as random",
                        named ? "; " : "Causes, worst first: ", SWEEP_FIELD_NAMES[at(field)],
                        timesRandom(sharing.ratio).text);
        else
            std::printf(", %s %s", SWEEP_FIELD_NAMES[at(field)], timesRandom(sharing.ratio).text);
        firstShared = false;
        named = true;
    }
    if (!named)
        std::printf(
            "Causes: none found; the key reads every field, and none shares keys markedly"
            " more often than random");
    std::printf("\n");
}

int runDiagnosis() {
    combination_keys keyOf;
    hits_per_key keyCount;
    int32_t badKey = 0;
    if (!keyCombinations(keyOf, badKey)) return refuseKey(PROGRAM, badKey);
    countHits(keyOf, keyCount);
    const field_table fields = shareByField(keyOf);
    const key_spread spread = measureSpread(keyCount);
    const random_baseline random = randomBaseline(SWEEP_COMBINATIONS, 1, spread.busiest);
    const random_baseline blind = blindBaseline(fields, spread.busiest);

    errno = 0;
    std::printf("hashFunction over the sweep: %d descriptors, %d keys\n\n", SWEEP_COMBINATIONS,
                HASH_KEYS);
    printFields(fields);
    std::printf(
        "\nThis key: %d empty keys, the busiest holds %d hits, chi-square %.1f with %d"
        " degrees of freedom\n\n",
        spread.emptyKeys, spread.busiest, spread.chiSquare, HASH_KEYS - 1);
    printBaseline(random, spread);
    // With no field unread, the blind baseline is the first one.
    if (blind.repeats > 1) {
        std::printf("\n");
        printBaseline(blind, spread);
    }
    std::printf("\n");
    printCauses(fields);
    return finishOutput(PROGRAM);
}

}  // namespace

// The program has no options: the arguments are ignored.
int main(int /*argc*/, char** /*argv*/) { return runOnItsOwnStack(runDiagnosis, PROGRAM); }
