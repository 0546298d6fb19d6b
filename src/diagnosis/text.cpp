#include "text.hpp"

#include "text_sections.hpp"

#include <cstdio>

void printText(const compared_candidates& compared, const cache_answer& answer,
               const check_outcome* check, bool brief) {
    printAnswer(compared, answer, check);
    if (brief) return;
    printReplaySection(compared);
    printTrafficSection(compared);
    printSweepSection(compared.candidates[0].diagnosis, compared.candidates[0].reach);
    std::printf("\n");
    printReachSection(compared);
    printKeysetsSection(compared);
    printVerdictsSection(compared);
}

std::string answerText(const compared_candidates& compared, const cache_answer& answer) {
    const answer_sentences sentences = answerSentences(compared, answer);
    return sentences.recovery.empty() ? sentences.loss : sentences.loss + "\n" + sentences.recovery;
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
