#pragma once

#include <string>

class QWidget;

namespace brivox {

// Start-up: "realrelease" takes the value when it reads 0 (a developer is told when another run
// has set it already); "pvlanguage" becomes "eng" when empty.
void PublishStartup(int value);

// What a release is staged from, and where.
struct CReleaseSources {
    std::string programPath;        // staged as "brivox"
    std::string runtimeLibraryPath; // the C++ runtime the program loaded
    std::string stagingRoot;        // every release's folder is made inside it
    std::string versionText;        // "1.42"
};

// This program's files, staged under ~/#PREWRAP/BRIVOX.
CReleaseSources CurrentReleaseSources();

// The About box's "APPublish" on a developer's machine: after its checks and the user's yes,
// copies the program and its runtime into a fresh folder named after the version. Nothing at
// all without the developer marker.
void PublishRelease(const CReleaseSources& sources, QWidget* owner);

} // namespace brivox
