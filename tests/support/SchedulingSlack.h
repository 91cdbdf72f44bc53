// Whether this build slows every thread enough that a reader can be held up longer than the
// idle gaps the end-to-end tests use to cut frames.
#pragma once

namespace brivox::test {

#if defined(__SANITIZE_THREAD__)
inline constexpr bool kFramesCutByTimeAreUnreliable = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kFramesCutByTimeAreUnreliable = true;
#else
inline constexpr bool kFramesCutByTimeAreUnreliable = false;
#endif
#else
inline constexpr bool kFramesCutByTimeAreUnreliable = false;
#endif

} // namespace brivox::test
