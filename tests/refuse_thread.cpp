// Preloaded into the tool by the test of a run that cannot start: no thread can
// be created, as when the address space is used up (ulimit -v), which the C
// library reports as EAGAIN.
#include <pthread.h>

#include <cerrno>

extern "C" int pthread_create(pthread_t* /*thread*/, const pthread_attr_t* /*attributes*/,
                              void* (* /*start*/)(void*), void* /*argument*/) noexcept {
    return EAGAIN;
}
