#ifndef DD_ASSERT_H
#define DD_ASSERT_H

// Checks of internal invariants: active in debug and sanitizer builds, gone
// from release builds. A condition must have no side effects (in particular
// it must not move an operation counter), since release builds drop it.
#ifdef REDIVEZ_ASSERTIONS

namespace double_description {
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);
} // namespace double_description

#define DD_ASSERT(condition)                                                                       \
  ((condition) ? static_cast<void>(0)                                                              \
               : ::double_description::assertionFailed(#condition, __FILE__, __LINE__))

#else

#define DD_ASSERT(condition) static_cast<void>(sizeof(static_cast<bool>(condition)))

#endif

#endif
