// What each program of the tester shares around its run: the run goes on a
// thread with a stack of its own, and ends as a success only if all it wrote
// reached standard output.
#pragma once

#include <pthread.h>

#include <cstdint>

// Starts start(argument) on a new thread with a stack as large as the run's own,
// whatever the main thread's limit. Returns 0, or the cause (an errno value).
int startWithRunStack(pthread_t& thread, void* (*start)(void*), void* argument);

// Runs run(argc, argv) on a thread whose stack is sized by the program, whatever
// the main thread's limit (ulimit -s), and returns its status. If no thread can be
// made, returns 1 after one line on stderr, "PROGRAM: cannot start the run: CAUSE".
int runOnItsOwnStack(int (*run)(int, char**), int argc, char** argv, const char* program);

// 0 if everything written to stdout reached it; else 1, after one line on
// stderr, "PROGRAM: write error: CAUSE". errno must be 0 before the writes it
// judges, so that the cause is theirs.
int finishOutput(const char* program);

// The refusal of a key the tallies cannot hold: one line on stderr, "PROGRAM:
// key KEY is outside 0..799 (DESCRIPTOR)", the descriptor that got it as
// describeCombination gives it, and 1, the status of a failed run.
int refuseKey(const char* program, int32_t key, const char* descriptor);
