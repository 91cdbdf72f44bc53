#include "platform/FileDialog.h"

#include <QFileDialog>
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
        return Presenter()({title, filter, owner});
    return QFileDialog::getOpenFileName(owner, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

} // namespace brivox
