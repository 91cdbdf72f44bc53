#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLineEdit;
class QLabel;

namespace brivox {

// The small dialog a double-click on a poll value opens: the value to write, in the window's
// type. OK hands the text over; what it writes, and whether it can, is the window's to say.
class CPollWriteDialog : public QDialog {
public:
    static constexpr char kTitle[] = "Write";

    CPollWriteDialog(QWidget* parent, const std::string& what, const std::string& value,
                     std::function<void(const std::string& text)> write);

    QLineEdit& ValueBox() const { return *m_value; }

private:
    QLineEdit* m_value;
};

} // namespace brivox
