#ifndef DD_SANITIZERS_H
#define DD_SANITIZERS_H

namespace double_description {

// Whether a sanitizer instruments this build: REDIVEZ_SANITIZED comes from
// the build options, the compilers' own macros catch flags given by hand.
#if defined(REDIVEZ_SANITIZED) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED_BUILD = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr bool SANITIZED_BUILD = true;
#else
constexpr bool SANITIZED_BUILD = false;
#endif
#else
constexpr bool SANITIZED_BUILD = false;
#endif

} // namespace double_description

#endif
