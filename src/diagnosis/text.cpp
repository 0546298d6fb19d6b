#include "text.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// The most a line of the text holds. Only a line that quotes a descriptor may
// hold more: its name is never broken, so that it pastes back whole.
constexpr int32_t LINE_WIDTH = 100;

// A text built in pieces, to be printed whole or wrapped.
struct text_buffer {
    char text[4096];
    std::size_t used;
};

__attribute__((format(printf, 2, 3))) void append(text_buffer& buffer, const char* format, ...) {
    va_list values;
    va_start(values, format);
    const int written =
        std::vsnprintf(buffer.text + buffer.used, sizeof buffer.text - buffer.used, format, values);
    va_end(values);
    if (written > 0)
        buffer.used =
            std::min(buffer.used + static_cast<std::size_t>(written), sizeof buffer.text - 1);
}

// Where the line that starts at `from` ends: at the last space outside double
// quotes that leaves it at most `room` columns, or at the first such space past
// them where there is none (a quoted name stays whole). With byClauses, at the
// last such space after a comma or a semicolon instead, where one lies in the
// line's last quarter. nullptr: the rest fits.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the text, then a place in it
const char* lineEnd(const char* text, const char* from, std::size_t room, bool byClauses) {
    if (std::strlen(from) <= room) return nullptr;
    bool quoted = false;
    bool escaped = false;
    const char* end = nullptr;
    const char* clauseEnd = nullptr;
    for (const char* c = text; *c != '\0'; ++c) {
        if (quoted && !escaped && *c == '\\') {
            escaped = true;
            continue;
        }
        if (!escaped && *c == '"') quoted = !quoted;
        escaped = false;
        if (quoted || *c != ' ' || c <= from) continue;
        const auto used = static_cast<std::size_t>(c - from);
        if (used > room && end != nullptr) break;
        end = c;
        if (used > room) break;
        if ((c[-1] == ',' || c[-1] == ';') && 4 * used >= 3 * room) clauseEnd = c;
    }
    return byClauses && clauseEnd != nullptr ? clauseEnd : end;
}

// Prints text and a line end, in lines of at most LINE_WIDTH columns, broken at
// spaces outside double quotes (by clauses, where asked); every line after the
// first indented by `hanging`.
void printWrapped(const char* text, int32_t hanging, bool byClauses = false) {
    const char* from = text;
    int32_t indent = 0;
    for (const char* end = lineEnd(text, from, LINE_WIDTH, byClauses); end != nullptr;
         end = lineEnd(text, from, static_cast<std::size_t>(LINE_WIDTH - indent), byClauses)) {
        std::printf("%*s%.*s\n", indent, "", static_cast<int>(end - from), from);
        from = end + 1;
        indent = hanging;
    }
    std::printf("%*s%s\n", indent, "", from);
}

// A ratio to random as the causes' line and the tables give it: two significant
// digits, or whole above 10 ("133x", "5.2x").
struct ratio_text {
    char text[24];
};
ratio_text timesRandom(double ratio) {
    ratio_text shown{};
    std::snprintf(shown.text, sizeof shown.text, ratio >= 10 ? "%.0fx" : "%.1fx", ratio);
    return shown;
}

// One cell of a table: a figure's text, at most as wide as its column.
struct cell_text {
    char text[64];
};

// The first of the texts that fits `width` columns, or the last.
cell_text fitting(int32_t width, std::initializer_list<const char*> texts) {
    cell_text shown{};
    for (const char* text : texts) {
        std::snprintf(shown.text, sizeof shown.text, "%.*s",
                      static_cast<int>(sizeof shown.text) - 1, text);
        if (std::strlen(text) <= static_cast<std::size_t>(width)) break;
    }
    return shown;
}

// A real in `width` columns: with `decimals` decimals (and a sign, if signed), or
// whole, or as a power of ten where even that is too wide.
cell_text realCell(double value, int32_t decimals, bool withSign, int32_t width) {
    std::array<cell_text, 3> forms{};
    std::snprintf(forms[0].text, sizeof forms[0].text, withSign ? "%+.*f" : "%.*f", decimals,
                  value);
    std::snprintf(forms[1].text, sizeof forms[1].text, withSign ? "%+.0f" : "%.0f", value);
    std::snprintf(forms[2].text, sizeof forms[2].text, withSign ? "%+.0e" : "%.0e", value);
    return fitting(width, {forms[0].text, forms[1].text, forms[2].text});
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
    append(line, "  keys per hit count, expected:");
    const int32_t end = listedInputsEnd(baseline);
    for (int32_t inputs = 0; inputs < end; ++inputs) {
        const int32_t hits = inputs * baseline.repeats;
        const double keys = expectedKeysWith(baseline, hits);
        if (keys >= LISTED_KEYS) append(line, " %d:%.3g", hits, keys);
    }
    printWrapped(line.text, 4);
}

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

void printDiagnosis(const key_diagnosis& diagnosis, const reach_table& reach) {
    const key_spread& spread = diagnosis.spread;
    std::printf("%s over the %s: %d descriptors, %d keys\n\n", keyCandidates[0].name, SWEEP_TITLE,
                SWEEP_COMBINATIONS, HASH_KEYS);
    printFields(diagnosis.fields);
    text_buffer line{};
    append(line,
           "This key: %d empty keys, the busiest holds %d hits, chi-square %.1f with %d degrees of"
           " freedom",
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

// The reach table: a row per byte, a column per candidate, in blocks of as many
// candidates as a line holds. A cell is the share of the byte's changes that
// changed the key, or "never".
constexpr int32_t BYTE_COLUMN = 10;
constexpr int32_t REACH_COLUMN = 2 + CANDIDATE_NAME_SIZE;
constexpr int32_t REACH_BLOCK = (LINE_WIDTH - BYTE_COLUMN) / REACH_COLUMN;
static_assert(REACH_BLOCK >= 1);

void printReach(const compared_candidates& compared) {
    text_buffer heading{};
    append(heading,
           "Reach: of %d changes of each byte, in descriptors drawn over every field's whole"
           " range, the share that change the key",
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

// The columns of a table: each one's header and width, and whether its cells
// stand left or right. A table is at most LINE_WIDTH columns wide, its cells
// two spaces apart.
struct column {
    const char* header;
    int32_t width;
    bool left;
};
template <std::size_t COLUMNS>
constexpr bool fitsALine(const std::array<column, COLUMNS>& columns) {
    int32_t width = -2;
    for (const column& each : columns) {
        int32_t length = 0;
        while (each.header[length] != '\0') ++length;
        if (length > each.width) return false;
        width += each.width + 2;
    }
    return width <= LINE_WIDTH;
}

template <std::size_t COLUMNS>
void printRow(const std::array<column, COLUMNS>& columns,
              const std::array<const char*, COLUMNS>& cells) {
    text_buffer row{};
    for (std::size_t index = 0; index < COLUMNS; ++index)
        append(row, columns[index].left ? "%s%-*s" : "%s%*s", index > 0 ? "  " : "",
               columns[index].width, cells[index]);
    while (row.used > 0 && row.text[row.used - 1] == ' ') row.text[--row.used] = '\0';
    std::printf("%s\n", row.text);
}

template <std::size_t COLUMNS>
void printHeader(const std::array<column, COLUMNS>& columns) {
    std::array<const char*, COLUMNS> headers{};
    for (std::size_t index = 0; index < COLUMNS; ++index) headers[index] = columns[index].header;
    printRow(columns, headers);
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
                                                   {"outside", 7, false}}};
static_assert(fitsALine(KEYSET_COLUMNS));

// A share of a keyset's descriptors, in percent, one decimal: "49.8%".
cell_text shareText(int32_t part, int32_t whole) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%.1f%%", 100.0 * part / whole);
    return shown;
}

// Every candidate on each keyset beyond the sweep: the spread against a random
// key function, then the keys outside the table with the first, and the busiest
// key's descriptors, a line each.
void printKeysets(const compared_candidates& compared) {
    const bool owners = compared.keysets > KEYSETS;
    const int32_t requested =
        owners ? compared.candidates[0].keysets[KEYSET_REQUESTS].descriptors : 0;
    text_buffer heading{};
    append(heading,
           "Keysets beyond the catalogue, %d descriptors each: names, %d generated file names over"
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
    std::printf("\n");
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
                      shareText(measured.outside.count, measured.descriptors).text});
        }
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
                                                    {"outside", 14, true},
                                                    {"verdict", 18, true}}};
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

// The keyset with the largest share of keys outside the table, "domain 49.8%", or "-".
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
    std::array<cell_text, 2> forms{};
    for (int32_t decimals = 0; decimals < 2; ++decimals)
        std::snprintf(forms[at(decimals)].text, sizeof forms[0].text, "%s %.*f%%",
                      KEYSET_TITLES[at(mostAt)], 1 - decimals, 100.0 * most);
    return fitting(width, {forms[0].text, forms[1].text});
}

// "passes", or "fails (N reasons)".
cell_text verdictCell(const key_verdict& verdict) {
    cell_text shown{};
    if (verdict.passes)
        std::snprintf(shown.text, sizeof shown.text, "passes");
    else
        std::snprintf(shown.text, sizeof shown.text, "fails (%d reason%s)", verdict.clauses,
                      verdict.clauses == 1 ? "" : "s");
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

void printCandidates(const compared_candidates& compared) {
    std::printf("\nCandidates, side by side:\n");
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
           "worst field: the field whose pairs share a key most often, against random. sd: the"
           " chi-square's distance from a uniformly random key function's mean (blind: one as"
           " blind as this one), in standard deviations. P(busiest): the chance that a random key"
           " function's busiest key holds as many hits. A candidate fails when it never reads a"
           " field, a keyed byte of it never reaches the key or a payload byte does, it gives a"
           " key outside 0..%d, or it leaves as many empty keys, a busiest key as busy or a"
           " chi-square as high as a uniformly random key function does with a chance below %g;"
           " a uniformly random one fails so with a chance of at most %g. More even than random"
           " is no fault.",
           HASH_KEYS - 1, UNLIKELY, judgedFigures(compared.keysets) * UNLIKELY);
    std::printf("\n");
    printWrapped(notes.text, 0);
}

constexpr std::array<column, 7> REPLAY_COLUMNS = {{{"candidate", CANDIDATE_NAME_SIZE, true},
                                                   {"hits", 11, false},
                                                   {"hit ratio", 9, false},
                                                   {"vs random", 9, false},
                                                   {"in sd", 7, false},
                                                   {"vs LRU", 8, false},
                                                   {"outside", 10, false}}};
static_assert(fitsALine(REPLAY_COLUMNS));

// Hits as a share of the requests, in percent: "61.30%"; and a difference of
// hits in points of that share: "-3.21".
cell_text percentOf(double hits, int64_t requests) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%.2f%%",
                  100 * hits / static_cast<double>(requests));
    return shown;
}
cell_text pointsOf(double difference, int64_t requests) {
    return realCell(100 * difference / static_cast<double>(requests), 2, true, 9);
}

// What the owner's file held beyond the catalogue, a line each: widths and
// heights past its selectors (a cache may have more; the owner learns which
// they exported), and names cut to the record's field.
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

// The replay: each candidate's hits beside a random key function's, LRU's and
// the limit's, and where the loss lies.
void printReplay(const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    text_buffer line{};
    if (replay.owners)
        append(line,
               "Replay: what each key costs the cache, on the requests of %s: %lld request%s of"
               " %d distinct descriptor%s.",
               replay.origin, static_cast<long long>(replay.requests),
               replay.requests == 1 ? "" : "s", replay.distinct, replay.distinct == 1 ? "" : "s");
    else
        append(line,
               "Replay: what each key costs the cache, on the default stream, an illustration: %lld"
               " requests of the names keyset's descriptors, %d of them distinct, each an image"
               " drawn by Zipf with exponent %g over its %d names, then one of its %d variants by"
               " Zipf over a ranking of its own. Replay the cache's own requests with --requests"
               " FILE.",
               static_cast<long long>(replay.requests), replay.distinct, ZIPF_EXPONENT,
               KEYSET_NAMES, NAME_VARIANTS);
    const int64_t records = int64_t{HASH_KEYS} * replay.ways;
    append(line, " %d keys of %d record%s each, %lld records:", HASH_KEYS, replay.ways,
           replay.ways == 1 ? "" : "s", static_cast<long long>(records));
    std::printf("\n");
    printWrapped(line.text, 0);
    printNotes(compared.notes);
    printHeader(REPLAY_COLUMNS);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const replay_count& counted = compared.candidates[at(candidate)].replay;
        const auto hits = static_cast<double>(counted.hits);
        cell_text hitsText{};
        cell_text outside{};
        std::snprintf(hitsText.text, sizeof hitsText.text, "%lld",
                      static_cast<long long>(counted.hits));
        std::snprintf(outside.text, sizeof outside.text, "%lld",
                      static_cast<long long>(counted.outside));
        const cell_text sds =
            replay.randomSd > 0 ? realCell((hits - replay.randomHits) / replay.randomSd, 1, true, 7)
                                : fitting(1, {"-"});
        printRow(
            REPLAY_COLUMNS,
            {keyCandidates[candidate].name, hitsText.text, percentOf(hits, replay.requests).text,
             pointsOf(hits - replay.randomHits, replay.requests).text, sds.text,
             pointsOf(hits - static_cast<double>(replay.lruHits), replay.requests).text,
             outside.text});
    }
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
    // Where the loss lies: the cache's key against a random one, and the records'
    // layout, under a random key, against LRU over as many.
    const double keyLoss =
        100 * (replay.randomHits - static_cast<double>(compared.candidates[0].replay.hits)) /
        static_cast<double>(replay.requests);
    const double layoutLoss = 100 * (static_cast<double>(replay.lruHits) - replay.randomHits) /
                              static_cast<double>(replay.requests);
    cell_text layout{};
    if (replay.ways == 1)
        std::snprintf(layout.text, sizeof layout.text, "one record");
    else
        std::snprintf(layout.text, sizeof layout.text, "%d records", replay.ways);
    line = {};
    append(line,
           "%s %s %.1f points against a random key function; %s per key %s %.1f points"
           " against LRU.",
           keyCandidates[0].name, keyLoss >= 0 ? "costs" : "gains", std::fabs(keyLoss), layout.text,
           layoutLoss >= 0 ? "costs" : "gains", std::fabs(layoutLoss));
    std::printf("\n");
    printWrapped(line.text, 0, true);
}

}  // namespace

void printText(const compared_candidates& compared) {
    printDiagnosis(compared.candidates[0].diagnosis, compared.candidates[0].reach);
    std::printf("\n");
    printReach(compared);
    printKeysets(compared);
    printCandidates(compared);
    printReplay(compared);
}

void printCauses(std::FILE* out, const key_diagnosis& diagnosis, const reach_table& reach) {
    std::fprintf(out, "%s\n", causesText(diagnosis, reach).text);
}

verdict_text verdictText(const key_verdict& verdict) {
    verdict_text shown{};
    const char* separator = verdict.reasons[0] == '\0' ? "" : verdict.passes ? "; " : ": ";
    std::snprintf(shown.text, sizeof shown.text, "%s%s%s", verdict.passes ? "passes" : "fails",
                  separator, verdict.reasons);
    return shown;
}
