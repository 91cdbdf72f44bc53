#include "options/GlobalOptions.h"

#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Paths.h"

namespace brivox {

COptionStore& GlobalOptions() {
    static COptionStore store;
    return store;
}

void FillGlobalOptions(COptionStore& store, const std::string& settingsPath,
                       const std::string& languageCode) {
    RegisterDefaultOptions(store, languageCode);
    store.Load(settingsPath, true);
    store.SetInt(opt::kByteDelay, 0);
}

std::string SettingsFilePath() {
    return SettingsPath(opt::kSettingsFileName);
}

} // namespace brivox
