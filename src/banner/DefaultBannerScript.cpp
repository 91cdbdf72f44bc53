#include "banner/DefaultBannerScript.h"

namespace brivox {

std::string DefaultBannerScript(const std::string& languageCode) {
    const std::string makerName = languageCode == "kor" ? "Dalmeno" : "Dalmeno Technology";
    const std::string homePage = kMakerHomePage;
    return "gntiscript:" + makerName + "|" + homePage + "|180___" + kMakerHost + "|" + homePage +
           "|180";
}

} // namespace brivox
