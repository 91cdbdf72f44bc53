#include "platform/MessageBox.h"

#include "platform/X11Window.h"
#include "trace/SharedString.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <cstdio>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace brivox {

namespace {

std::mutex g_presenterMutex;
MessagePresenter g_presenter;

QMessageBox::StandardButtons ButtonsFor(unsigned type) {
    switch (type & 0x0F) {
    case kMbOkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case kMbYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kMbYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconFor(unsigned type) {
    switch (type & 0xF0) {
    case kMbIconError:
        return QMessageBox::Critical;
    case kMbIconQuestion:
        return QMessageBox::Question;
    case kMbIconWarning:
        return QMessageBox::Warning;
    case kMbIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int AnswerFor(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    case QMessageBox::Cancel:
        return kIdCancel;
    default:
        return kIdOk;
    }
}

// Without a GUI nobody can answer: print the text and take the answer that changes nothing.
int ShowOnConsole(const CMessageRequest& request) {
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    switch (request.type & 0x0F) {
    case kMbOkCancel:
    case kMbYesNoCancel:
        return kIdCancel;
    case kMbYesNo:
        return kIdNo;
    default:
        return kIdOk;
    }
}

// A window manager cuts a caption wider than its box: make room for the caption, set in a bold
// title font, and the title bar's icon and buttons.
void MakeRoomForCaption(QMessageBox& box) {
    constexpr int kTitleBarButtonsWidth = 120;
    QFont font = box.font();
    font.setBold(true);
    const int width =
        QFontMetrics(font).horizontalAdvance(box.windowTitle()) * 11 / 10 + kTitleBarButtonsWidth;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

int ShowMessageBox(const CMessageRequest& request) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return ShowOnConsole(request);
    QWidget* owner = request.owner != nullptr ? request.owner : QApplication::activeWindow();
    QMessageBox box(IconFor(request.type), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), ButtonsFor(request.type), owner);
    MakeRoomForCaption(box);
    if (request.caption.empty()) {
        // Qt or the window manager would put the application's name or a placeholder there; a
        // single space, written before the box is mapped, shows as nothing.
        box.winId();
        x11::SetTitleProperties(&box, " ");
    }
    return AnswerFor(box.exec());
}

} // namespace

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
    const std::lock_guard lock(g_presenterMutex);
    return std::exchange(g_presenter, std::move(presenter));
}

int ShowMessage(const std::string& text, const std::string& caption, unsigned type,
                QWidget* owner) {
    CMessageRequest request{text, caption, type, owner};
    if (request.caption.empty())
        request.caption = GetSharedString("wapp_name_" + std::to_string(getpid()));
    MessagePresenter presenter;
    {
        const std::lock_guard lock(g_presenterMutex);
        presenter = g_presenter;
    }
    return presenter ? presenter(request) : ShowMessageBox(request);
}

} // namespace brivox
