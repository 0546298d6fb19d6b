// The diagnosis as a person reads it: the cache key's fields, its spread against
// random key functions and its causes; every candidate's reach, its spread over
// the keysets and the table of candidates with their verdicts. On stdout.
#pragma once

#include "compare.hpp"

#include <cstdio>

void printText(const compared_candidates& compared);

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
