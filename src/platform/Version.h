#pragma once

#include <string>

namespace brivox {

// The product version text the build carries, "1, 4, 2, 1" style.
const char* ProductVersionText();

// (a mod 100)*100 + (b mod 10)*10 + (c mod 10) from "a, b, c, d"; 0 unless exactly four parts.
int ParseVersionNumber(const std::string& productVersion);

// The running program's version number (142 for "1, 4, 2, 1").
int VersionNumber();

// "1.42" for 142: hundreds, a point, tens and units.
std::string VersionText(int versionNumber);

} // namespace brivox
