#include "platform/FileDialog.h"

#include <QFileDialog>
#include <QStandardPaths>
#include <utility>

namespace brivox {

namespace {

FileDialogPresenter& Presenter() {
    static FileDialogPresenter presenter;
    return presenter;
}

} // namespace

FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

std::string ChooseFileToOpen(const std::string& title, const std::string& filter, QWidget* owner) {
    if (Presenter())
        return Presenter()({title, filter, owner, false, ""});
    return QFileDialog::getOpenFileName(owner, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

std::string ChooseFileToSave(const std::string& title, const std::string& filter,
                             const std::string& suggested, QWidget* owner) {
    if (Presenter())
        return Presenter()({title, filter, owner, true, suggested});
    return QFileDialog::getSaveFileName(owner, QString::fromStdString(title),
                                        QString::fromStdString(suggested),
                                        QString::fromStdString(filter))
        .toStdString();
}

std::string DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

} // namespace brivox
