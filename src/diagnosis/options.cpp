#include "options.hpp"

#include "workers.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

static_assert(MOST_THREADS == 256, "the refusal of --threads names the most");
constexpr const char* USAGE = "usage: hashFunctionDiagnosis [--data DIR] [--check] [--threads N]";

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
    chosen = {nullptr, false, 0};
    for (int index = 1; index < argc; ++index) {
        const char* option = argv[index];
        const char* value = index + 1 < argc ? argv[index + 1] : nullptr;
        const char* problem = nullptr;
        if (std::strcmp(option, "--check") == 0) {
            problem = chosen.check ? "a second" : nullptr;
            chosen.check = true;
        } else if (std::strcmp(option, "--data") == 0) {
            problem = chosen.figuresFolder != nullptr ? "a second"
                      : value == nullptr              ? "no folder after"
                                                      : nullptr;
            chosen.figuresFolder = value;
            ++index;
        } else if (std::strcmp(option, "--threads") == 0) {
            problem = chosen.threads != 0                                   ? "a second"
                      : value == nullptr || !readCount(value, MOST_THREADS, chosen.threads)
                          ? "no count of 1 to 256 after"  // MOST_THREADS
                          : nullptr;
            ++index;
        } else {
            problem = "unknown option";
        }
        if (problem != nullptr) {
            std::fprintf(stderr, "%s: %s %s; %s\n", DIAGNOSIS, problem, option, USAGE);
            return false;
        }
    }
    if (chosen.threads == 0) chosen.threads = machineThreads();
    return true;
}
