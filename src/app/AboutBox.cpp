#include "app/AboutBox.h"

#include "banner/DefaultBannerScript.h"
#include "banner/LinkStatic.h"
#include "platform/DeveloperMarker.h"
#include "platform/DialogBuilder.h"
#include "platform/Language.h"
#include "platform/Version.h"
#include "publish/ReleasePublisher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStyle>

namespace brivox {

namespace {

constexpr int kIcon = 1025;
constexpr int kVersion = 1026;
constexpr int kLink = 1046;
constexpr int kPublish = 1011;
constexpr int kOk = 1;

CDialogTemplate AboutTemplate() {
    using K = ControlKind;
    return {100,
            "About Brivox..",
            179,
            112,
            "Arial",
            8,
            {
                {kIcon, K::Static, "", 10, 10, 21, 20},
                {kVersion, K::Static, "Brivox v", 40, 10, 130, 8},
                {kLink, K::Static, "", 40, 22, 130, 8},
                {-1, K::Static, "Serial terminal for RS-232 and RS-485.\nOpen a port, send, watch.",
                 40, 36, 130, 18},
                {-1, K::Static, "All rights reserved.", 40, 58, 130, 8},
                {-1, K::Static, "Copyright (C) Dalmeno Technology", 40, 70, 130, 8},
                {kOk, K::PushButton, "OK", 122, 90, 50, 14, ctl::kPushButton},
                {kPublish, K::PushButton, "APPublish", 10, 90, 50, 14, ctl::kPushButton},
            }};
}

} // namespace

const char* MakerAddress(const std::string& languageCode) {
    return languageCode == "kor" ? "https://www.dalmeno.example/ko/" : kMakerHomePage;
}

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    const CDialogTemplate dialog = AboutTemplate();
    setWindowTitle(QString::fromStdString(dialog.caption));
    BuildDialog(this, dialog);
    setFixedSize(size());
    qobject_cast<QLabel*>(ControlById(this, kIcon))
        ->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    qobject_cast<QLabel*>(ControlById(this, kVersion))
        ->setText(QString::fromStdString("Brivox v" + VersionText(VersionNumber())));
    auto* link = new CLinkStatic(true, false);
    link->Attach(qobject_cast<QLabel*>(ControlById(this, kLink)));
    link->SetLinkText(MakerAddress(LanguageCode()));
    link->SetUrl(MakerAddress(LanguageCode()), 5);
    ControlById(this, kPublish)->setVisible(DeveloperMarkerExists());
    connect(qobject_cast<QAbstractButton*>(ControlById(this, kOk)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    connect(qobject_cast<QAbstractButton*>(ControlById(this, kPublish)), &QAbstractButton::clicked,
            this, [this] { PublishRelease(CurrentReleaseSources(), this); });
}

} // namespace brivox
