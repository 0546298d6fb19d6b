#include "options.hpp"

#include "replay.hpp"
#include "workers.hpp"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* USAGE =
    "usage: hashFunctionDiagnosis [--data DIR] [--check] [--requests FILE] [--ways N] [--threads "
    "N]";

// Each option: its name, its value's, the counts it takes, and what it does.
enum option_name : int32_t { DATA, CHECK, REQUESTS, WAYS, THREADS, HELP, VERSION, OPTIONS };
struct option_row {
    const char* name;
    const char* value;  // nullptr: it takes none
    const char* kind;   // what the value is, as a refusal names it
    int32_t most;       // a count's most, from 1; 0: the value is no count
    const char* meaning;
};
constexpr std::array<option_row, OPTIONS> OPTION_ROWS = {{
    {"--data", "DIR", "folder", 0,
     "also write every figure as CSV in DIR, made if missing (docs/figures.md)"},
    {"--check", nullptr, nullptr, 0,
     "exit 1 when hashFunction fails its verdict, 0 when it passes"},
    {"--requests", "FILE", "file", 0,
     "replay the cache's own requests from a CSV file, - for standard input (docs/replay.md)"},
    {"--ways", "N", "count", MOST_WAYS, "records per key in the replay, 1 to 16 (1 unless given)"},
    {"--threads", "N", "count", MOST_THREADS,
     "work on N threads, 1 to 256 (as many as the machine has)"},
    {"--help", nullptr, nullptr, 0, "print this help and exit"},
    {"--version", nullptr, nullptr, 0, "print the version and exit"},
}};
static_assert(MOST_WAYS == 16 && MOST_THREADS == 256, "the rows name the most");

// A whole number from 1 to most, written as digits alone.
bool readCount(const char* text, int32_t most, int32_t& count) {
    if (text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > most) return false;
    count = static_cast<int32_t>(value);
    return true;
}

}  // namespace

bool readOptions(int argc, char** argv, diagnosis_options& chosen) {
    chosen = {nullptr, false, nullptr, 0, 0, false, false};
    std::array<bool, OPTIONS> given{};
    for (int index = 1; index < argc; ++index) {
        const char* option = argv[index];
        int32_t which = 0;
        while (which < OPTIONS &&
               std::strcmp(option, OPTION_ROWS[static_cast<std::size_t>(which)].name) != 0)
            ++which;
        const char* problem = nullptr;
        char why[64] = "";
        if (which == OPTIONS) {
            problem = "unknown option";
        } else if (given[static_cast<std::size_t>(which)]) {
            problem = "a second";
        } else {
            const option_row& row = OPTION_ROWS[static_cast<std::size_t>(which)];
            given[static_cast<std::size_t>(which)] = true;
            const char* value = row.value != nullptr && index + 1 < argc ? argv[++index] : nullptr;
            int32_t count = 0;
            if (row.most > 0 && (value == nullptr || !readCount(value, row.most, count))) {
                std::snprintf(why, sizeof why, "no count of 1 to %d after", row.most);
                problem = why;
            } else if (row.value != nullptr && value == nullptr) {
                std::snprintf(why, sizeof why, "no %s after", row.kind);
                problem = why;
            }
            switch (which) {
                case DATA:
                    chosen.figuresFolder = value;
                    break;
                case CHECK:
                    chosen.check = true;
                    break;
                case REQUESTS:
                    chosen.requests = value;
                    break;
                case WAYS:
                    chosen.ways = count;
                    break;
                case THREADS:
                    chosen.threads = count;
                    break;
                case HELP:
                    chosen.help = true;
                    break;
                default:
                    chosen.version = true;
                    break;
            }
        }
        if (problem != nullptr) {
            std::fprintf(stderr, "%s: %s %s; %s\n", DIAGNOSIS, problem, option, USAGE);
            return false;
        }
    }
    if (chosen.ways == 0) chosen.ways = 1;
    if (chosen.threads == 0) chosen.threads = machineThreads();
    return true;
}

void printHelp() {
    std::printf("%s\n", USAGE);
    std::printf(
        "Why the cache's key function spreads image variants over its %d keys as it does,\n"
        "against random key functions; every candidate in src/candidates.cpp beside it, each\n"
        "with its verdict; and what each key costs the cache in hits, its requests replayed.\n",
        HASH_KEYS);
    for (const option_row& row : OPTION_ROWS) {
        char named[32];
        std::snprintf(named, sizeof named, "%s%s%s", row.name, row.value != nullptr ? " " : "",
                      row.value != nullptr ? row.value : "");
        std::printf("  %-16s %s\n", named, row.meaning);
    }
}

void printVersion() { std::printf("%s %s\n", DIAGNOSIS, HFT_VERSION); }
