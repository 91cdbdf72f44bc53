#pragma once

#include <QDialog>

namespace brivox {

// Dialog 131: examples of what the input box takes, opened modally by the form's "?" button.
class CGuideDialog : public QDialog {
public:
    explicit CGuideDialog(QWidget* parent);
};

} // namespace brivox
