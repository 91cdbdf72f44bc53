#pragma once

#include "options/OptionStore.h"

#include <string>

namespace brivox {

// Registers the default of every session option, in the key table's order. The banner script
// default depends on the language code ("eng" or "kor").
void RegisterDefaultOptions(COptionStore& store, const std::string& languageCode);

} // namespace brivox
