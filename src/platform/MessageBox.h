#pragma once

#include <functional>
#include <string>

class QWidget;

namespace brivox {

// Message-box style words (buttons in the low nibble, icon in the next), as callers pass them.
enum MessageBoxStyle : unsigned {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbYesNoCancel = 0x03,
    kMbYesNo = 0x04,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};

// The button the user closed the box with.
enum MessageAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

struct CMessageRequest {
    std::string text;
    std::string caption;
    unsigned type = kMbOk;
    QWidget* owner = nullptr;
};

// Shows a request and returns the answer. Tests install one that records and answers as scripted.
using MessagePresenter = std::function<int(const CMessageRequest&)>;

// Installs a presenter and returns the one it replaces; an empty one restores the real boxes.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

// Shows a modal message box and returns when the user closes it. An empty caption takes the
// shared string "wapp_name_<pid>"; a null owner takes the active window.
int ShowMessage(const std::string& text, const std::string& caption, unsigned type,
                QWidget* owner = nullptr);

} // namespace brivox
