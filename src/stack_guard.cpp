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
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the auxiliary vector hands out addresses as integers
    note(reinterpret_cast<const char*>(getauxval(AT_EXECFN)));
    return end == 0 ? 0 : static_cast<std::uintptr_t>(roundUp(end + sizeof(void*), page));
}

// What the check found out about the run, and what the net keeps of it.
struct stack_net {
    std::uintptr_t base;       // the run's frames lie below this address
    std::uintptr_t top;        // the first address above the stack, or 0 if unknown
    unsigned long long limit;  // the stack limit, bytes
    unsigned long long page;
    unsigned long long runBytes;
    unsigned long long need;   // the need worked out up front, or 0
};

// Writes "the run needs ... KiB of stack but the limit is ... KiB; raise it with
// ulimit -s ..." on stderr, with the run's need and limit. Safe in a signal
// handler, and light on the stack: a refused run may have little left, and
// printf with stderr's buffering takes more.
void refuse(const stack_net& run) {
    const unsigned long long needKib = roundUp(run.need, KIB) / KIB;
    char line[192];  // room for the text and three numbers of 20 digits
    char* at = line;
    const auto text = [&at, &line](std::string_view part) {
        const auto room = static_cast<std::size_t>(std::end(line) - at);
        const std::size_t size = std::min(part.size(), room);
        std::memcpy(at, part.data(), size);
        at += size;
    };
    const auto number = [&at, &line](unsigned long long value) {
        at = std::to_chars(at, std::end(line), value).ptr;
    };
    text("hashFunctionTester: the run needs ");
    number(needKib);
    text(" KiB of stack but the limit is ");
    number(run.limit / KIB);
    text(" KiB; raise it with ulimit -s ");
    // The advice leaves 16 KiB for where the stack starts, which moves from run
    // to run, and rounds up to 64 KiB.
    number(roundUp(needKib + 16, 64));
    text("\n");
    const ssize_t written = write(STDERR_FILENO, line, static_cast<std::size_t>(at - line));
    static_cast<void>(written);  // nothing more to say if stderr is gone
}

// Written once before the net is armed.
stack_net net;
struct sigaction previousAction;
// The handler's own stack: the overflowed one has no room left. Static, since
// the run allocates nothing; far above any platform's MINSIGSTKSZ.
alignas(16) unsigned char netStack[64 * 1024];

void onFault(int signal, siginfo_t* info, void* /*context*/) {
    const std::uintptr_t at = addressOf(info->si_addr);
    // An overflow is a fault the kernel raised in the stack's growth region:
    // below the run's base, and no further below it than the limit plus the
    // run's own frames can reach.
    const bool overflow = info->si_code > 0 && at < net.base &&
                          net.base - at <= net.limit + net.runBytes;
    if (!overflow) {
        // Any other fault gets the action it had: returning repeats the fault
        // under it, and a signal sent by a process is sent again.
        sigaction(signal, &previousAction, nullptr);
        if (info->si_code <= 0) raise(signal);
        return;
    }
    // The run reached down to at, more than the limit below the top: a need
    // above the limit, whatever the estimate said.
    unsigned long long need = std::max(net.need, net.limit + 1);
    if (net.top > at) need = std::max<unsigned long long>(need, net.top - at);
    net.need = roundUp(need, net.page);
    refuse(net);
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
    if (top <= base) top = stringsEnd(argv, page);
    if (top <= base) top = 0;  // cannot tell: the net alone guards the run

    // The stack grows a page at a time, so the need is counted in whole pages.
    net = {base, top, limit.rlim_cur, page, runBytes, 0};
    if (top != 0) {
        net.need = roundUp(top - base + runBytes, page);
        if (net.need > limit.rlim_cur) {
            refuse(net);
            return false;
        }
    }

    stack_t handlerStack{};
    handlerStack.ss_sp = netStack;
    handlerStack.ss_size = sizeof netStack;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    if (sigaltstack(&handlerStack, nullptr) == 0) sigaction(SIGSEGV, &action, &previousAction);
    return true;
}
