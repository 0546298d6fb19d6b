#include "text.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

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
    printFigure("busiest key", median, busiestChanceText(baseline, spread.busiest).text);
    printMeanAndSd("chi-square", spread.chiSquare, baseline.chiMean, baseline.chiSd);
    std::printf("  keys per hit count, expected:");
    const int32_t end = listedInputsEnd(baseline);
    for (int32_t inputs = 0; inputs < end; ++inputs) {
        const int32_t hits = inputs * baseline.repeats;
        const double keys = expectedKeysWith(baseline, hits);
        if (keys >= LISTED_KEYS) std::printf(" %d:%.3g", hits, keys);
    }
    std::printf("\n");
}

// The causes, worst first, in one line: the fields never read, then those that
// share keys markedly more often than random, by how much more. Where it finds
// none, it says the key reads every field only if every keyed byte reached it.
}  // namespace

void printCauses(std::FILE* out, const key_diagnosis& diagnosis, const reach_table& reach) {
    const char* separator = "Causes, worst first: never reads ";
    bool named = false;
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        if (!diagnosis.fields[at(field)].neverRead) continue;
        std::fprintf(out, "%s%s", separator, SWEEP_FIELD_NAMES[at(field)]);
        separator = ", ";
        named = true;
    }
    bool firstShared = true;
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        const field_sharing& sharing = diagnosis.fields[at(field)];
        if (sharing.neverRead) continue;
        if (firstShared)
            std::fprintf(out, "%s%s shares keys %s as often as random",
                         named ? "; " : "Causes, worst first: ", SWEEP_FIELD_NAMES[at(field)],
                         timesRandom(sharing.ratio).text);
        else
            std::fprintf(out, ", %s %s", SWEEP_FIELD_NAMES[at(field)],
                         timesRandom(sharing.ratio).text);
        firstShared = false;
        named = true;
    }
    const byte_list unreached = unreachedBytes(reach);
    if (!named && unreached.text[0] == '\0')
        std::fprintf(out,
                     "Causes: none found; the key reads every field, and none shares keys"
                     " markedly more often than random");
    else if (!named)
        std::fprintf(out,
                     "Causes: none found over the sweep, but %s never reach the key; no field"
                     " shares keys markedly more often than random",
                     unreached.text);
    std::fprintf(out, "\n");
}

namespace {

void printDiagnosis(const key_diagnosis& diagnosis, const reach_table& reach) {
    const key_spread& spread = diagnosis.spread;
    std::printf("%s over the %s: %d descriptors, %d keys\n\n", keyCandidates[0].name, SWEEP_TITLE,
                SWEEP_COMBINATIONS, HASH_KEYS);
    printFields(diagnosis.fields);
    std::printf(
        "\nThis key: %d empty keys, the busiest holds %d hits, chi-square %.1f with %d"
        " degrees of freedom\n\n",
        spread.emptyKeys, spread.busiest, spread.chiSquare, HASH_KEYS - 1);
    printBaseline(diagnosis.random, spread);
    if (hasBlindBaseline(diagnosis)) {
        std::printf("\n");
        printBaseline(diagnosis.blind, spread);
    }
    std::printf("\n");
    printCauses(stdout, diagnosis, reach);
}

}  // namespace

verdict_text verdictText(const key_verdict& verdict) {
    verdict_text shown{};
    const char* separator = verdict.reasons[0] == '\0' ? "" : verdict.passes ? "; " : ": ";
    std::snprintf(shown.text, sizeof shown.text, "%s%s%s", verdict.passes ? "passes" : "fails",
                  separator, verdict.reasons);
    return shown;
}

namespace {

// One row of the candidates' table: a figure's text, or "-" where it has none.
struct cell_text {
    char text[48];
};

// The fields a key function never reads, "name,flag", or "-".
cell_text neverReadText(const key_diagnosis& diagnosis) {
    const field_names unread = neverReadNames(diagnosis.fields, ",");
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%s", unread.text[0] != '\0' ? unread.text : "-");
    return shown;
}

// The keyed bytes that never reach the key, "name[2..18], flag", or "-".
byte_list unreachedText(const reach_table& reach) {
    byte_list shown = unreachedBytes(reach);
    if (shown.text[0] == '\0') std::snprintf(shown.text, sizeof shown.text, "-");
    return shown;
}

// The field whose pairs share keys most often against random (the first of
// equals), and its ratio: "height 133x".
cell_text worstFieldText(const key_diagnosis& diagnosis) {
    int32_t worst = 0;
    for (int32_t field = 1; field < SWEEP_FIELDS; ++field)
        if (diagnosis.fields[at(field)].ratio > diagnosis.fields[at(worst)].ratio) worst = field;
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%s %s", SWEEP_FIELD_NAMES[at(worst)],
                  timesRandom(diagnosis.fields[at(worst)].ratio).text);
    return shown;
}

// How far a chi-square lies from a baseline's mean, in its standard deviations,
// or "-" where it cannot vary.
cell_text sdText(double chiSquare, const random_baseline& baseline) {
    cell_text shown{};
    if (baseline.chiSd > 0)
        std::snprintf(shown.text, sizeof shown.text, "%+.1f",
                      (chiSquare - baseline.chiMean) / baseline.chiSd);
    else
        std::snprintf(shown.text, sizeof shown.text, "-");
    return shown;
}

// Each byte's reach, a row each, a column per candidate: the share of its
// changes that changed the key, or "never".
void printReach(const compared_candidates& compared) {
    std::printf(
        "\nReach: of %d changes of each byte, in descriptors drawn over every field's whole range,"
        " the share that change the key\n",
        REACH_SAMPLES);
    std::printf("%-10s", "byte");
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        std::printf("  %*s", CANDIDATE_NAME_SIZE, keyCandidates[candidate].name);
    std::printf("\n");
    for (int32_t byte = 0; byte < REACH_BYTES; ++byte) {
        std::printf("%-10s", reachByteName(byte).text);
        for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
            const byte_reach& counted = compared[at(candidate)].reach[at(byte)];
            cell_text share{};
            if (counted.changed == 0)
                std::snprintf(share.text, sizeof share.text, "never");
            else
                std::snprintf(share.text, sizeof share.text, "%.1f%%",
                              100.0 * counted.changed / counted.changes);
            std::printf("  %*s", CANDIDATE_NAME_SIZE, share.text);
        }
        std::printf("\n");
    }
}

// A spread's figures as the tables give them: empty keys, the busiest key's
// hits, its chance and the chi-square, with its sd from the baseline's mean.
struct spread_cells {
    cell_text empty, busiest, chance, chiSquare, sd;
};
spread_cells spreadCells(const key_spread& spread, const random_baseline& baseline) {
    spread_cells cells{};
    std::snprintf(cells.empty.text, sizeof cells.empty.text, "%d", spread.emptyKeys);
    std::snprintf(cells.busiest.text, sizeof cells.busiest.text, "%d", spread.busiest);
    std::snprintf(cells.chance.text, sizeof cells.chance.text, "%s",
                  chanceFigure(baseline.busiestAtLeast).text);
    std::snprintf(cells.chiSquare.text, sizeof cells.chiSquare.text, "%.1f", spread.chiSquare);
    cells.sd = sdText(spread.chiSquare, baseline);
    return cells;
}

// A share of the keyset's descriptors, in percent, one decimal: "49.8%".
cell_text shareText(int32_t part, int32_t whole) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%.1f%%", 100.0 * part / whole);
    return shown;
}

// Every candidate on each keyset beyond the sweep: the spread against a random
// key function, the keys outside the table with the first, and the busiest
// key's descriptors.
void printKeysets(const compared_candidates& compared) {
    std::printf(
        "\nKeysets beyond the catalogue, %d descriptors each: names, %d generated file names over"
        " the sweep's params, widths, heights and flags; near, %d names close to one another;"
        " domain, every keyed field over its whole range. Each candidate makes %d calls: %d over"
        " the sweep, %d over the keysets and %d for the reach, each copying the %zu-byte"
        " record.\n",
        KEYSET_DESCRIPTORS, KEYSET_NAMES, KEYSET_NAMES, CANDIDATE_CALLS, SWEEP_COMBINATIONS,
        KEYSETS * KEYSET_DESCRIPTORS, REACH_CALLS, sizeof(image_descriptor));
    const char* const row = "%-6s  %-*s  %5s  %7s  %10s  %10s  %9s  %7s\n";
    std::printf(row, "keyset", CANDIDATE_NAME_SIZE, "candidate", "empty", "busiest", "P(busiest)",
                "chi-square", "sd random", "outside");
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset)
        for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
            const keyset_figures& measured = compared[at(candidate)].keysets[at(keyset)];
            const spread_cells cells = spreadCells(measured.spread, measured.random);
            const bool within = measured.random.inputs > 0;
            std::printf(row, KEYSET_TITLES[at(keyset)], CANDIDATE_NAME_SIZE,
                        keyCandidates[candidate].name, cells.empty.text, cells.busiest.text,
                        within ? cells.chance.text : "-", within ? cells.chiSquare.text : "-",
                        within ? cells.sd.text : "-",
                        shareText(measured.outside.count, KEYSET_DESCRIPTORS).text);
        }
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset)
        for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
            const keyset_figures& measured = compared[at(candidate)].keysets[at(keyset)];
            const char* name = keyCandidates[candidate].name;
            if (measured.outside.count > 0)
                std::printf("%s, %s: %d keys outside 0..%d; the first: %s -> key %d\n",
                            KEYSET_TITLES[at(keyset)], name, measured.outside.count, HASH_KEYS - 1,
                            describeFields(measured.firstOutside).text, measured.outside.first);
            if (measured.crowdCount == 0) continue;
            std::printf("%s, %s: the busiest key, %d, holds %d:", KEYSET_TITLES[at(keyset)], name,
                        measured.busiestKey, measured.spread.busiest);
            for (int32_t shown = 0; shown < measured.crowdCount; ++shown)
                std::printf("%s %s", shown > 0 ? ";" : "",
                            describeFields(measured.crowd[at(shown)]).text);
            std::printf("\n");
        }
}

// The keyset whose chi-square lies furthest above random, "names +87.3", or "-".
cell_text worstKeysetText(const candidate_figures& figures) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "-");
    bool found = false;
    double worst = 0;
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
        const keyset_figures& measured = figures.keysets[at(keyset)];
        if (measured.random.inputs == 0) continue;
        const double sd =
            (measured.spread.chiSquare - measured.random.chiMean) / measured.random.chiSd;
        if (found && sd <= worst) continue;
        found = true;
        worst = sd;
        std::snprintf(shown.text, sizeof shown.text, "%s %+.1f", KEYSET_TITLES[at(keyset)], sd);
    }
    return shown;
}

// The keyset with the largest share of keys outside the table, "domain 49.8%", or "-".
cell_text outsideText(const candidate_figures& figures) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "-");
    int32_t most = 0;
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
        const int32_t count = figures.keysets[at(keyset)].outside.count;
        if (count <= most) continue;
        most = count;
        std::snprintf(shown.text, sizeof shown.text, "%s %.1f%%", KEYSET_TITLES[at(keyset)],
                      100.0 * count / KEYSET_DESCRIPTORS);
    }
    return shown;
}

void printCandidates(const compared_candidates& compared) {
    std::printf("\nCandidates over the %s, side by side:\n", SWEEP_TITLE);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        std::printf("  %-*s  %s\n", CANDIDATE_NAME_SIZE, keyCandidates[candidate].name,
                    keyCandidates[candidate].summary);
    const char* const row =
        "%-*s  %-12s  %-18s  %-12s  %5s  %7s  %10s  %10s  %9s  %8s  %-13s  %-12s  %s\n";
    std::printf("\n");
    std::printf(row, CANDIDATE_NAME_SIZE, "candidate", "never read", "never reach", "worst field",
                "empty", "busiest", "P(busiest)", "chi-square", "sd random", "sd blind",
                "worst keyset", "outside", "verdict");
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const candidate_figures& figures = compared[at(candidate)];
        const char* name = keyCandidates[candidate].name;
        if (!hasFigures(figures)) {
            std::printf(row, CANDIDATE_NAME_SIZE, name, "-", unreachedText(figures.reach).text, "-",
                        "-", "-", "-", "-", "-", "-", worstKeysetText(figures).text,
                        outsideText(figures).text, verdictText(figures.verdict).text);
            continue;
        }
        const key_diagnosis& diagnosis = figures.diagnosis;
        const key_spread& spread = diagnosis.spread;
        const spread_cells cells = spreadCells(spread, diagnosis.random);
        const cell_text blind = hasBlindBaseline(diagnosis)
                                    ? sdText(spread.chiSquare, diagnosis.blind)
                                    : cell_text{"-"};
        std::printf(row, CANDIDATE_NAME_SIZE, name, neverReadText(diagnosis).text,
                    unreachedText(figures.reach).text, worstFieldText(diagnosis).text,
                    cells.empty.text, cells.busiest.text, cells.chance.text, cells.chiSquare.text,
                    cells.sd.text, blind.text, worstKeysetText(figures).text,
                    outsideText(figures).text, verdictText(figures.verdict).text);
    }
    std::printf(
        "\nworst field: the field whose pairs share a key most often, against random. sd: the\n"
        "chi-square's distance from a uniformly random key function's mean (blind: one as blind\n"
        "as this one), in standard deviations. P(busiest): the chance that a random key\n"
        "function's busiest key holds as many hits. A candidate fails when it never reads a\n"
        "field, a keyed byte of it never reaches the key or a payload byte does, it gives a key\n"
        "outside 0..%d, or it leaves as many empty keys, a busiest key as busy or a chi-square\n"
        "as high as a uniformly random key function does with a chance below %g; a uniformly\n"
        "random one fails so with a chance of at most %g. More even than random is no fault.\n",
        HASH_KEYS - 1, UNLIKELY, JUDGED_FIGURES * UNLIKELY);
}

}  // namespace

void printText(const compared_candidates& compared) {
    printDiagnosis(compared[0].diagnosis, compared[0].reach);
    printReach(compared);
    printKeysets(compared);
    printCandidates(compared);
}
