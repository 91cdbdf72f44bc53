#include "publish/ReleasePublisher.h"

#include "platform/DeveloperMarker.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/UrlOpener.h"
#include "platform/Version.h"
#include "publish/ReleaseFiles.h"
#include "publish/SharedVariables.h"
#include "util/Text.h"

#include <cstdlib>
#include <link.h>

namespace brivox {

namespace {

constexpr char kApplicationName[] = "Brivox";
constexpr char kRuntimeLibrary[] = "libstdc++.so.6";
constexpr char kSystemFilesFolder[] = "시스템파일";

void Tell(const std::string& text, QWidget* owner) {
    ShowMessage(text, kApplicationName, kMbOk, owner);
}

bool Ask(const std::string& text, const std::string& caption, QWidget* owner) {
    return ShowMessage(text, caption, kMbYesNo | kMbIconQuestion, owner) == kIdYes;
}

std::string LanguageLabel() {
    const std::string language = GetSharedVariable("pvlanguage");
    return language.empty() ? "<Language-unspecified>" : "\"" + language + "\"-language";
}

// The runtime as the program loaded it: its path depends on the distribution and architecture.
std::string LoadedRuntimePath() {
    std::string found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            const size_t slash = name.rfind('/');
            if (name.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos,
                             kRuntimeLibrary) != 0)
                return 0;
            *static_cast<std::string*>(data) = name;
            return 1;
        },
        &found);
    return found;
}

// Copies each file, asking whether to go on after one that fails; false when told to stop.
bool CopyReleaseFiles(const CReleaseSources& sources, const std::string& folder, QWidget* owner) {
    const std::pair<std::string, std::string> files[] = {
        {sources.programPath, folder + "/brivox"},
        {sources.runtimeLibraryPath, folder + "/" + kSystemFilesFolder + "/" + kRuntimeLibrary},
    };
    for (const auto& [source, target] : files) {
        if (CopyFileWhole(source, target))
            continue;
        if (!Ask("Cannot copy " + source + " to \n" + target + "\nProceed about the rest?",
                 "Cannot Copy", owner))
            return false;
    }
    return true;
}

} // namespace

void PublishStartup(int value) {
    if (ReadLeadingInt(GetSharedVariable("realrelease")) == 0)
        SetSharedVariable("realrelease", std::to_string(value));
    else if (DeveloperMarkerExists())
        Tell(SharedVariableName("realrelease", ProgramFilePath()) + " Already Set", nullptr);
    if (GetSharedVariable("pvlanguage").empty())
        SetSharedVariable("pvlanguage", "eng");
}

CReleaseSources CurrentReleaseSources() {
    const char* home = std::getenv("HOME");
    return {ProgramFilePath(), LoadedRuntimePath(),
            std::string(home != nullptr ? home : "") + "/#PREWRAP/BRIVOX",
            VersionText(VersionNumber())};
}

void PublishRelease(const CReleaseSources& sources, QWidget* owner) {
    if (!DeveloperMarkerExists())
        return;
    if (ReadLeadingInt(GetSharedVariable("realrelease")) == 0) {
        Tell("Not a Real Release Mode", owner);
        return;
    }
    if (GetSharedVariable("hcpmode") == "1") {
        Tell("hcp mode. so cannot release.", owner);
        return;
    }
    if (!Ask("Really want to APPublish this " + LanguageLabel() + " project ?", "APPublish Project",
             owner))
        return;
    const std::string folder = sources.stagingRoot + "/Brivox v" + sources.versionText;
    if (PathExists(folder)) {
        if (!Ask(folder + " Already Exists. Delete And Overwrite ?", "APFolder Already Exists.",
                 owner))
            return;
        if (const std::string refusal = RemoveStagingFolder(folder, sources.stagingRoot);
            !refusal.empty()) {
            Tell(refusal, owner);
            return;
        }
    }
    MakeSurePathExists(folder);
    if (!CopyReleaseFiles(sources, folder, owner))
        return;
    Tell("APPublish Complete", owner);
    if (Ask("Open the APPublish Folder?", "Open Folder", owner))
        OpenLocalFolder(sources.stagingRoot);
}

} // namespace brivox
