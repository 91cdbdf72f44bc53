#pragma once

#include "options/OptionStore.h"
#include "options/SettingsFile.h"

#include <string>

namespace brivox {

// The process-wide option store: every session form starts from a copy of it.
COptionStore& GlobalOptions();

// Start-up filling: the defaults, the settings file merged over them (a missing or broken file
// leaves the defaults), then the delay between bytes back to 0, whatever was saved.
void FillGlobalOptions(COptionStore& store, const std::string& settingsPath,
                       const std::string& languageCode);

// The user's settings file.
std::string SettingsFilePath();

// The settings file at the path for this whole run, so that its save knows how its load went.
CSettingsFile& SettingsFileAt(const std::string& path);

} // namespace brivox
