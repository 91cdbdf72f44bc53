#include "platform/Language.h"

#include "platform/Paths.h"

#include <cstdlib>

namespace brivox {

std::string LanguageCodeFor(const std::string& localeName, bool fakeEnglishMarkerExists) {
    const bool korean = localeName.rfind("ko", 0) == 0;
    return korean && !fakeEnglishMarkerExists ? "kor" : "eng";
}

std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "";
}

std::string FakeEnglishMarkerPath() {
    return SettingsPath("_fakeengwindow.txt");
}

const std::string& LanguageCode() {
    static const std::string code =
        LanguageCodeFor(UserLocaleName(), PathExists(FakeEnglishMarkerPath()));
    return code;
}

} // namespace brivox
