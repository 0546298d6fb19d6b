// Tells the key function's owner why it spreads the sweep as it does: which
// fields it wastes, and how far its spread lies from a uniformly random key
// function's, and from one as blind as it is. Prints on standard output; with
// --data DIR it also writes every figure in DIR, as CSV files (docs/figures.md).
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
constexpr const char* USAGE = "usage: hashFunctionDiagnosis [--data DIR]";
// The figures' files name the key function and the keyset of every figure, so
// that more of either add rows, never columns.
constexpr const char* CANDIDATE = "hashFunction";
constexpr const char* KEYSET = "sweep";

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
// share keys markedly more often than random, by how much more.
void printCauses(std::FILE* out, const key_diagnosis& diagnosis) {
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
    if (!named)
        std::fprintf(out,
                     "Causes: none found; the key reads every field, and none shares keys"
                     " markedly more often than random");
    std::fprintf(out, "\n");
}

void printDiagnosis(const key_diagnosis& diagnosis) {
    const key_spread& spread = diagnosis.spread;
    std::printf("%s over the %s: %d descriptors, %d keys\n\n", CANDIDATE, KEYSET,
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
    printCauses(stdout, diagnosis);
}

// The verdict that make plot prints and the picture takes as its headline: the
// spread against each baseline in a sentence, then the causes' line.
void writeHeadline(std::FILE* out, const key_diagnosis& diagnosis) {
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
    printCauses(out, diagnosis);
}

// The figures' files: reals at full precision, so that a reader gets the very
// doubles the text was rounded from; flags as 0 and 1; an absent figure empty.
void writeKeys(std::FILE* out, const key_diagnosis& diagnosis) {
    std::fprintf(out, "candidate,keyset,key,hits\n");
    for (int32_t key = 0; key < HASH_KEYS; ++key)
        std::fprintf(out, "%s,%s,%d,%d\n", CANDIDATE, KEYSET, key, diagnosis.keyCount[at(key)]);
}

// Hit counts from 0 up to the busiest key's, or to the last count either
// baseline's text lists, whichever is higher.
void writeCounts(std::FILE* out, const key_diagnosis& diagnosis) {
    const bool blind = hasBlindBaseline(diagnosis);
    int32_t top = std::max(diagnosis.spread.busiest, listedInputsEnd(diagnosis.random) - 1);
    if (blind)
        top = std::max(top, (listedInputsEnd(diagnosis.blind) - 1) * diagnosis.blind.repeats);
    top = std::min(top, SWEEP_COMBINATIONS);
    std::fprintf(out, "candidate,keyset,hits,keys,random,blind\n");
    for (int32_t hits = 0; hits <= top; ++hits) {
        std::fprintf(out, "%s,%s,%d,%d,%.17g,", CANDIDATE, KEYSET, hits,
                     diagnosis.keysWithHits[at(hits)], expectedKeysWith(diagnosis.random, hits));
        if (blind) std::fprintf(out, "%.17g", expectedKeysWith(diagnosis.blind, hits));
        std::fprintf(out, "\n");
    }
}

void writeFields(std::FILE* out, const key_diagnosis& diagnosis) {
    std::fprintf(out,
                 "candidate,field,values,pairs,shared,random,ratio,never_read,cause,"
                 "crowd_field,crowd_value,crowd_pairs\n");
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        const field_sharing& sharing = diagnosis.fields[at(field)];
        std::fprintf(out, "%s,%s,%d,%d,%d,%.17g,%.17g,%d,%d,", CANDIDATE,
                     SWEEP_FIELD_NAMES[at(field)], SWEEP_VALUES[at(field)], sharing.pairs,
                     sharing.sharedPairs, sharing.randomPairs, sharing.ratio,
                     sharing.neverRead ? 1 : 0, sharing.cause ? 1 : 0);
        if (sharing.crowdField >= 0)
            std::fprintf(out, "%s,%d,%d\n", SWEEP_FIELD_NAMES[at(sharing.crowdField)],
                         sharing.crowdValue, sharing.crowdPairs);
        else
            std::fprintf(out, ",,\n");
    }
}

// One baseline's row: this key's figures beside the baseline's.
void writeSpreadRow(std::FILE* out, const key_spread& spread, const char* name,
                    const random_baseline& baseline) {
    std::fprintf(out, "%s,%s,%s,%d,%d,%d,%.17g,%.17g,%d,%d,%.17g,%.17g,%.17g,%.17g\n", CANDIDATE,
                 KEYSET, name, baseline.inputs, baseline.repeats, spread.emptyKeys,
                 baseline.emptyMean, baseline.emptySd, spread.busiest, baseline.busiestMedian,
                 baseline.busiestAtLeast, spread.chiSquare, baseline.chiMean, baseline.chiSd);
}

void writeSpread(std::FILE* out, const key_diagnosis& diagnosis) {
    std::fprintf(out,
                 "candidate,keyset,baseline,inputs,repeats,empty,empty_mean,empty_sd,busiest,"
                 "busiest_median,p_busiest,chi_square,chi_mean,chi_sd\n");
    writeSpreadRow(out, diagnosis.spread, "random", diagnosis.random);
    if (hasBlindBaseline(diagnosis))
        writeSpreadRow(out, diagnosis.spread, "blind", diagnosis.blind);
}

void writeCauses(std::FILE* out, const key_diagnosis& diagnosis) {
    std::fprintf(out, "candidate,rank,field,never_read,ratio\n");
    for (int32_t rank = 0; rank < diagnosis.causes.count; ++rank) {
        const int32_t field = diagnosis.causes.fields[at(rank)];
        const field_sharing& sharing = diagnosis.fields[at(field)];
        std::fprintf(out, "%s,%d,%s,%d,%.17g\n", CANDIDATE, rank + 1, SWEEP_FIELD_NAMES[at(field)],
                     sharing.neverRead ? 1 : 0, sharing.ratio);
    }
}

// The files --data writes, in this order.
enum figure_file : int32_t { KEYS, COUNTS, FIELDS, SPREAD, CAUSES, HEADLINE, FIGURE_FILES };
constexpr std::array<const char*, FIGURE_FILES> FIGURE_FILE_NAMES = {
    "keys.csv", "counts.csv", "fields.csv", "spread.csv", "causes.csv", "headline.txt"};

void writeFigureFile(std::FILE* out, int32_t file, const key_diagnosis& diagnosis) {
    switch (file) {
        case KEYS:
            writeKeys(out, diagnosis);
            break;
        case COUNTS:
            writeCounts(out, diagnosis);
            break;
        case FIELDS:
            writeFields(out, diagnosis);
            break;
        case SPREAD:
            writeSpread(out, diagnosis);
            break;
        case CAUSES:
            writeCauses(out, diagnosis);
            break;
        default:
            writeHeadline(out, diagnosis);
            break;
    }
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
int stageFile(int folderFd, int32_t file, const key_diagnosis& diagnosis, bool& created) {
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
    writeFigureFile(out, file, diagnosis);
    int cause = std::fflush(out) == 0 && std::ferror(out) == 0 ? 0 : errno != 0 ? errno : EIO;
    if (std::fclose(out) != 0 && cause == 0) cause = errno != 0 ? errno : EIO;
    return cause;
}

// Writes every file in the folder, making the folder if it is missing. Each file
// is written whole under a staged name, and they take their own names only once
// all are written: a failure to write leaves the folder as it was, without the
// staged files, and removes the folder if it made it. Returns 0, or 2 after one
// line on stderr naming the folder and the cause.
int writeFigures(const char* folder, const key_diagnosis& diagnosis) {
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
        error = stageFile(folderFd, file, diagnosis, exists);
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

// The options: none, or --data DIR. Returns false after one line on stderr, with
// the usage, for anything else.
bool readOptions(int argc, char** argv, const char*& figuresFolder) {
    figuresFolder = nullptr;
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--data") == 0 && index + 1 < argc &&
            figuresFolder == nullptr) {
            figuresFolder = argv[++index];
            continue;
        }
        const char* problem = std::strcmp(argv[index], "--data") != 0 ? "unknown option"
                              : figuresFolder != nullptr              ? "a second"
                                                                      : "no folder after";
        std::fprintf(stderr, "%s: %s %s; %s\n", PROGRAM, problem, argv[index], USAGE);
        return false;
    }
    return true;
}

int runDiagnosis(int argc, char** argv) {
    const char* figuresFolder = nullptr;
    if (!readOptions(argc, argv, figuresFolder)) return 2;
    combination_keys keyOf;
    int32_t badKey = 0;
    if (!keyCombinations(keyOf, badKey)) return refuseKey(PROGRAM, badKey);
    key_diagnosis diagnosis;
    diagnose(keyOf, diagnosis);
    // The files first: a refusal leaves nothing on stdout.
    if (figuresFolder != nullptr) {
        const int status = writeFigures(figuresFolder, diagnosis);
        if (status != 0) return status;
    }
    errno = 0;
    printDiagnosis(diagnosis);
    return finishOutput(PROGRAM);
}

}  // namespace

int main(int argc, char** argv) { return runOnItsOwnStack(runDiagnosis, argc, argv, PROGRAM); }
