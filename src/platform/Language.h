#pragma once

#include <string>

namespace brivox {

// "kor" when the locale is Korean and no fake-English marker exists, else "eng".
std::string LanguageCodeFor(const std::string& localeName, bool fakeEnglishMarkerExists);

// The first non-empty of LC_ALL, LC_MESSAGES and LANG.
std::string UserLocaleName();

// <settings folder>/_fakeengwindow.txt forces English on a Korean system.
std::string FakeEnglishMarkerPath();

// The language code of this process, decided on first use and kept.
const std::string& LanguageCode();

} // namespace brivox
