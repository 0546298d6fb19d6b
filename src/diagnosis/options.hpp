// The diagnosis's name and its options, as its command line gives them.
#pragma once

#include <cstdint>

inline constexpr const char* DIAGNOSIS = "hashFunctionDiagnosis";

struct diagnosis_options {
    const char* figuresFolder;  // --data DIR; nullptr: no figures' files
    bool check;                 // --check: the exit status follows the cache key's verdict
    int32_t threads;            // --threads N; the machine's threads unless given
};

// Reads the options, each at most once. Returns false after one line on stderr,
// with the usage, for anything else.
bool readOptions(int argc, char** argv, diagnosis_options& chosen);
