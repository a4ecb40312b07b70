#include "core/DDGmpMemory.h"

#include <cstdlib>
#include <new>

#include <gmp.h>

namespace double_description {

namespace {

void* allocate(std::size_t size) {
  if (void* p = std::malloc(size))
    return p;
  throw std::bad_alloc();
}

void* reallocate(void* p, std::size_t /*oldSize*/, std::size_t size) {
  if (void* q = std::realloc(p, size))
    return q;
  throw std::bad_alloc();
}

void release(void* p, std::size_t /*size*/) { std::free(p); }

} // namespace

void throwBadAllocFromGmp() { mp_set_memory_functions(allocate, reallocate, release); }

} // namespace double_description
