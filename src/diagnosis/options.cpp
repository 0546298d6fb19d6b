#include "options.hpp"

#include "cache_layout.hpp"
#include "workers.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The usage, as --help opens with it, its lines within 100 columns; a refusal
// points to --help.
constexpr const char* USAGE =
    "usage: hashFunctionDiagnosis [--brief] [--data DIR] [--check] [--max-cost POINTS]\n"
    "                             [--requests FILE] [--cut-names] [--ways N] [--threads N]";

// Each option: its name, its value's, the counts it takes, and what it does.
enum option_name : int32_t {
    BRIEF,
    DATA,
    CHECK,
    MAX_COST,
    REQUESTS,
    CUT_NAMES,
    WAYS,
    THREADS,
    HELP,
    VERSION,
    OPTIONS
};
struct option_row {
    const char* name;
    const char* value;  // nullptr: it takes none
    const char* kind;   // what the value is, as a refusal names it
    int32_t most;       // a count's most, from 1; 0: the value is no count; -1: points
    const char* meaning;
};
constexpr std::array<option_row, OPTIONS> OPTION_ROWS = {{
    {"--brief", nullptr, nullptr, 0, "print the answer alone, for a CI log"},
    {"--data", "DIR", "folder", 0,
     "also write every figure as CSV in DIR, made if missing (docs/figures.md)"},
    {"--check", nullptr, nullptr, 0,
     "exit 1 when hashFunction fails its verdict or a replayed request's key lies outside 0..799,"
     " 0 otherwise; each reason is printed"},
    {"--max-cost", "POINTS", "number", -1,
     "with --check, also exit 1 when hashFunction costs more than POINTS of hit ratio against a"
     " random key function on the stream replayed, and lies over 3 sd below it"},
    {"--requests", "FILE", "file", 0,
     "replay the cache's own requests from a CSV file, - for standard input: columns name,"
     " param, width, height and flag, width and height the record's selectors (indices into"
     " commonWidth and commonHeight), not pixels (docs/replay.md)"},
    {"--cut-names", nullptr, nullptr, 0,
     "keep a request's name of more than 19 bytes as its first 19, as the record's field"
     " would, rather than refuse the file"},
    {"--ways", "N", "count", MOST_WAYS,
     "records per key in the replay, 1 to 16 (unless given, 3: the image_descriptor records one"
     " hash_element holds whole)"},
    {"--threads", "N", "count", MOST_THREADS,
     "work on N threads, 1 to 256 (as many as the machine has)"},
    {"--help", nullptr, nullptr, 0, "print this help and exit; -h too"},
    {"--version", nullptr, nullptr, 0, "print the version and exit"},
}};
static_assert(MOST_WAYS == 16 && MOST_THREADS == 256 && IMAGE_NAME_SIZE == 20 &&
                  RECORDS_PER_ELEMENT == 3,
              "the rows name the most");

// Why a count's text is no count of 1 to most, or "" where it is one.
std::string countFault(const std::string& option, const char* text, int32_t most, int32_t& count) {
    const std::size_t signs = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::size_t length = std::strlen(text);
    if (length == signs || std::strspn(text + signs, "0123456789") != length - signs)
        return option + " " + text + " is not a whole number";
    long long value = 0;
    for (const char* digit = text + signs; *digit != '\0'; ++digit)
        value = std::min(value * 10 + (*digit - '0'), 1LL << 40);
    if (text[0] == '-') value = -value;
    if (value < 1 || value > most)
        return option + " " + text + " is outside 1.." + std::to_string(most);
    count = static_cast<int32_t>(value);
    return "";
}

// Why a number of points' text is no number of 0 or more, or "" where it is one:
// digits, with a point and more digits or none.
std::string pointsFault(const std::string& option, const char* text, double& points) {
    const std::size_t whole = std::strspn(text, "0123456789");
    const std::size_t fraction =
        text[whole] == '.' ? std::strspn(text + whole + 1, "0123456789") : 0;
    const std::size_t length = whole + (text[whole] == '.' ? 1 + fraction : 0);
    if (whole + fraction == 0 || text[length] != '\0' || length > 12)
        return option + " " + text + " is not a number of points, 0 or more (say 1.5)";
    points = std::strtod(text, nullptr);
    return "";
}

}  // namespace

bool readOptions(int argc, char** argv, diagnosis_options& chosen) {
    chosen = {nullptr, false, -1, false, nullptr, false, 0, 0, false, false};
    std::array<bool, OPTIONS> given{};
    for (int index = 1; index < argc; ++index) {
        // --name=value is --name value; -h is --help.
        std::string option = std::strcmp(argv[index], "-h") == 0 ? "--help" : argv[index];
        const std::size_t equals = option.rfind("--", 0) == 0 ? option.find('=') : option.npos;
        const char* attached = equals == option.npos ? nullptr : argv[index] + equals + 1;
        if (equals != option.npos) option.resize(equals);
        int32_t which = 0;
        while (which < OPTIONS && option != OPTION_ROWS[static_cast<std::size_t>(which)].name)
            ++which;
        std::string problem;
        if (which == OPTIONS) {
            problem = "unknown option " + option;
        } else if (given[static_cast<std::size_t>(which)]) {
            problem = "a second " + option;
        } else {
            const option_row& row = OPTION_ROWS[static_cast<std::size_t>(which)];
            given[static_cast<std::size_t>(which)] = true;
            const char* value = attached;
            if (row.value != nullptr && value == nullptr && index + 1 < argc) value = argv[++index];
            if (value != nullptr && value[0] == '\0') value = nullptr;
            int32_t count = 0;
            if (row.value == nullptr && attached != nullptr)
                problem = option + " takes no value";
            else if (row.value != nullptr && value == nullptr)
                problem = std::string("no ") + row.kind + " after " + option;
            else if (row.most > 0)
                problem = countFault(option, value, row.most, count);
            else if (row.most < 0)
                problem = pointsFault(option, value, chosen.maxCost);
            switch (which) {
                case BRIEF:
                    chosen.brief = true;
                    break;
                case MAX_COST:
                    break;
                case DATA:
                    chosen.figuresFolder = value;
                    break;
                case CHECK:
                    chosen.check = true;
                    break;
                case REQUESTS:
                    chosen.requests = value;
                    break;
                case CUT_NAMES:
                    chosen.cutNames = true;
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
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: %s; see %s --help\n", DIAGNOSIS, problem.c_str(), DIAGNOSIS);
            return false;
        }
    }
    if (chosen.maxCost >= 0 && !chosen.check) {
        std::fprintf(stderr, "%s: --max-cost without --check, which it is for; see %s --help\n",
                     DIAGNOSIS, DIAGNOSIS);
        return false;
    }
    if (chosen.ways == 0) chosen.ways = RECORDS_PER_ELEMENT;
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
        // The meaning in lines of at most 100 columns, under its own first column.
        constexpr std::size_t ROOM = 100 - 19;
        const char* rest = row.meaning;
        const char* lead = named;
        while (std::strlen(rest) > ROOM) {
            std::size_t end = ROOM;
            while (end > 0 && rest[end] != ' ') --end;
            std::printf("  %-16s %.*s\n", lead, static_cast<int>(end), rest);
            rest += end + 1;
            lead = "";
        }
        std::printf("  %-16s %s\n", lead, rest);
    }
}

void printVersion() { std::printf("%s %s\n", DIAGNOSIS, HFT_VERSION); }
