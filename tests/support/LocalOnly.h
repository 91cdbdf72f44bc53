#pragma once

namespace brivox::test {

// Keeps a test binary off the network and the desktop: banners ask a port on 127.0.0.1 where
// nothing listens (tests that want answers point them at a local server), and links open
// nothing (tests that watch them install their own opener).
void KeepTestsLocal();

// The global store as a fresh run fills it, with today's banner request already made: session
// forms made from it ask no server. A test of the request itself sets its own time.
void ResetGlobalOptions();

} // namespace brivox::test
