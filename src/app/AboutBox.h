#pragma once

#include <QDialog>

namespace brivox {

// Dialog 100: the version, the maker's address, and the developer-only "APPublish" button.
class CAboutBox : public QDialog {
public:
    explicit CAboutBox(QWidget* parent);
};

// The maker's web address shown in the About box: one for Korean systems, one elsewhere.
const char* MakerAddress(const std::string& languageCode);

} // namespace brivox
