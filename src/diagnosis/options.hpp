// The diagnosis's name, version and options, as its command line gives them.
#pragma once

#include <cstdint>

inline constexpr const char* DIAGNOSIS = "hashFunctionDiagnosis";

struct diagnosis_options {
    const char* figuresFolder;  // --data DIR; nullptr: no figures' files
    bool check;                 // --check: the exit status says what it fails on (answer.hpp)
    double maxCost;             // --max-cost POINTS, for --check; below 0 unless given
    bool brief;                 // --brief: the answer alone
    const char* requests;       // --requests FILE; nullptr: the default stream
    bool cutNames;              // --cut-names: a name past the record's field is cut, not refused
    int32_t ways;               // --ways N: records per key; RECORDS_PER_ELEMENT unless given
    int32_t threads;            // --threads N; the machine's threads unless given
    bool help;                  // --help or -h: the usage and the options, on stdout
    bool version;               // --version: the version, on stdout
};

// Reads the options, each at most once, a value after its option or after an =
// (--ways 4, --ways=4). Returns false after one line on stderr, with the usage,
// for anything else.
bool readOptions(int argc, char** argv, diagnosis_options& chosen);

// What --help and --version print.
void printHelp();
void printVersion();
