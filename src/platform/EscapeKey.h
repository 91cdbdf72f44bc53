#pragma once

namespace brivox {

// Starts tracking the Escape key (an application-wide event filter on the UI thread), once.
void TrackEscapeKey();

// Whether the Escape key is held down right now, anywhere in the application; tracking starts
// at the first call if it had not. A key released while another program had the focus counts as
// released when the application loses the focus.
bool IsEscapeHeldDown();

} // namespace brivox
