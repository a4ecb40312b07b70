#ifndef DD_GMPMEMORY_H
#define DD_GMPMEMORY_H

namespace double_description {

// Makes GMP report exhausted memory as every other allocation does, by
// throwing std::bad_alloc, instead of aborting the process. Call once, before
// any big integer exists.
void throwBadAllocFromGmp();

} // namespace double_description

#endif
