// hashFunctionDiagnosis: tells the key function's owner why it spreads the
// catalogue as it does, against random key functions, and sets every candidate
// key function beside it, each with its verdict. Prints on standard output; with
// --data DIR it also writes every figure in DIR (docs/figures.md); with --check
// it fails when the cache's own key function fails its verdict.
// This file holds the order of the run. What is computed is compare.cpp's, the
// text text.cpp's, the files figures.cpp's, the options options.cpp's.
#include "compare.hpp"
#include "figures.hpp"
#include "options.hpp"
#include "program.hpp"
#include "text.hpp"

#include <cerrno>

namespace {

int runDiagnosis(int argc, char** argv) {
    diagnosis_options chosen{};
    if (!readOptions(argc, argv, chosen)) return 2;
    compared_candidates compared;
    if (!compareCandidates(chosen.threads, compared)) {
        const outside_keys& outside = compared[0].outside;
        return refuseKey(DIAGNOSIS, outside.first, describeCombination(outside.firstAt).text);
    }
    // The files first: a refusal leaves nothing on stdout.
    if (chosen.figuresFolder != nullptr) {
        const int status = writeFigures(chosen.figuresFolder, compared);
        if (status != 0) return status;
    }
    errno = 0;
    printText(compared);
    const int status = finishOutput(DIAGNOSIS);
    return status == 0 && chosen.check && !compared[0].verdict.passes ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) { return runOnItsOwnStack(runDiagnosis, argc, argv, DIAGNOSIS); }
