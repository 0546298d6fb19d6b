#include "program.hpp"

#include "cache_key.hpp"

#include <pthread.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// The run's own stack. A run keeps its state in automatic storage: the
// tallies, the sweep's keys and record, and the copy of the record each call of
// a key function gets, a little over 800 kB; builds that keep a third copy
// (unoptimised clang, the sanitizers, -fstack-protector-all) take about
// 1.2 MiB. The diagnosis's threads each keep a record and the copy of it each
// call gets, as much again. A thread's stack is mapped at the size it is
// given, with a guard page below it, whatever the main thread's limit; only the
// pages the run touches become resident.
constexpr std::size_t RUN_STACK_BYTES = std::size_t{8} * 1024 * 1024;

struct run_call {
    int (*run)(int, char**);
    int argc;
    char** argv;
    int status;
};

// The run's thread: its status goes back through the argument.
void* runOnItsStack(void* call) {
    auto* runCall = static_cast<run_call*>(call);
    runCall->status = runCall->run(runCall->argc, runCall->argv);
    return nullptr;
}

}  // namespace

int startWithRunStack(pthread_t& thread, void* (*start)(void*), void* argument) {
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error == 0) {
        error = pthread_attr_setstacksize(&attributes, RUN_STACK_BYTES);
        if (error == 0) error = pthread_create(&thread, &attributes, start, argument);
        pthread_attr_destroy(&attributes);
    }
    return error;
}

int runOnItsOwnStack(int (*run)(int, char**), int argc, char** argv, const char* program) {
    pthread_t thread{};
    run_call call{run, argc, argv, 1};
    const int error = startWithRunStack(thread, runOnItsStack, &call);
    if (error != 0) {
        std::fprintf(stderr, "%s: cannot start the run: %s\n", program, std::strerror(error));
        return 1;
    }
    pthread_join(thread, nullptr);
    return call.status;
}

int finishOutput(const char* program) {
    // A block lost on the way sets the stream's error flag even when the final
    // flush succeeds: both are asked.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: write error: %s\n", program,
                     errno != 0 ? std::strerror(errno) : "unknown error");
        return 1;
    }
    return 0;
}

int refuseKey(const char* program, int32_t key, const char* descriptor) {
    std::fprintf(stderr, "%s: key %d is outside 0..%d (%s)\n", program, key, HASH_KEYS - 1,
                 descriptor);
    return 1;
}
