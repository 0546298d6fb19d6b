// The diagnosis's figures as files: every figure of the text, as CSV in a folder
// (docs/figures.md), and the headline that make plot prints and draws.
#pragma once

#include "answer.hpp"
#include "compare.hpp"

// Writes every file in the folder, making the folder if it is missing. Each file
// is written whole under a staged name, and they take their own names only once
// all are written: a failure to write leaves the folder as it was, without the
// staged files, and removes the folder if it made it. Returns 0, or 2 after one
// line on stderr naming the folder and the cause.
int writeFigures(const char* folder, const compared_candidates& compared,
                 const cache_answer& answer);

// Whether the figures could be written in the folder, asked before any work: it
// is a folder this process may write in, or it is missing and its parent is
// one. Returns 0, or 2 after the line writeFigures would give.
int checkFiguresFolder(const char* folder);
