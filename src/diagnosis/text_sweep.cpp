#include "text_sections.hpp"

#include "text_format.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

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
    text_buffer line{};
    if (baseline.repeats == 1)
        append(line, "A uniformly random key function, over the %d inputs:", baseline.inputs);
    else
        append(line,
               "A random key function as blind as this one, over its %d distinct input%s, each"
               " counted %d times:",
               baseline.inputs, baseline.inputs == 1 ? "" : "s", baseline.repeats);
    printWrapped(line.text, 0);
    printMeanAndSd("empty keys", spread.emptyKeys, baseline.emptyMean, baseline.emptySd);
    figure_text median{};
    std::snprintf(median.text, sizeof median.text, "median %d", baseline.busiestMedian);
    printFigure("busiest key", median, busiestChanceText(baseline, spread.busiest).text);
    printMeanAndSd("chi-square", spread.chiSquare, baseline.chiMean, baseline.chiSd);
    line = {};
    append(line, "  keys per load (descriptors on a key), expected:");
    const int32_t end = listedInputsEnd(baseline);
    for (int32_t inputs = 0; inputs < end; ++inputs) {
        const int32_t hits = inputs * baseline.repeats;
        const double keys = expectedKeysWith(baseline, hits);
        if (keys >= LISTED_KEYS) append(line, " %d:%.3g", hits, keys);
    }
    printWrapped(line.text, 4);
}

}  // namespace

// The causes' line, as printCauses writes it.
text_buffer causesText(const key_diagnosis& diagnosis, const reach_table& reach) {
    text_buffer line{};
    const char* separator = "Causes, worst first: never reads ";
    bool named = false;
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        if (!diagnosis.fields[at(field)].neverRead) continue;
        append(line, "%s%s", separator, SWEEP_FIELD_NAMES[at(field)]);
        separator = ", ";
        named = true;
    }
    bool firstShared = true;
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        const field_sharing& sharing = diagnosis.fields[at(field)];
        if (sharing.neverRead) continue;
        if (firstShared)
            append(line, "%s%s shares keys %s as often as random",
                   named ? "; " : "Causes, worst first: ", SWEEP_FIELD_NAMES[at(field)],
                   timesRandom(sharing.ratio).text);
        else
            append(line, ", %s %s", SWEEP_FIELD_NAMES[at(field)], timesRandom(sharing.ratio).text);
        firstShared = false;
        named = true;
    }
    const byte_list unreached = unreachedBytes(reach);
    if (!named && unreached.text[0] == '\0')
        append(line,
               "Causes: none found; the key reads every field, and none shares keys markedly more"
               " often than random");
    else if (!named)
        append(line,
               "Causes: none found over the sweep, but %s never reach the key; no field shares"
               " keys markedly more often than random",
               unreached.text);
    return line;
}

void printSweepSection(const key_diagnosis& diagnosis, const reach_table& reach) {
    const key_spread& spread = diagnosis.spread;
    text_buffer heading{};
    append(heading, "Why %s spreads the catalogue's sweep as it does", keyCandidates[0].name);
    printHeading(heading.text);
    std::printf("Over the %s: %d descriptors, %d keys.\n\n", SWEEP_TITLE, SWEEP_COMBINATIONS,
                HASH_KEYS);
    printFields(diagnosis.fields);
    printWrapped(
        "values: the field's values in the sweep; pairs: the pairs of descriptors that differ in"
        " this field alone; on one key: of them, those on one key; random: as many as a uniformly"
        " random key function puts on one key, pairs / 800; ratio: on one key over random; then"
        " where those on one key crowd, if they do.",
        0);
    text_buffer line{};
    append(line,
           "This key: %d empty keys, the busiest holds %d descriptors, chi-square %.1f with %d"
           " degrees of freedom",
           spread.emptyKeys, spread.busiest, spread.chiSquare, HASH_KEYS - 1);
    std::printf("\n");
    printWrapped(line.text, 2);
    std::printf("\n");
    printBaseline(diagnosis.random, spread);
    if (hasBlindBaseline(diagnosis)) {
        std::printf("\n");
        printBaseline(diagnosis.blind, spread);
    }
    std::printf("\n");
    printWrapped(causesText(diagnosis, reach).text, 2, true);
}
