// Tells the key function's owner why it spreads the sweep as it does: which
// fields it wastes, and how far its spread lies from a uniformly random key
// function's, and from one as blind as it is; then sets every candidate key
// function beside it, each with its verdict. Prints on standard output; with
// --data DIR it also writes every figure in DIR, as CSV files (docs/figures.md);
// with --check it fails when the cache's own key function fails its verdict.
#include "candidates.hpp"
#include "diagnosis.hpp"
#include "program.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* PROGRAM = "hashFunctionDiagnosis";
constexpr const char* USAGE = "usage: hashFunctionDiagnosis [--data DIR] [--check]";
// The figures' files name the key function and the keyset of every figure, so
// that more of either add rows, never columns.
constexpr const char* KEYSET = "sweep";

// Every candidate over the sweep: its keys outside the table, and where there
// are none, its diagnosis; and its verdict.
struct candidate_figures {
    outside_keys outside;
    key_diagnosis diagnosis;  // only where outside.count is 0
    reach_table reach;
    keyset_figures sweep;  // its keys outside the table and its crowd, over the sweep
    std::array<keyset_figures, KEYSETS> keysets;
    key_verdict verdict;
};
using compared_candidates = std::array<candidate_figures, MOST_CANDIDATES>;

bool hasFigures(const candidate_figures& candidate) { return candidate.outside.count == 0; }

// The calls each candidate makes, each copying the whole record: the sweep, the
// keysets, and two per change of the reach.
constexpr int32_t REACH_CALLS = 2 * REACH_BYTES * REACH_SAMPLES;
constexpr int32_t CANDIDATE_CALLS = SWEEP_COMBINATIONS + KEYSETS * KEYSET_DESCRIPTORS + REACH_CALLS;

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

void printDiagnosis(const key_diagnosis& diagnosis, const reach_table& reach) {
    const key_spread& spread = diagnosis.spread;
    std::printf("%s over the %s: %d descriptors, %d keys\n\n", keyCandidates[0].name, KEYSET,
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

// A verdict as the table and the headline give it: "passes", "passes; more even
// than random; P(...) = ...", or "fails: " and the reasons.
struct verdict_text {
    char text[sizeof(key_verdict::reasons) + 16];
};
verdict_text verdictText(const key_verdict& verdict) {
    verdict_text shown{};
    const char* separator = verdict.reasons[0] == '\0' ? "" : verdict.passes ? "; " : ": ";
    std::snprintf(shown.text, sizeof shown.text, "%s%s%s", verdict.passes ? "passes" : "fails",
                  separator, verdict.reasons);
    return shown;
}

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
    std::printf("\nCandidates over the %s, side by side:\n", KEYSET);
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

// The verdict that make plot prints and the picture takes as its headline: the
// cache key's spread against each baseline in a sentence and its causes' line,
// then every candidate's verdict, a line each.
void writeHeadline(std::FILE* out, const compared_candidates& compared) {
    const key_diagnosis& diagnosis = compared[0].diagnosis;
    const key_spread& spread = diagnosis.spread;
    const random_baseline& random = diagnosis.random;
    std::fprintf(out,
                 "A uniformly random key function would leave about %.0f of the %d keys empty,"
                 " reach a highest count of about %d and score a chi-square of about %.0f; this"
                 " one leaves %d empty, reaches %d and scores %.0f, %.1f times the random"
                 " figure.\n",
                 random.emptyMean, HASH_KEYS, random.busiestMedian, random.chiMean,
                 spread.emptyKeys, spread.busiest, spread.chiSquare,
                 spread.chiSquare / random.chiMean);
    if (hasBlindBaseline(diagnosis))
        std::fprintf(out,
                     "One as blind as this one would leave about %.0f empty, reach about %d and"
                     " score about %.0f; this one scores %.1f times that.\n",
                     diagnosis.blind.emptyMean, diagnosis.blind.busiestMedian,
                     diagnosis.blind.chiMean, spread.chiSquare / diagnosis.blind.chiMean);
    printCauses(out, diagnosis, compared[0].reach);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        std::fprintf(out, "%s %s\n", keyCandidates[candidate].name,
                     verdictText(compared[at(candidate)].verdict).text);
}

// The figures' files, a row group per candidate: reals at full precision, so
// that a reader gets the very doubles the text was rounded from; flags as 0 and
// 1; an absent figure empty. Each writer writes one candidate's rows.
void writeKeys(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    for (int32_t key = 0; key < HASH_KEYS; ++key)
        std::fprintf(out, "%s,%s,%d,%d\n", name, KEYSET, key, diagnosis.keyCount[at(key)]);
}

// Hit counts from 0 up to the busiest key's, or to the last count either
// baseline's text lists, whichever is higher.
void writeCounts(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    const bool blind = hasBlindBaseline(diagnosis);
    int32_t top = std::max(diagnosis.spread.busiest, listedInputsEnd(diagnosis.random) - 1);
    if (blind)
        top = std::max(top, (listedInputsEnd(diagnosis.blind) - 1) * diagnosis.blind.repeats);
    top = std::min(top, SWEEP_COMBINATIONS);
    for (int32_t hits = 0; hits <= top; ++hits) {
        std::fprintf(out, "%s,%s,%d,%d,%.17g,", name, KEYSET, hits,
                     diagnosis.keysWithHits[at(hits)], expectedKeysWith(diagnosis.random, hits));
        if (blind) std::fprintf(out, "%.17g", expectedKeysWith(diagnosis.blind, hits));
        std::fprintf(out, "\n");
    }
}

void writeFields(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        const field_sharing& sharing = diagnosis.fields[at(field)];
        std::fprintf(out, "%s,%s,%d,%d,%d,%.17g,%.17g,%d,%d,", name, SWEEP_FIELD_NAMES[at(field)],
                     SWEEP_VALUES[at(field)], sharing.pairs, sharing.sharedPairs,
                     sharing.randomPairs, sharing.ratio, sharing.neverRead ? 1 : 0,
                     sharing.cause ? 1 : 0);
        if (sharing.crowdField >= 0)
            std::fprintf(out, "%s,%d,%d\n", SWEEP_FIELD_NAMES[at(sharing.crowdField)],
                         sharing.crowdValue, sharing.crowdPairs);
        else
            std::fprintf(out, ",,\n");
    }
}

// One baseline's row: this key's figures beside the baseline's, and the chances
// the verdict weighs.
void writeSpreadRow(std::FILE* out, const char* name, const char* keyset, const key_spread& spread,
                    const char* baselineName, const random_baseline& baseline) {
    const chi_square_tails chi = chiSquareChances(baseline, spread.chiSquare);
    std::fprintf(out,
                 "%s,%s,%s,%d,%d,%d,%.17g,%.17g,%.17g,%d,%d,%.17g,%.17g,%.17g,%.17g,%.17g,"
                 "%.17g\n",
                 name, keyset, baselineName, baseline.inputs, baseline.repeats, spread.emptyKeys,
                 baseline.emptyMean, baseline.emptySd, emptyChance(baseline, spread.emptyKeys),
                 spread.busiest, baseline.busiestMedian, baseline.busiestAtLeast, spread.chiSquare,
                 baseline.chiMean, baseline.chiSd, chi.above, chi.below);
}

void writeSpread(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    writeSpreadRow(out, name, KEYSET, diagnosis.spread, "random", diagnosis.random);
    if (hasBlindBaseline(diagnosis))
        writeSpreadRow(out, name, KEYSET, diagnosis.spread, "blind", diagnosis.blind);
}

void writeCauses(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        const field_sharing& sharing = diagnosis.fields[at(field)];
        std::fprintf(out, "%s,%d,%s,%d,%.17g\n", name, rank + 1, SWEEP_FIELD_NAMES[at(field)],
                     sharing.neverRead ? 1 : 0, sharing.ratio);
    }
}

// A text as one CSV field: quoted where it holds a comma or a double quote, each
// double quote within doubled.
void writeCsvField(std::FILE* out, const char* text) {
    if (std::strpbrk(text, ",\"") == nullptr) {
        std::fputs(text, out);
        return;
    }
    std::fputc('"', out);
    for (; *text != '\0'; ++text) {
        if (*text == '"') std::fputc('"', out);
        std::fputc(*text, out);
    }
    std::fputc('"', out);
}

// Every candidate's verdict, those without figures too.
void writeVerdicts(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const key_verdict& verdict = compared[at(candidate)].verdict;
        std::fprintf(out, "%s,%s,", keyCandidates[candidate].name,
                     verdict.passes ? "passes" : "fails");
        writeCsvField(out, verdict.reasons);
        std::fputc('\n', out);
    }
}

// Each candidate's reach: its changes of each byte, and how many changed the key.
void writeReach(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t byte = 0; byte < REACH_BYTES; ++byte) {
            const byte_reach& counted = compared[at(candidate)].reach[at(byte)];
            std::fprintf(out, "%s,%s,%d,%d\n", keyCandidates[candidate].name,
                         reachByteName(byte).text, counted.changes, counted.changed);
        }
}

// The files --data writes, in this order.
enum figure_file : int32_t {
    KEYS,
    COUNTS,
    FIELDS,
    SPREAD,
    CAUSES,
    REACH,
    OUTSIDE,
    CROWD,
    VERDICTS,
    HEADLINE,
    FIGURE_FILES
};

// The keysets' rows of keys.csv, counts.csv and spread.csv: every candidate's,
// after the sweep's. A keyset's counts run from 0 to its busiest key's.
void writeKeysetRows(std::FILE* out, int32_t file, const compared_candidates& compared) {
    std::array<int32_t, MOST_INPUTS + 1> keysWithHits{};
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
            const char* name = keyCandidates[candidate].name;
            const char* title = KEYSET_TITLES[at(keyset)];
            const keyset_figures& measured = compared[at(candidate)].keysets[at(keyset)];
            if (file == KEYS) {
                for (int32_t key = 0; key < HASH_KEYS; ++key)
                    std::fprintf(out, "%s,%s,%d,%d\n", name, title, key,
                                 measured.keyCount[at(key)]);
            } else if (file == SPREAD) {
                if (measured.random.inputs > 0)
                    writeSpreadRow(out, name, title, measured.spread, "random", measured.random);
            } else if (measured.random.inputs > 0) {
                keysWithHits.fill(0);
                for (const int32_t hits : measured.keyCount) ++keysWithHits[at(hits)];
                for (int32_t hits = 0; hits <= measured.spread.busiest; ++hits)
                    std::fprintf(out, "%s,%s,%d,%d,%.17g,\n", name, title, hits,
                                 keysWithHits[at(hits)], expectedKeysWith(measured.random, hits));
            }
        }
}

// A descriptor's keyed fields as CSV columns: the name escaped as C writes it,
// quoted as CSV requires, then param, width, height and flag.
void writeKeyedFields(std::FILE* out, const keyed_fields& fields) {
    writeCsvField(out, escapeName(fields.name).text);
    std::fprintf(out, ",%d,%d,%d,%d", fields.param, fields.width, fields.height, fields.flag);
}

// Every candidate's keys outside the table on the sweep and each keyset, with
// the first and its descriptor, or empty columns where none fell outside.
void writeOutside(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = -1; keyset < KEYSETS; ++keyset) {
            const candidate_figures& figures = compared[at(candidate)];
            const keyset_figures& measured =
                keyset < 0 ? figures.sweep : figures.keysets[at(keyset)];
            std::fprintf(out, "%s,%s,%d,%d,", keyCandidates[candidate].name,
                         keyset < 0 ? KEYSET : KEYSET_TITLES[at(keyset)],
                         keyset < 0 ? SWEEP_COMBINATIONS : KEYSET_DESCRIPTORS,
                         measured.outside.count);
            if (measured.outside.count > 0) {
                writeKeyedFields(out, measured.firstOutside);
                std::fprintf(out, ",%d\n", measured.outside.first);
            } else {
                std::fprintf(out, ",,,,,\n");
            }
        }
}

// Up to CROWD_SHOWN descriptors on every candidate's busiest key, on the sweep
// and each keyset.
void writeCrowd(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = -1; keyset < KEYSETS; ++keyset) {
            const candidate_figures& figures = compared[at(candidate)];
            const keyset_figures& measured =
                keyset < 0 ? figures.sweep : figures.keysets[at(keyset)];
            for (int32_t shown = 0; shown < measured.crowdCount; ++shown) {
                std::fprintf(out, "%s,%s,%d,", keyCandidates[candidate].name,
                             keyset < 0 ? KEYSET : KEYSET_TITLES[at(keyset)], measured.busiestKey);
                writeKeyedFields(out, measured.crowd[at(shown)]);
                std::fprintf(out, "\n");
            }
        }
}

// Their names and headers, in that order.
constexpr std::array<const char*, FIGURE_FILES> FIGURE_FILE_NAMES = {
    "keys.csv",  "counts.csv",  "fields.csv", "spread.csv",   "causes.csv",
    "reach.csv", "outside.csv", "crowd.csv",  "verdicts.csv", "headline.txt"};
constexpr std::array<const char*, FIGURE_FILES> FIGURE_FILE_HEADERS = {
    "candidate,keyset,key,hits",
    "candidate,keyset,hits,keys,random,blind",
    "candidate,field,values,pairs,shared,random,ratio,never_read,cause,crowd_field,crowd_value,"
    "crowd_pairs",
    "candidate,keyset,baseline,inputs,repeats,empty,empty_mean,empty_sd,p_empty,busiest,"
    "busiest_median,p_busiest,chi_square,chi_mean,chi_sd,p_chi_above,p_chi_below",
    "candidate,rank,field,never_read,ratio",
    "candidate,byte,changes,changed",
    "candidate,keyset,descriptors,outside,name,param,width,height,flag,key",
    "candidate,keyset,key,name,param,width,height,flag",
    "candidate,verdict,reasons",
    nullptr};  // the headline is text

// The writers of one candidate's figures over the sweep, by file, up to the reach.
using row_writer = void (*)(std::FILE*, const char*, const key_diagnosis&);
constexpr std::array<row_writer, REACH> ROW_WRITERS = {writeKeys, writeCounts, writeFields,
                                                       writeSpread, writeCauses};

void writeFigureFile(std::FILE* out, int32_t file, const compared_candidates& compared) {
    if (file == HEADLINE) return writeHeadline(out, compared);
    std::fprintf(out, "%s\n", FIGURE_FILE_HEADERS[at(file)]);
    if (file == REACH) return writeReach(out, compared);
    if (file == OUTSIDE) return writeOutside(out, compared);
    if (file == CROWD) return writeCrowd(out, compared);
    if (file == VERDICTS) return writeVerdicts(out, compared);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        if (hasFigures(compared[at(candidate)]))
            ROW_WRITERS[at(file)](out, keyCandidates[candidate].name,
                                  compared[at(candidate)].diagnosis);
    if (file == KEYS || file == COUNTS || file == SPREAD) writeKeysetRows(out, file, compared);
}

// A file's name while it is being written: beside its own, hidden, and this
// process's alone.
struct staged_name {
    char text[64];
};
staged_name stagedName(int32_t file) {
    staged_name name{};
    std::snprintf(name.text, sizeof name.text, ".%s.%ld", FIGURE_FILE_NAMES[at(file)],
                  static_cast<long>(getpid()));
    return name;
}

// Writes one file whole under its staged name, which it may only create, so
// that no file of another's is written through. Returns 0 or the cause; created
// tells whether the staged file exists, to be removed after a failure.
int stageFile(int folderFd, int32_t file, const compared_candidates& compared, bool& created) {
    const int fd = openat(folderFd, stagedName(file).text,
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    created = fd >= 0;
    if (fd < 0) return errno;
    std::FILE* out = fdopen(fd, "w");
    if (out == nullptr) {
        const int cause = errno;
        close(fd);
        return cause;
    }
    errno = 0;
    writeFigureFile(out, file, compared);
    int cause = std::fflush(out) == 0 && std::ferror(out) == 0 ? 0 : errno != 0 ? errno : EIO;
    if (std::fclose(out) != 0 && cause == 0) cause = errno != 0 ? errno : EIO;
    return cause;
}

// Writes every file in the folder, making the folder if it is missing. Each file
// is written whole under a staged name, and they take their own names only once
// all are written: a failure to write leaves the folder as it was, without the
// staged files, and removes the folder if it made it. Returns 0, or 2 after one
// line on stderr naming the folder and the cause.
int writeFigures(const char* folder, const compared_candidates& compared) {
    bool made = false;
    int folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0 && errno == ENOENT && mkdir(folder, 0777) == 0) {
        made = true;
        folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (folderFd < 0) {
        std::fprintf(stderr, "%s: cannot use the folder %s: %s\n", PROGRAM, folder,
                     std::strerror(errno));
        return 2;
    }
    int32_t created = 0;  // the staged files that exist
    int error = 0;
    for (int32_t file = 0; file < FIGURE_FILES && error == 0; ++file) {
        bool exists = false;
        error = stageFile(folderFd, file, compared, exists);
        if (exists) ++created;
    }
    // A rename can still fail, where a folder holds the name, say: the files
    // renamed before it then hold this run's figures, each whole.
    for (int32_t file = 0; file < FIGURE_FILES && error == 0; ++file)
        if (renameat(folderFd, stagedName(file).text, folderFd, FIGURE_FILE_NAMES[at(file)]) != 0)
            error = errno;
    if (error != 0) {
        for (int32_t file = 0; file < created; ++file) unlinkat(folderFd, stagedName(file).text, 0);
        if (made) rmdir(folder);
        std::fprintf(stderr, "%s: cannot write the figures in %s: %s\n", PROGRAM, folder,
                     std::strerror(error));
    }
    close(folderFd);
    return error != 0 ? 2 : 0;
}

// The options: --data DIR and --check, each at most once. Returns false after
// one line on stderr, with the usage, for anything else.
struct chosen_options {
    const char* figuresFolder;  // nullptr: no figures' files
    bool check;                 // the exit status follows the cache key's verdict
};
bool readOptions(int argc, char** argv, chosen_options& chosen) {
    chosen = {nullptr, false};
    for (int index = 1; index < argc; ++index) {
        const char* option = argv[index];
        const char* problem = nullptr;
        if (std::strcmp(option, "--check") == 0) {
            problem = chosen.check ? "a second" : nullptr;
            chosen.check = true;
        } else if (std::strcmp(option, "--data") == 0) {
            problem = chosen.figuresFolder != nullptr ? "a second"
                      : index + 1 >= argc             ? "no folder after"
                                                      : nullptr;
            if (problem == nullptr) chosen.figuresFolder = argv[++index];
        } else {
            problem = "unknown option";
        }
        if (problem != nullptr) {
            std::fprintf(stderr, "%s: %s %s; %s\n", PROGRAM, problem, option, USAGE);
            return false;
        }
    }
    return true;
}

int runDiagnosis(int argc, char** argv) {
    chosen_options chosen{};
    if (!readOptions(argc, argv, chosen)) return 2;
    // One sweep keys every combination with every candidate.
    std::array<key_function, MOST_CANDIDATES> functions{};
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        functions[at(candidate)] = keyCandidates[candidate].key;
    std::array<combination_keys, MOST_CANDIDATES> keyOf;
    std::array<outside_keys, MOST_CANDIDATES> outside{};
    keyTheSweep(functions.data(), candidateCount, keyOf.data(), outside.data());
    // The cache key's diagnosis is the output's first part: without it there is none.
    if (outside[0].count > 0)
        return refuseKey(PROGRAM, outside[0].first, describeCombination(outside[0].firstAt).text);
    std::array<reach_table, MOST_CANDIDATES> reach;
    measureReach(functions.data(), candidateCount, reach.data());
    compared_candidates compared;
    // Each keyset in turn, every candidate keyed over it in one pass.
    std::array<keyset_keys, MOST_CANDIDATES> keysetKeys;
    std::array<keyset_figures, MOST_CANDIDATES> measured;
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
        measureKeyset(keyset, functions.data(), candidateCount, keysetKeys.data(), measured.data());
        for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
            compared[at(candidate)].keysets[at(keyset)] = measured[at(candidate)];
    }
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        candidate_figures& figures = compared[at(candidate)];
        figures.outside = outside[at(candidate)];
        if (hasFigures(figures)) diagnose(keyOf[at(candidate)], figures.diagnosis);
        figures.reach = reach[at(candidate)];
        figures.sweep = measureSweep(keyOf[at(candidate)], figures.outside);
        figures.verdict =
            judge(figures.outside, figures.diagnosis, figures.reach, figures.keysets.data());
    }
    // The files first: a refusal leaves nothing on stdout.
    if (chosen.figuresFolder != nullptr) {
        const int status = writeFigures(chosen.figuresFolder, compared);
        if (status != 0) return status;
    }
    errno = 0;
    printDiagnosis(compared[0].diagnosis, compared[0].reach);
    printReach(compared);
    printKeysets(compared);
    printCandidates(compared);
    const int status = finishOutput(PROGRAM);
    return status == 0 && chosen.check && !compared[0].verdict.passes ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) { return runOnItsOwnStack(runDiagnosis, argc, argv, PROGRAM); }
