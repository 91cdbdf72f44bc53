#pragma once

#include <string>

namespace brivox {

// Named strings that cooperating processes of the same user exchange through POSIX shared
// memory. Backslashes in a name count as forward slashes. A string lives until this process
// releases or replaces it, or exits; one left by a process that crashed counts as absent.
bool SetSharedString(const std::string& name, const std::string& value);
std::string GetSharedString(const std::string& name, bool* found = nullptr);
void ReleaseSharedString(const std::string& name);

// The shared-memory object name a shared-string name maps to.
std::string SharedMemoryName(const std::string& name);

} // namespace brivox
