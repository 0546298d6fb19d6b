// The diagnosis's progress, for a person at a terminal: one line on stderr, shown
// only when stderr is a terminal and the run has lasted more than a second, and
// cleared at the end. Nothing of it goes to a pipe or a file.
#pragma once

#include <cstdint>

// Shows "hashFunctionDiagnosis: WHAT DONE of TOTAL" (TOTAL 0: "DONE WHAT"), at
// most ten times a second, from any thread.
void showProgress(const char* what, int64_t done, int64_t total);

// Clears the line, if one was shown.
void endProgress();
