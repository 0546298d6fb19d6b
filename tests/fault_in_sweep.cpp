// Preloaded into the tool by the stack test: a fault that is no stack overflow,
// in the middle of the sweep, at an address on the stack well within its limit.
// When the sweep first measures or copies the name "faro", the page that holds
// a local of this library is made read-only and then written to. Both calls are
// hooked: where the compiler measures the name inline (s390x), it still copies
// it with memcpy.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {

void faultOnFaro(const char* text, std::size_t length) {
    if (length != 4 || text[0] != 'f' || text[1] != 'a' || text[2] != 'r' || text[3] != 'o') return;
    volatile char local = 0;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(&local) & ~(page - 1);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the page of a local, by its address
    mprotect(reinterpret_cast<void*>(start), page, PROT_READ);
    local = 1;
}

// The C library's function of that name, found once.
template <typename Function>
Function next(Function& found, const char* name) {
    if (found == nullptr) found = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    return found;
}

using strlen_function = std::size_t (*)(const char*);
using memcpy_function = void* (*)(void*, const void*, std::size_t);
strlen_function nextStrlen = nullptr;
memcpy_function nextMemcpy = nullptr;

}  // namespace

// The C library's names: no header here declares them.
extern "C" std::size_t strlen(const char* text) noexcept {
    const std::size_t length = next(nextStrlen, "strlen")(text);
    faultOnFaro(text, length);
    return length;
}

extern "C" void* memcpy(void* to, const void* from, std::size_t size) noexcept {
    faultOnFaro(static_cast<const char*>(from), size);
    return next(nextMemcpy, "memcpy")(to, from, size);
}
