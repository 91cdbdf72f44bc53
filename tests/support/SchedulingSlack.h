// What a ThreadSanitizer build changes for the tests: it slows every thread enough that a reader
// can be held up longer than the idle gaps the end-to-end tests use to cut frames, and it cannot
// start a child program from a process with threads (QProcess dies in its fork).
#pragma once

namespace brivox::test {

#if defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kUnderThreadSanitizer = true;
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif

inline constexpr bool kFramesCutByTimeAreUnreliable = kUnderThreadSanitizer;

} // namespace brivox::test
