// The diagnosis's work on every core: numbered jobs shared out among a few
// threads, each with a stack as large as the run's and a record of its own.
#pragma once

#include "cache_key.hpp"

#include <cstdint>

// The threads the machine has: std::thread::hardware_concurrency(), at least 1.
int32_t machineThreads();

// The most threads a run takes, whatever it is asked for.
inline constexpr int32_t MOST_THREADS = 256;

// A job: it gets the context it was given, its number and the record of the
// thread that runs it. That record was cleared when the thread began; a job
// writes the keyed fields it needs and leaves the payload as it found it.
using job_function = void (*)(const void* context, int32_t job, image_descriptor& record);

// Runs job(0) .. job(count - 1), each exactly once, on up to `threads` threads
// (1 .. MOST_THREADS): the calling one and as many more as can be started. A job
// writes only what is its own, so no result depends on which thread ran it, nor
// on how many there were. Returns once every job has run.
void runJobs(int32_t threads, int32_t count, job_function job, const void* context);

// The same for a callable taking (job, record).
template <typename Job>
void runJobs(int32_t threads, int32_t count, const Job& job) {
    runJobs(
        threads, count,
        [](const void* context, int32_t index, image_descriptor& record) {
            (*static_cast<const Job*>(context))(index, record);
        },
        &job);
}
