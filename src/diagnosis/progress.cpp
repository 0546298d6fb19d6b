#include "progress.hpp"

#include "options.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

using progress_clock = std::chrono::steady_clock;

// The run's start: the first time anyone asks.
const progress_clock::time_point started = progress_clock::now();
const bool toTerminal = isatty(STDERR_FILENO) == 1;
std::mutex showing;
progress_clock::time_point lastShown{};
bool shown = false;

}  // namespace

void showProgress(const char* what, int64_t done, int64_t total) {
    if (!toTerminal) return;
    const progress_clock::time_point now = progress_clock::now();
    if (now - started < std::chrono::seconds(1)) return;
    const std::unique_lock<std::mutex> lock(showing, std::try_to_lock);
    if (!lock.owns_lock() || now - lastShown < std::chrono::milliseconds(100)) return;
    lastShown = now;
    shown = true;
    if (total > 0)
        std::fprintf(stderr, "\r\033[K%s: %s %lld of %lld", DIAGNOSIS, what,
                     static_cast<long long>(done), static_cast<long long>(total));
    else
        std::fprintf(stderr, "\r\033[K%s: %lld %s", DIAGNOSIS, static_cast<long long>(done), what);
    std::fflush(stderr);
}

void endProgress() {
    const std::lock_guard<std::mutex> lock(showing);
    if (!shown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown = false;
}
