#pragma once

#include <functional>
#include <string>

class QWidget;

namespace brivox {

// A file-open or file-save dialog: what it asks, and the path chosen ("" when cancelled).
struct CFileDialogRequest {
    std::string title;
    std::string filter; // "Name (patterns)"
    QWidget* owner = nullptr;
    bool save = false;
    std::string suggested; // the path a save dialog offers
};
using FileDialogPresenter = std::function<std::string(const CFileDialogRequest&)>;

// Installs a presenter (tests answer with a path) and returns the one it replaces; an empty
// one restores the real dialog.
FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter presenter);

std::string ChooseFileToOpen(const std::string& title, const std::string& filter,
                             QWidget* owner = nullptr);
std::string ChooseFileToSave(const std::string& title, const std::string& filter,
                             const std::string& suggested, QWidget* owner = nullptr);

// The user's documents folder.
std::string DocumentsFolder();

} // namespace brivox
