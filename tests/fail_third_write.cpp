// Preloaded into the tool by the write check: stdout becomes a stream whose third
// write fails with EIO and whose others reach the real standard output. The C
// library's stdio writes through its own internal write, which no preloaded
// write() can replace, so the stream itself is replaced, before main runs. Only
// that one block is lost: a later fflush succeeds, and only the stream's error
// flag tells.
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int writes = 0;

ssize_t writeButTheThird(void* /*cookie*/, const char* data, std::size_t size) {
    if (++writes == 3) {
        errno = EIO;
        return -1;
    }
    return write(STDOUT_FILENO, data, size);
}

__attribute__((constructor)) void replaceStdout() {
    const cookie_io_functions_t functions{nullptr, writeButTheThird, nullptr, nullptr};
    FILE* stream = fopencookie(nullptr, "w", functions);
    if (stream != nullptr) stdout = stream;
}

}  // namespace
