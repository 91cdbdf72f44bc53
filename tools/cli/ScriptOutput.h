#pragma once

#include "script/JPItem.h"

#include <iosfwd>
#include <vector>

namespace brivox::cli {

// One line per item: "send" or "expect", then the bytes as upper-case hex pairs.
void PrintItems(std::ostream& out, const std::vector<CJPItem>& items);

} // namespace brivox::cli
