// Counts the C allocator too (snprintf, stdio, anything under operator new), outside sanitizer
// builds: their runtime owns malloc, and a second definition would bypass it.
#include <cstddef>

#include "AllocationCounter.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);

void* malloc(std::size_t size) {
    testsupport::noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    testsupport::noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    testsupport::noteAllocation();
    return __libc_realloc(p, size);
}
}
#endif
