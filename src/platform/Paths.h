#pragma once

#include <string>

namespace brivox {

// The user's configuration root: $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigRoot();

// The folder that holds the settings, window-state and history files.
std::string SettingsFolder();

// A file name inside the settings folder.
std::string SettingsPath(const std::string& fileName);

// The folder part of a path ("" for a bare file name).
std::string FolderOf(const std::string& path);

// Creates the folder and every missing folder above it; true when it exists afterwards.
bool MakeSurePathExists(const std::string& folder);

bool PathExists(const std::string& path);

} // namespace brivox
