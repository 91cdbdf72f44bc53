#include "options/GlobalOptions.h"

#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Paths.h"

#include <map>

namespace brivox {

COptionStore& GlobalOptions() {
    static COptionStore store;
    return store;
}

void FillGlobalOptions(COptionStore& store, const std::string& settingsPath,
                       const std::string& languageCode) {
    RegisterDefaultOptions(store, languageCode);
    SettingsFileAt(settingsPath).Load(store);
    store.SetInt(opt::kByteDelay, 0);
}

std::string SettingsFilePath() {
    return SettingsPath(opt::kSettingsFileName);
}

CSettingsFile& SettingsFileAt(const std::string& path) {
    static std::map<std::string, CSettingsFile> files;
    return files.try_emplace(path, path).first->second;
}

} // namespace brivox
