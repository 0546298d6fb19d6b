// hashFunctionDiagnosis: tells the key function's owner why it spreads the
// catalogue as it does, against random key functions; sets every candidate key
// function beside it, each with its verdict; and replays requests through the
// cache under each, to say what a key costs in hits. Prints on standard output;
// with --data DIR it also writes every figure in DIR (docs/figures.md); with
// --check it fails when the cache's own key function fails its verdict; with
// --requests FILE it replays the cache's own requests (docs/replay.md).
// This file holds the order of the run. The options are options.cpp's, the
// requests requests.cpp's, what is computed compare.cpp's, the text text.cpp's,
// the files figures.cpp's.
#include "answer.hpp"
#include "compare.hpp"
#include "figures.hpp"
#include "options.hpp"
#include "program.hpp"
#include "requests.hpp"
#include "text.hpp"

#include <cerrno>

namespace {

int runDiagnosis(int argc, char** argv) {
    diagnosis_options chosen{};
    if (!readOptions(argc, argv, chosen)) return 2;
    if (chosen.help || chosen.version) {
        errno = 0;
        chosen.help ? printHelp() : printVersion();
        return finishOutput(DIAGNOSIS);
    }
    // What can be refused is refused before any work, with nothing on stdout and
    // no file written: a folder the figures cannot go in, a request file unread.
    if (chosen.figuresFolder != nullptr && checkFiguresFolder(chosen.figuresFolder) != 0) return 2;
    request_stream stream{};
    if (chosen.requests == nullptr)
        makeDefaultStream(stream);
    else if (readRequests(chosen.requests, {chosen.cutNames}, stream) != 0)
        return 2;
    compared_candidates compared{};
    if (!compareCandidates(chosen.threads, stream, chosen.ways, compared)) {
        const outside_keys& outside = compared.candidates[0].outside;
        return refuseKey(DIAGNOSIS, outside.first, describeCombination(outside.firstAt).text);
    }
    const cache_answer answer = answerOf(compared);
    const check_outcome check = checkOf(compared, answer, chosen.maxCost);
    // The files before the text: a refusal leaves nothing on stdout.
    if (chosen.figuresFolder != nullptr) {
        const int status = writeFigures(chosen.figuresFolder, compared, answer);
        if (status != 0) return status;
    }
    errno = 0;
    printText(compared, answer, chosen.check ? &check : nullptr, chosen.brief);
    const int status = finishOutput(DIAGNOSIS);
    return status == 0 && chosen.check && !check.reasons.empty() ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) { return runOnItsOwnStack(runDiagnosis, argc, argv, DIAGNOSIS); }
