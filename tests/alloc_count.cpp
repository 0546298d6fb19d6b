// Preloaded into the tool by the heap check. Counts the heap allocations made
// from the moment the C library starts the program (the program's own static
// constructors, main and all it calls) and writes the count to stderr when main
// returns. What shared libraries allocate while they load, such as libstdc++'s
// emergency exception pool, comes earlier and is not the tool's.
// No header here declares malloc, so the definitions below stand on their own;
// snprintf into a local buffer allocates nothing.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

// NOLINTBEGIN(bugprone-reserved-identifier): these are the C library's own names
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* old, std::size_t size) noexcept;
void* __libc_memalign(std::size_t alignment, std::size_t size) noexcept;
}

namespace {

bool counting = false;
unsigned long allocations = 0;

void* counted(void* block) {
    if (counting) ++allocations;
    return block;
}

using main_function = int (*)(int, char**, char**);
main_function programMain = nullptr;

int countingMain(int argc, char** argv, char** envp) {
    const int status = programMain(argc, argv, envp);
    counting = false;
    char line[48];
    const int length = std::snprintf(line, sizeof line, "heap allocations: %lu\n", allocations);
    // Nothing to do if the write fails.
    const ssize_t written = write(2, line, static_cast<std::size_t>(length));
    static_cast<void>(written);
    return status;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) noexcept { return counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) noexcept {
    return counted(__libc_calloc(count, size));
}
void* realloc(void* old, std::size_t size) noexcept { return counted(__libc_realloc(old, size)); }
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    return counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    return counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** block, std::size_t alignment, std::size_t size) noexcept {
    *block = counted(__libc_memalign(alignment, size));
    return *block == nullptr ? ENOMEM : 0;
}

using start_function = int (*)(main_function, int, char**, void (*)(), void (*)(), void (*)(),
                               void*);

// The C library's entry into the program: count from here on, and report when
// the program's main returns.
int __libc_start_main(main_function main, int argc, char** argv, void (*init)(), void (*fini)(),
                      void (*rtldFini)(), void* stackEnd) {
    const auto start = reinterpret_cast<start_function>(dlsym(RTLD_NEXT, "__libc_start_main"));
    programMain = main;
    counting = true;
    return start(countingMain, argc, argv, init, fini, rtldFini, stackEnd);
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier)
