#pragma once

#include <string>

namespace brivox {

// Copies a file whole through a temporary name and a rename, keeping the source's permission
// bits: a copy that fails never leaves a cut file under the target's name. Missing folders of
// the target are made first.
bool CopyFileWhole(const std::string& source, const std::string& target);

// Deletes a staging folder with everything in it, never following links and never outside the
// staging root (compared by canonical paths; the root itself may be a link). The refusal's text,
// empty when deleted.
std::string RemoveStagingFolder(const std::string& folder, const std::string& root);

} // namespace brivox
