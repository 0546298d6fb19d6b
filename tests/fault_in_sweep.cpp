// Preloaded into the tool by the stack test: a fault that is no stack overflow,
// in the middle of the sweep, at an address on the stack well within its limit.
// When the sweep first measures the name "faro", the page that holds a local of
// this function is made read-only and then written to.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {

using strlen_function = std::size_t (*)(const char*);
strlen_function nextStrlen = nullptr;

}  // namespace

// The C library's name: no header here declares it.
extern "C" std::size_t strlen(const char* text) noexcept {
    if (text[0] == 'f' && text[1] == 'a' && text[2] == 'r' && text[3] == 'o' && text[4] == '\0') {
        volatile char local = 0;
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(&local) & ~(page - 1);
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the page of a local, by its address
        mprotect(reinterpret_cast<void*>(start), page, PROT_READ);
        local = 1;
    }
    if (nextStrlen == nullptr)
        nextStrlen = reinterpret_cast<strlen_function>(dlsym(RTLD_NEXT, "strlen"));
    return nextStrlen(text);
}
