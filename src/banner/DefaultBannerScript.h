#pragma once

#include <string>

namespace brivox {

inline constexpr char kMakerHomePage[] = "https://www.dalmeno.example/";
inline constexpr char kMakerHost[] = "www.dalmeno.example";

// The notices shown until the maker's server sends a script: the maker's name and its host,
// both linking to the home page, 180 s each.
std::string DefaultBannerScript(const std::string& languageCode);

} // namespace brivox
