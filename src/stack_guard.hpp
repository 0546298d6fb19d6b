// Keeps a run whose stack limit is too small from ending by SIGSEGV without a
// word: such a run ends with one line on stderr that names the limit, a need
// above it and the `ulimit -s` to set, and exit status 1.
#pragma once

#include <cstddef>

// Checks up front that the stack limit holds runBytes more below the caller's
// frame (argv is main's: its strings help find the stack's top), and writes the refusal if it does not (false). Otherwise arms a net for
// the rest of the process: a stack overflow that happens anyway, because the
// run took more than runBytes or the stack's top was misjudged, writes the same
// kind of refusal and ends the process with _exit(1). Any other fault keeps the
// action it had. Call it once, from main, before the run's large frames.
[[nodiscard]] bool guardStack(char** argv, std::size_t runBytes);
