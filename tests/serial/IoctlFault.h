#pragma once

namespace brivox::test {

// While set, setting a line's termios fails with EINVAL, as a driver refusing a rate does.
void RefuseLineSettings(bool refuse);

} // namespace brivox::test
