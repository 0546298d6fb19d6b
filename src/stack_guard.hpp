// Keeps a run whose stack limit is too small from ending by SIGSEGV without a
// word: such a run ends with one line on stderr that names the limit, the need
// (or a bound on it) and a `ulimit -s` that holds the run, and exit status 1.
#pragma once

#include <cstddef>

// Checks up front that the stack limit holds runBytes more below the caller's
// frame, and writes the refusal if it does not (false). argv is main's: its
// strings help find the stack's top where the kernel's list of mappings cannot
// be read. Otherwise arms a net until releaseStack(): SIGSEGV is unblocked, and
// an overflow that happens anyway (the top was only estimated, or the limit was
// lowered meanwhile) writes the same kind of refusal and ends the process with
// _exit(1). Any other fault ends the process by its signal, as it would have.
// Call it once, from main, before the run's large frames.
[[nodiscard]] bool guardStack(char** argv, std::size_t runBytes);

// Takes the net down once the run's large frames are gone: the SIGSEGV action,
// the signal mask and the signal stack the process had come back.
void releaseStack();
