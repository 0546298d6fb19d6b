// The stack check and the net under it: the one place that knows about the
// process's stack layout, its resource limits and signals.
#include "stack_guard.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/auxv.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

constexpr unsigned long long KIB = 1024;

std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

constexpr unsigned long long roundUp(unsigned long long value, unsigned long long step) {
    return (value + step - 1) / step * step;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The end of the mapping that holds the address inside, from the kernel's list
// of this process's mappings (glibc finds the main thread's stack the same way),
// or 0 if the list cannot be read. Exact however the program was started.
std::uintptr_t mappingEnd(std::uintptr_t inside) {
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // Each line starts "low-high " in hex; the rest of it is skipped.
    std::uintptr_t bounds[2] = {0, 0};
    std::size_t field = 0;  // 0: low, 1: high, 2: the rest of the line
    std::uintptr_t end = 0;
    char chunk[256];
    while (end == 0) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (const char c : std::string_view(chunk, static_cast<std::size_t>(got))) {
            if (c == '\n') {
                bounds[0] = bounds[1] = 0;
                field = 0;
            } else if (field == 2) {
                continue;
            } else if (c == (field == 0 ? '-' : ' ')) {
                if (field == 1 && bounds[0] <= inside && inside < bounds[1]) end = bounds[1];
                ++field;
            } else if (const int digit = hexDigit(c); digit >= 0) {
                bounds[field] = bounds[field] * 16 + static_cast<std::uintptr_t>(digit);
            } else {
                field = 2;  // not a line of the expected form
            }
        }
    }
    close(fd);
    return end;
}

// Without that list: the kernel puts the argument strings, the environment
// strings and the program's file name (AT_EXECFN) at the top of the stack,
// followed by a null pointer, and the stack ends at the next page boundary.
// Exact when the program is started directly. Started through the dynamic
// loader it comes out low: the loader's own file name lies unseen above, and
// glibc shortens a GLIBC_TUNABLES string in place. 0 if there are no strings.
std::uintptr_t stringsEnd(char** argv, std::uintptr_t page) {
    std::uintptr_t end = 0;  // just past the highest string seen
    const auto note = [&end](const char* text) {
        if (text != nullptr) end = std::max(end, addressOf(text) + std::strlen(text) + 1);
    };
    for (char** arg = argv; arg != nullptr && *arg != nullptr; ++arg) note(*arg);
    for (char** var = environ; var != nullptr && *var != nullptr; ++var) note(*var);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the auxiliary vector holds addresses as numbers
    note(reinterpret_cast<const char*>(getauxval(AT_EXECFN)));
    return end == 0 ? 0 : static_cast<std::uintptr_t>(roundUp(end + sizeof(void*), page));
}

// What the check found out about the run, and what the net keeps of it.
struct guarded_stack {
    std::uintptr_t base;       // the run's frames lie below this address
    std::uintptr_t top;        // the first address above the stack, or 0 if unknown
    bool topExact;             // top read from the kernel; else a low estimate
    unsigned long long limit;  // the stack limit at the check, which held the run's base
    unsigned long long page;
    unsigned long long runBytes;
    unsigned long long need;  // the check's need: exact if topExact, else a low bound
};

// The limit to advise for a need: 16 KiB more for where the stack starts, which
// moves from run to run, rounded up to 64 KiB.
unsigned long long adviceFor(unsigned long long need) { return roundUp(need + 16 * KIB, 64 * KIB); }

// Writes "the run needs [at least ]... KiB of stack but the limit is ... KiB;
// raise it with ulimit -s ..." on stderr. Safe in a signal handler, and light on
// the stack: a refused run may have little left, and printf with stderr's
// buffering takes more.
void refuse(unsigned long long need, bool needIsBound, unsigned long long limit,
            unsigned long long advice) {
    char line[208];  // room for the text and three numbers of 20 digits
    char* at = line;
    const auto text = [&at, &line](std::string_view part) {
        const auto room = static_cast<std::size_t>(std::end(line) - at);
        const std::size_t size = std::min(part.size(), room);
        std::memcpy(at, part.data(), size);
        at += size;
    };
    const auto kib = [&at, &line](unsigned long long bytes) {
        at = std::to_chars(at, std::end(line), roundUp(bytes, KIB) / KIB).ptr;
    };
    text("hashFunctionTester: the run needs ");
    if (needIsBound) text("at least ");
    kib(need);
    text(" KiB of stack but the limit is ");
    kib(limit);
    text(" KiB; raise it with ulimit -s ");
    kib(advice);
    text("\n");
    const ssize_t written = write(STDERR_FILENO, line, static_cast<std::size_t>(at - line));
    static_cast<void>(written);  // nothing more to say if stderr is gone
}

// Where the top is only estimated, the need is known only as a bound, but the
// run's base was reached within the limit, so the limit plus the run's own bytes
// surely holds it.
unsigned long long sureNeed(const guarded_stack& run) {
    return run.topExact ? run.need : std::max(run.need, run.limit + run.runBytes);
}

// Written once before the net is armed; read by the net.
guarded_stack guarded;
bool netArmed = false;
struct sigaction actionBeforeNet;
sigset_t maskBeforeNet;
stack_t signalStackBeforeNet;
// The net's own stack: the overflowed one has no room left. Static, since the
// run allocates nothing; far above any platform's MINSIGSTKSZ.
alignas(16) unsigned char netStack[64 * 1024];

void onFault(int signal, siginfo_t* info, void* /*context*/) {
    const std::uintptr_t at = addressOf(info->si_addr);
    // The limit now, which may have been lowered since the check.
    rlimit limitNow{};
    const bool limited =
        getrlimit(RLIMIT_STACK, &limitNow) == 0 && limitNow.rlim_cur != RLIM_INFINITY;
    // An overflow is a fault the kernel raised beyond the stack limit, within the
    // run's reach below its base. Beyond the limit means below the top minus the
    // limit where the top is known; where it is estimated, the true top may lie
    // higher, and below the base is all that can be told.
    std::uintptr_t beyond = guarded.base;
    if (guarded.topExact)
        beyond = guarded.top > limitNow.rlim_cur
                     ? std::min<std::uintptr_t>(beyond, guarded.top - limitNow.rlim_cur)
                     : 0;
    const bool overflow =
        info->si_code > 0 && limited && at < beyond && guarded.base - at <= guarded.runBytes;
    if (!overflow) {
        // Any other fault gets the action it had: returning repeats the fault
        // under it, and a signal sent by a process is sent again.
        sigaction(signal, &actionBeforeNet, nullptr);
        if (info->si_code <= 0) raise(signal);
        return;
    }
    // The run went past the limit, so its need lies above it, and at least as
    // far down as the fault from the top.
    unsigned long long need = std::max(guarded.need, limitNow.rlim_cur + guarded.page);
    if (guarded.top > at) need = std::max<unsigned long long>(need, guarded.top - at);
    need = roundUp(need, guarded.page);
    const bool needIsBound = !guarded.topExact || need != guarded.need;
    refuse(need, needIsBound, limitNow.rlim_cur, adviceFor(std::max(need, sureNeed(guarded))));
    _exit(1);
}

}  // namespace

// The frame address, not a local's: a sanitizer may move locals off the stack.
[[gnu::noinline]] bool guardStack(char** argv, std::size_t runBytes) {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::uintptr_t page = pageSize > 0 ? static_cast<std::uintptr_t>(pageSize) : 4096;
    const std::uintptr_t base = addressOf(__builtin_frame_address(0));
    std::uintptr_t top = mappingEnd(base);
    const bool topExact = top > base;
    if (!topExact) top = stringsEnd(argv, page);
    if (top <= base) top = 0;  // cannot tell: the net alone guards the run

    // The stack grows a page at a time, so the need is counted in whole pages.
    guarded = {base, top, topExact, limit.rlim_cur, page, runBytes, 0};
    if (top != 0) {
        guarded.need = roundUp(top - base + runBytes, page);
        if (guarded.need > limit.rlim_cur) {
            refuse(guarded.need, !topExact, limit.rlim_cur, adviceFor(sureNeed(guarded)));
            return false;
        }
    }

    stack_t netSignalStack{};
    netSignalStack.ss_sp = netStack;
    netSignalStack.ss_size = sizeof netStack;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // A parent may have blocked SIGSEGV, and the mask survives exec: blocked, a
    // fault would kill the process without running the net.
    sigset_t segv;
    sigemptyset(&segv);
    sigaddset(&segv, SIGSEGV);
    if (sigaltstack(&netSignalStack, &signalStackBeforeNet) != 0 ||
        sigaction(SIGSEGV, &action, &actionBeforeNet) != 0)
        return true;  // no net: the check alone guards the run
    sigprocmask(SIG_UNBLOCK, &segv, &maskBeforeNet);
    netArmed = true;
    return true;
}

void releaseStack() {
    if (!netArmed) return;
    netArmed = false;
    sigaction(SIGSEGV, &actionBeforeNet, nullptr);
    sigprocmask(SIG_SETMASK, &maskBeforeNet, nullptr);
    sigaltstack(&signalStackBeforeNet, nullptr);
}
