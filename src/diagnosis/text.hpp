// The diagnosis as a person reads it, on stdout: the answer first, what each
// candidate's keys cost the cache on the stream replayed; then the evidence, a
// section each under its heading: the replay, why the cache key crowds that
// traffic, why it spreads the catalogue's sweep as it does, every candidate's
// reach, its spread over the keysets, and the verdicts.
#pragma once

#include "answer.hpp"
#include "compare.hpp"

#include <cstdio>
#include <string>

// The whole text, or with brief the answer alone; check: --check's outcome,
// printed with the answer, or nullptr.
void printText(const compared_candidates& compared, const cache_answer& answer,
               const check_outcome* check, bool brief);

// Where the loss lies, and on the next line who gets it back, as the answer says.
std::string answerText(const compared_candidates& compared, const cache_answer& answer);

// The causes, worst first, in one line: the fields never read, then those that
// share keys markedly more often than random, by how much more. Where it finds
// none, it says the key reads every field only if every keyed byte reached it.
void printCauses(std::FILE* out, const key_diagnosis& diagnosis, const reach_table& reach);

// A verdict as the table and the headline give it: "passes", "passes; more even
// than random; P(...) = ...", or "fails: " and the reasons.
struct verdict_text {
    char text[sizeof(key_verdict::reasons) + 16];
};
verdict_text verdictText(const key_verdict& verdict);
