#include "figures.hpp"

#include "options.hpp"
#include "text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

// What make plot prints and the picture takes as its headline: the answer's
// sentences; the cache key's spread against each baseline in a sentence and its
// causes' line; then every candidate's verdict, a line each.
void writeHeadline(std::FILE* out, const compared_candidates& compared,
                   const cache_answer& answer) {
    std::fprintf(out, "%s\n", answerText(compared, answer).c_str());
    const key_diagnosis& diagnosis = compared.candidates[0].diagnosis;
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
    printCauses(out, diagnosis, compared.candidates[0].reach);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        std::fprintf(out, "%s %s\n", keyCandidates[candidate].name,
                     verdictText(compared.candidates[at(candidate)].verdict).text);
}

// The figures' files, a row group per candidate: reals at full precision, so
// that a reader gets the very doubles the text was rounded from; flags as 0 and
// 1; an absent figure empty. Each writer writes one candidate's rows.
void writeKeys(std::FILE* out, const char* name, const key_diagnosis& diagnosis) {
    for (int32_t key = 0; key < HASH_KEYS; ++key)
        std::fprintf(out, "%s,%s,%d,%d\n", name, SWEEP_TITLE, key, diagnosis.keyCount[at(key)]);
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
        std::fprintf(out, "%s,%s,%d,%d,%.17g,", name, SWEEP_TITLE, hits,
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
    writeSpreadRow(out, name, SWEEP_TITLE, diagnosis.spread, "random", diagnosis.random);
    if (hasBlindBaseline(diagnosis))
        writeSpreadRow(out, name, SWEEP_TITLE, diagnosis.spread, "blind", diagnosis.blind);
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

// "default" for the default stream, "requests" for the owner's.
const char* streamTitle(const replay_baselines& replay) {
    const char* const owners = KEYSET_TITLES[at(KEYSET_REQUESTS)];
    return replay.owners ? owners : "default";
}

// A part of a whole as a fraction, 0 to 1.
double share(int64_t part, int64_t whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0;
}

// Every candidate's verdict, those without figures too.
void writeVerdicts(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const key_verdict& verdict = compared.candidates[at(candidate)].verdict;
        std::fprintf(out, "%s,%s,", keyCandidates[candidate].name,
                     verdict.passes ? "passes" : "fails");
        writeCsvField(out, verdict.reasons);
        std::fputc('\n', out);
    }
}

// Each candidate's replay, beside the baselines over the same requests and records.
void writeReplay(std::FILE* out, const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const replay_count& counted = compared.candidates[at(candidate)].replay.cache;
        std::fprintf(out, "%s,%s,%lld,%d,%d,%lld,%lld,%.17g,%.17g,%.17g,%lld,%lld\n",
                     keyCandidates[candidate].name, streamTitle(replay),
                     static_cast<long long>(replay.requests), replay.distinct, replay.ways,
                     static_cast<long long>(counted.hits), static_cast<long long>(counted.outside),
                     share(counted.outside, replay.requests), replay.randomHits, replay.randomSd,
                     static_cast<long long>(replay.lruHits),
                     static_cast<long long>(replay.limitHits));
    }
}

// The curve over the cache's size: every candidate's hits at each number of
// records per key, beside the random key function's exact expectation and LRU's,
// and the limit's where it was computed, at the cache's own.
void writeCurve(std::FILE* out, const compared_candidates& compared) {
    const replay_baselines& replay = compared.replay;
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t ways = 1; ways <= MOST_WAYS; ++ways) {
            const stack_figures& baseline = replay.curve[at(ways - 1)];
            std::fprintf(out, "%s,%d,%lld,%.17g,%lld,", keyCandidates[candidate].name, ways,
                         static_cast<long long>(
                             compared.candidates[at(candidate)].replay.hitsAt[at(ways - 1)]),
                         baseline.randomHits, static_cast<long long>(baseline.lruHits));
            if (ways == replay.ways)
                std::fprintf(out, "%lld", static_cast<long long>(replay.limitHits));
            std::fprintf(out, "\n");
        }
}

// Each candidate's pairs of the stream's descriptors that differ in one field
// alone and share a key.
void writeTraffic(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field) {
            const traffic_sharing& sharing =
                compared.candidates[at(candidate)].traffic.fields[at(field)];
            std::fprintf(out, "%s,%s,%s,%lld,%lld,%.17g,%.17g,%d,%d\n",
                         keyCandidates[candidate].name, streamTitle(compared.replay),
                         TRAFFIC_FIELD_NAMES[at(field)], static_cast<long long>(sharing.pairs),
                         static_cast<long long>(sharing.sharedPairs), sharing.randomPairs,
                         sharing.ratio, sharing.neverRead ? 1 : 0, sharing.cause ? 1 : 0);
        }
}

// Each candidate's values that crowd the stream, by their requests, most first.
void writeValues(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate) {
        const traffic_figures& traffic = compared.candidates[at(candidate)].traffic;
        for (const crowding_value& value : traffic.crowding) {
            std::fprintf(out, "%s,%s,%s,", keyCandidates[candidate].name,
                         streamTitle(compared.replay), TRAFFIC_FIELD_NAMES[at(value.field)]);
            writeCsvField(out, valueText(value).text);
            std::fprintf(out, ",%d,%lld,%.17g,%d,%.17g,%.17g\n", value.descriptors,
                         static_cast<long long>(value.requests),
                         share(value.requests, compared.replay.requests), value.keys,
                         value.randomKeys, value.chance);
        }
    }
}

// Each candidate's reach: its changes of each byte, and how many changed the key.
void writeReach(std::FILE* out, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t byte = 0; byte < REACH_BYTES; ++byte) {
            const byte_reach& counted = compared.candidates[at(candidate)].reach[at(byte)];
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
    REPLAY,
    CURVE,
    TRAFFIC,
    VALUES,
    HEADLINE,
    FIGURE_FILES
};

// The keysets' rows of keys.csv, counts.csv and spread.csv: every candidate's,
// after the sweep's. A keyset's counts run from 0 to its busiest key's.
void writeKeysetRows(std::FILE* out, int32_t file, const compared_candidates& compared) {
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        for (int32_t keyset = 0; keyset < compared.keysets; ++keyset) {
            const char* name = keyCandidates[candidate].name;
            const char* title = KEYSET_TITLES[at(keyset)];
            const keyset_figures& measured = compared.candidates[at(candidate)].keysets[at(keyset)];
            if (file == KEYS) {
                for (int32_t key = 0; key < HASH_KEYS; ++key)
                    std::fprintf(out, "%s,%s,%d,%d\n", name, title, key,
                                 measured.keyCount[at(key)]);
            } else if (file == SPREAD) {
                if (measured.random.inputs > 0)
                    writeSpreadRow(out, name, title, measured.spread, "random", measured.random);
            } else if (measured.random.inputs > 0) {
                std::vector<int32_t> keysWithHits(at(measured.spread.busiest + 1));
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
        for (int32_t keyset = -1; keyset < compared.keysets; ++keyset) {
            const candidate_figures& figures = compared.candidates[at(candidate)];
            const keyset_figures& measured =
                keyset < 0 ? figures.sweep : figures.keysets[at(keyset)];
            std::fprintf(out, "%s,%s,%d,%d,%.17g,", keyCandidates[candidate].name,
                         keyset < 0 ? SWEEP_TITLE : KEYSET_TITLES[at(keyset)], measured.descriptors,
                         measured.outside.count,
                         share(measured.outside.count, measured.descriptors));
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
        for (int32_t keyset = -1; keyset < compared.keysets; ++keyset) {
            const candidate_figures& figures = compared.candidates[at(candidate)];
            const keyset_figures& measured =
                keyset < 0 ? figures.sweep : figures.keysets[at(keyset)];
            for (int32_t shown = 0; shown < measured.crowdCount; ++shown) {
                std::fprintf(out, "%s,%s,%d,", keyCandidates[candidate].name,
                             keyset < 0 ? SWEEP_TITLE : KEYSET_TITLES[at(keyset)],
                             measured.busiestKey);
                writeKeyedFields(out, measured.crowd[at(shown)]);
                std::fprintf(out, "\n");
            }
        }
}

// Their names and headers, in that order.
constexpr std::array<const char*, FIGURE_FILES> FIGURE_FILE_NAMES = {
    "keys.csv",  "counts.csv",  "fields.csv", "spread.csv",   "causes.csv",
    "reach.csv", "outside.csv", "crowd.csv",  "verdicts.csv", "replay.csv",
    "curve.csv", "traffic.csv", "values.csv", "headline.txt"};
constexpr std::array<const char*, FIGURE_FILES> FIGURE_FILE_HEADERS = {
    "candidate,keyset,key,load",
    "candidate,keyset,load,keys,random,blind",
    "candidate,field,values,pairs,shared,random,ratio,never_read,cause,crowd_field,crowd_value,"
    "crowd_pairs",
    "candidate,keyset,baseline,inputs,repeats,empty,empty_mean,empty_sd,p_empty,busiest,"
    "busiest_median,p_busiest,chi_square,chi_mean,chi_sd,p_chi_above,p_chi_below",
    "candidate,rank,field,never_read,ratio",
    "candidate,byte,changes,changed",
    "candidate,keyset,descriptors,outside,outside_share,name,param,width,height,flag,key",
    "candidate,keyset,key,name,param,width,height,flag",
    "candidate,verdict,reasons",
    "candidate,stream,requests,distinct,ways,hits,outside,outside_share,random_hits,random_sd,"
    "lru_hits,limit_hits",
    "candidate,ways,hits,random_hits,lru_hits,limit_hits",
    "candidate,stream,field,pairs,shared,random,ratio,never_read,cause",
    "candidate,stream,field,value,descriptors,requests,requests_share,keys,random_keys,p_keys",
    nullptr};  // the headline is text

// The writers of one candidate's figures over the sweep, by file, up to the reach.
using row_writer = void (*)(std::FILE*, const char*, const key_diagnosis&);
constexpr std::array<row_writer, REACH> ROW_WRITERS = {writeKeys, writeCounts, writeFields,
                                                       writeSpread, writeCauses};

void writeFigureFile(std::FILE* out, int32_t file, const compared_candidates& compared,
                     const cache_answer& answer) {
    if (file == HEADLINE) return writeHeadline(out, compared, answer);
    std::fprintf(out, "%s\n", FIGURE_FILE_HEADERS[at(file)]);
    if (file == REACH) return writeReach(out, compared);
    if (file == OUTSIDE) return writeOutside(out, compared);
    if (file == CROWD) return writeCrowd(out, compared);
    if (file == VERDICTS) return writeVerdicts(out, compared);
    if (file == REPLAY) return writeReplay(out, compared);
    if (file == CURVE) return writeCurve(out, compared);
    if (file == TRAFFIC) return writeTraffic(out, compared);
    if (file == VALUES) return writeValues(out, compared);
    for (int32_t candidate = 0; candidate < candidateCount; ++candidate)
        if (hasFigures(compared.candidates[at(candidate)]))
            ROW_WRITERS[at(file)](out, keyCandidates[candidate].name,
                                  compared.candidates[at(candidate)].diagnosis);
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
int stageFile(int folderFd, int32_t file, const compared_candidates& compared,
              const cache_answer& answer, bool& created) {
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
    writeFigureFile(out, file, compared, answer);
    int cause = std::fflush(out) == 0 && std::ferror(out) == 0 ? 0 : errno != 0 ? errno : EIO;
    if (std::fclose(out) != 0 && cause == 0) cause = errno != 0 ? errno : EIO;
    return cause;
}

}  // namespace

int writeFigures(const char* folder, const compared_candidates& compared,
                 const cache_answer& answer) {
    bool made = false;
    int folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0 && errno == ENOENT && mkdir(folder, 0777) == 0) {
        made = true;
        folderFd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (folderFd < 0) {
        std::fprintf(stderr, "%s: cannot use the folder %s: %s\n", DIAGNOSIS, folder,
                     std::strerror(errno));
        return 2;
    }
    int32_t created = 0;  // the staged files that exist
    int error = 0;
    for (int32_t file = 0; file < FIGURE_FILES && error == 0; ++file) {
        bool exists = false;
        error = stageFile(folderFd, file, compared, answer, exists);
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
        std::fprintf(stderr, "%s: cannot write the figures in %s: %s\n", DIAGNOSIS, folder,
                     std::strerror(error));
    }
    close(folderFd);
    return error != 0 ? 2 : 0;
}

int checkFiguresFolder(const char* folder) {
    struct stat status {};
    int cause = 0;
    const char* what = "cannot use the folder";
    if (stat(folder, &status) == 0) {
        if (!S_ISDIR(status.st_mode))
            cause = ENOTDIR;
        else if (faccessat(AT_FDCWD, folder, W_OK | X_OK, AT_EACCESS) != 0)
            cause = errno, what = "cannot write the figures in";
    } else if (errno != ENOENT) {
        cause = errno;
    } else {  // to be made: its parent must be a folder it may write in
        std::vector<char> parent(folder, folder + std::strlen(folder) + 1);
        char* slash = std::strrchr(parent.data(), '/');
        const char* parentPath = slash == nullptr         ? "."
                                 : slash == parent.data() ? "/"
                                                          : parent.data();
        if (slash != nullptr && slash != parent.data()) *slash = '\0';
        const bool there = stat(parentPath, &status) == 0;
        if (there && !S_ISDIR(status.st_mode))
            cause = ENOTDIR;
        else if (!there || faccessat(AT_FDCWD, parentPath, W_OK | X_OK, AT_EACCESS) != 0)
            cause = errno;
    }
    if (cause == 0) return 0;
    std::fprintf(stderr, "%s: %s %s: %s\n", DIAGNOSIS, what, folder, std::strerror(cause));
    return 2;
}
