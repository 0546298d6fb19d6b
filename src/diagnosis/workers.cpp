#include "workers.hpp"

#include "program.hpp"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

struct job_queue {
    job_function job;
    const void* context;
    int32_t count;
    std::atomic<int32_t> next;
};

// A thread's share: the next job nobody has taken, until none is left.
void* work(void* queue) {
    auto& jobs = *static_cast<job_queue*>(queue);
    image_descriptor record{};  // 400 kB, on a stack sized for it
    for (int32_t job = jobs.next++; job < jobs.count; job = jobs.next++)
        jobs.job(jobs.context, job, record);
    return nullptr;
}

}  // namespace

int32_t machineThreads() {
    return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

void runJobs(int32_t threads, int32_t count, job_function job, const void* context) {
    job_queue queue{job, context, count, {0}};
    const int32_t helpers = std::min(std::clamp(threads, 1, MOST_THREADS), count) - 1;
    std::vector<pthread_t> started;
    started.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    // A thread that cannot be started leaves its share to those that were.
    for (int32_t helper = 0; helper < helpers; ++helper) {
        pthread_t thread{};
        if (startWithRunStack(thread, work, &queue) != 0) break;
        started.push_back(thread);
    }
    work(&queue);
    for (const pthread_t thread : started) pthread_join(thread, nullptr);
}
