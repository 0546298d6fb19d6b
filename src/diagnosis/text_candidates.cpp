#include "text_sections.hpp"

#include "text_format.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// The reach table: a row per byte, a column per candidate, in blocks of as many
// candidates as a line holds. A cell is the share of the byte's changes that
// changed the key, or "never".
constexpr int32_t BYTE_COLUMN = 10;
constexpr int32_t REACH_COLUMN = 2 + CANDIDATE_NAME_SIZE;
constexpr int32_t REACH_BLOCK = (LINE_WIDTH - BYTE_COLUMN) / REACH_COLUMN;
static_assert(REACH_BLOCK >= 1);

}  // namespace

void printReachSection(const compared_candidates& compared) {
    printHeading("What reaches the key");
    text_buffer heading{};
    append(heading,
           "Reach: of %d changes of each byte, in descriptors drawn over every field's whole"
           " range, the share that change the key; never: none does",
           REACH_SAMPLES);
    printWrapped(heading.text, 0);
    for (int32_t first = 0; first < candidateCount; first += REACH_BLOCK) {
        const int32_t end = std::min(first + REACH_BLOCK, candidateCount);
        if (first > 0) std::printf("\n");
        std::printf("%-*s", BYTE_COLUMN, "byte");
        for (int32_t candidate = first; candidate < end; ++candidate)
            std::printf("%*s", REACH_COLUMN, keyCandidates[candidate].name);
        std::printf("\n");
        for (int32_t byte = 0; byte < REACH_BYTES; ++byte) {
            std::printf("%-*s", BYTE_COLUMN, reachByteName(byte).text);
            for (int32_t candidate = first; candidate < end; ++candidate) {
                const byte_reach& counted = compared.candidates[at(candidate)].reach[at(byte)];
                cell_text share{};
                if (counted.changed == 0)
                    std::snprintf(share.text, sizeof share.text, "never");
                else
                    std::snprintf(share.text, sizeof share.text, "%.1f%%",
                                  100.0 * counted.changed / counted.changes);
                std::printf("%*s", REACH_COLUMN, share.text);
            }
            std::printf("\n");
        }
    }
}

namespace {

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
    cells.chiSquare = realCell(spread.chiSquare, 1, false, 10);
    if (baseline.chiSd > 0)
        cells.sd = realCell((spread.chiSquare - baseline.chiMean) / baseline.chiSd, 1, true, 9);
    else
        cells.sd = fitting(1, {"-"});
    return cells;
}

constexpr std::array<column, 8> KEYSET_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                   {"keyset", 8, true},
                                                   {"empty", 5, false},
                                                   {"busiest", 7, false},
                                                   {"P(busiest)", 10, false},
                                                   {"chi-square", 10, false},
                                                   {"sd random", 9, false},
                                                   {"outside", 14, false}}};
static_assert(fitsALine(KEYSET_COLUMNS));

// Every candidate on each keyset beyond the sweep: the spread against a random
// key function, then the keys outside the table with the first, and the busiest
// key's descriptors, a line each.
}  // namespace

void printKeysetsSection(const compared_candidates& compared) {
    const bool owners = compared.keysets > KEYSETS;
    const int32_t requested =
        owners ? compared.candidates[0].keysets[KEYSET_REQUESTS].descriptors : 0;
    printHeading("Keysets beyond the catalogue");
    text_buffer heading{};
    append(heading,
           "Three keysets of %d descriptors each: names, %d generated file names over"
           " the sweep's params, widths, heights and flags; near, %d names close to one another;"
           " domain, every keyed field over its whole range",
           KEYSET_DESCRIPTORS, KEYSET_NAMES, KEYSET_NAMES);
    if (owners)
        append(heading, "; and requests, the %d distinct descriptor%s of the requests replayed",
               requested, requested == 1 ? "" : "s");
    append(heading,
           ". Each candidate makes %lld calls: %d over the sweep, %d over the keysets%s and %d for"
           " the reach, each copying the %zu-byte record.",
           static_cast<long long>(CANDIDATE_CALLS) + requested, SWEEP_COMBINATIONS,
           KEYSETS * KEYSET_DESCRIPTORS + requested, owners ? " and the requests" : "", REACH_CALLS,
           sizeof(image_descriptor));
    printWrapped(heading.text, 0);
    printHeader(KEYSET_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
            const keyset_figures& measured = compared.candidates[at(candidate)].keysets[at(keyset)];
            const spread_cells cells = spreadCells(measured.spread, measured.random);
            const bool within = measured.random.inputs > 0;
            printRow(KEYSET_COLUMNS,
                     {keyCandidates[candidate].name, KEYSET_TITLES[at(keyset)], cells.empty.text,
                      cells.busiest.text, within ? cells.chance.text : "-",
                      within ? cells.chiSquare.text : "-", within ? cells.sd.text : "-",
                      countAndShare(measured.outside.count, measured.descriptors).text});
        }
    printWrapped(
        "empty: the keys no descriptor of the keyset is on; busiest: the most descriptors on one"
        " key; P(busiest): the chance that a uniformly random key function's busiest key holds as"
        " many; chi-square: against an even spread, 799 degrees of freedom; sd random: its"
        " distance from a uniformly random key function's mean, in standard deviations; outside:"
        " the descriptors whose key lies outside 0..799, with their share. The figures but"
        " outside are over the descriptors whose key lies within.",
        0);
    std::printf("\n");
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
            const keyset_figures& measured = compared.candidates[at(candidate)].keysets[at(keyset)];
            const char* name = keyCandidates[candidate].name;
            if (measured.outside.count > 0)
                std::printf("%s on %s: %d key%s outside 0..%d; the first, key %d:\n    %s\n", name,
                            KEYSET_TITLES[at(keyset)], measured.outside.count,
                            measured.outside.count == 1 ? "" : "s", HASH_KEYS - 1,
                            measured.outside.first, describeFields(measured.firstOutside).text);
            if (measured.crowdCount == 0) continue;
            // All it holds, or its first few.
            char first[32] = "";
            if (measured.crowdCount < measured.spread.busiest)
                std::snprintf(first, sizeof first, "; the first %d", measured.crowdCount);
            std::printf("%s on %s: the busiest key, %d, holds %d%s:\n", name,
                        KEYSET_TITLES[at(keyset)], measured.busiestKey, measured.spread.busiest,
                        first);
            for (int32_t shown = 0; shown < measured.crowdCount; ++shown)
                std::printf("    %s\n", describeFields(measured.crowd[at(shown)]).text);
        }
}

namespace {

constexpr std::array<column, 8> SWEEP_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                  {"worst field", 11, true},
                                                  {"empty", 5, false},
                                                  {"busiest", 7, false},
                                                  {"P(busiest)", 10, false},
                                                  {"chi-square", 10, false},
                                                  {"sd random", 9, false},
                                                  {"sd blind", 8, false}}};
static_assert(fitsALine(SWEEP_COLUMNS));
constexpr std::array<column, 6> VERDICT_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                    {"never read", 10, true},
                                                    {"never reach", 17, true},
                                                    {"worst keyset", 15, true},
                                                    {"most outside", 20, true},
                                                    {"verdict", 10, true}}};
static_assert(fitsALine(VERDICT_COLUMNS));

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

// The fields a key function never reads, "name,flag", "-", or as many as there are.
cell_text neverReadText(const candidate_figures& figures, int32_t width) {
    if (!hasFigures(figures)) return fitting(width, {"-"});
    const field_names unread = neverReadNames(figures.diagnosis.fields, ",");
    int32_t count = 0;
    for (const field_sharing& sharing : figures.diagnosis.fields)
        count += sharing.neverRead ? 1 : 0;
    cell_text counted{};
    std::snprintf(counted.text, sizeof counted.text, "%d fields", count);
    return fitting(width, {unread.text[0] != '\0' ? unread.text : "-", counted.text});
}

// The keyed bytes that never reach the key, "name[2..18], flag", "-", or as many as there are.
cell_text unreachedText(const reach_table& reach, int32_t width) {
    const byte_list unreached = unreachedBytes(reach);
    int32_t count = 0;
    for (int32_t byte = 0; byte < BYTE_PAYLOAD; ++byte)
        count += reach[at(byte)].changed == 0 ? 1 : 0;
    cell_text counted{};
    std::snprintf(counted.text, sizeof counted.text, "%d bytes", count);
    return fitting(width, {unreached.text[0] != '\0' ? unreached.text : "-", counted.text});
}

// The keyset whose chi-square lies furthest above random, "names +87.3", or "-".
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the table's row gives them
cell_text worstKeysetText(const candidate_figures& figures, int32_t keysets, int32_t width) {
    int32_t worst = -1;
    double worstSd = 0;
    for (int32_t keyset = 0; keyset < keysets; ++keyset) {
        const keyset_figures& measured = figures.keysets[at(keyset)];
        // A keyset whose chi-square a random key function cannot spread (a
        // descriptor or none within the table) has no sd.
        if (measured.random.inputs == 0 || !(measured.random.chiSd > 0)) continue;
        const double sd =
            (measured.spread.chiSquare - measured.random.chiMean) / measured.random.chiSd;
        if (worst >= 0 && sd <= worstSd) continue;
        worst = keyset;
        worstSd = sd;
    }
    if (worst < 0) return fitting(width, {"-"});
    const char* title = KEYSET_TITLES[at(worst)];
    const cell_text sd =
        realCell(worstSd, 1, true, width - static_cast<int32_t>(std::strlen(title)) - 1);
    text_buffer shown{};
    append(shown, "%s %s", title, sd.text);
    return fitting(width, {shown.text});
}

// The keyset with the largest share of keys outside the table, "domain 11875 (49.5%)", or "-".
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the table's row gives them
cell_text outsideText(const candidate_figures& figures, int32_t keysets, int32_t width) {
    double most = 0;
    int32_t mostAt = -1;
    for (int32_t keyset = 0; keyset < keysets; ++keyset) {
        const keyset_figures& measured = figures.keysets[at(keyset)];
        const double share = static_cast<double>(measured.outside.count) / measured.descriptors;
        if (share <= most) continue;
        most = share;
        mostAt = keyset;
    }
    if (mostAt < 0) return fitting(width, {"-"});
    const keyset_figures& measured = figures.keysets[at(mostAt)];
    text_buffer shown{};
    append(shown, "%s %s", KEYSET_TITLES[at(mostAt)],
           countAndShare(measured.outside.count, measured.descriptors).text);
    return fitting(width, {shown.text});
}

// "passes", or "fails (N)": N reasons.
cell_text verdictCell(const key_verdict& verdict) {
    cell_text shown{};
    if (verdict.passes)
        std::snprintf(shown.text, sizeof shown.text, "passes");
    else
        std::snprintf(shown.text, sizeof shown.text, "fails (%d)", verdict.clauses);
    return shown;
}

// A verdict's clauses, a line each after its candidate's name: each wrapped, but
// for one that quotes a descriptor, which stays whole.
void printReasons(const char* name, const key_verdict& verdict) {
    std::printf("%s %s:\n", name, verdict.passes ? "passes" : "fails");
    for (int32_t clause = 0; clause < verdict.clauses; ++clause) {
        const int32_t from = verdict.clauseAt[at(clause)];
        const int32_t end = clause + 1 < verdict.clauses
                                ? verdict.clauseAt[at(clause + 1)] - 2
                                : static_cast<int32_t>(std::strlen(verdict.reasons));
        text_buffer line{};
        append(line, "  %.*s", end - from, verdict.reasons + from);
        if (std::strchr(line.text, '"') != nullptr)
            std::printf("%s\n", line.text);
        else
            printWrapped(line.text, 4, true);
    }
}

}  // namespace

void printVerdictsSection(const compared_candidates& compared) {
    printHeading("Verdicts");
    std::printf("Candidates, side by side:\n");
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        text_buffer line{};
        append(line, "  %-*s  %s", CANDIDATE_NAME_SIZE, keyCandidates[candidate].name,
               keyCandidates[candidate].summary);
        printWrapped(line.text, 4 + CANDIDATE_NAME_SIZE);
    }
    std::printf("\nOver the %s:\n", SWEEP_TITLE);
    printHeader(SWEEP_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const candidate_figures& figures = compared.candidates[at(candidate)];
        const char* name = keyCandidates[candidate].name;
        if (!hasFigures(figures)) {
            printRow(SWEEP_COLUMNS, {name, "-", "-", "-", "-", "-", "-", "-"});
            continue;
        }
        const key_diagnosis& diagnosis = figures.diagnosis;
        const spread_cells cells = spreadCells(diagnosis.spread, diagnosis.random);
        const cell_text blind = hasBlindBaseline(diagnosis)
                                    ? spreadCells(diagnosis.spread, diagnosis.blind).sd
                                    : fitting(1, {"-"});
        printRow(SWEEP_COLUMNS,
                 {name, worstFieldText(diagnosis).text, cells.empty.text, cells.busiest.text,
                  cells.chance.text, cells.chiSquare.text, cells.sd.text, blind.text});
    }
    std::printf("\nWhat reaches the key, the keysets, and the verdict:\n");
    printHeader(VERDICT_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const candidate_figures& figures = compared.candidates[at(candidate)];
        printRow(
            VERDICT_COLUMNS,
            {keyCandidates[candidate].name, neverReadText(figures, VERDICT_COLUMNS[1].width).text,
             unreachedText(figures.reach, VERDICT_COLUMNS[2].width).text,
             worstKeysetText(figures, compared.keysets, VERDICT_COLUMNS[3].width).text,
             outsideText(figures, compared.keysets, VERDICT_COLUMNS[4].width).text,
             verdictCell(figures.verdict).text});
    }
    std::printf("\n");
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        if (compared.candidates[at(candidate)].verdict.clauses > 0)
            printReasons(keyCandidates[candidate].name, compared.candidates[at(candidate)].verdict);
    text_buffer notes{};
    append(notes,
           "worst field: the field whose pairs share a key most often, against random. empty,"
           " busiest, P(busiest), chi-square, sd random: as under \"## Keysets beyond the"
           " catalogue\"; sd blind: the chi-square's distance from the mean of a random key"
           " function as blind as this one, in standard deviations. never read: the fields whose"
           " pairs always share a key over the sweep; never reach: the keyed bytes no change of"
           " which changed the key; worst keyset: the keyset whose chi-square lies most sd above"
           " random; most outside: the keyset with the most keys outside 0..%d, with its share;"
           " fails (N): N reasons, listed above. A candidate fails when it never reads a"
           " field, a keyed byte of it never reaches the key or a payload byte does, it gives a"
           " key outside 0..%d, or it leaves as many empty keys, a busiest key as busy or a"
           " chi-square as high as a uniformly random key function does with a chance below %g;"
           " a uniformly random one fails so with a chance of at most %g. More even than random"
           " is no fault.",
           HASH_KEYS - 1, HASH_KEYS - 1, UNLIKELY, judgedFigures(compared.keysets) * UNLIKELY);
    std::printf("\n");
    printWrapped(notes.text, 0);
}
