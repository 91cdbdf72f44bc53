#include "session/PollWriteDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace brivox {

CPollWriteDialog::CPollWriteDialog(QWidget* parent, const std::string& what,
                                   const std::string& value,
                                   std::function<void(const std::string& text)> write)
    : QDialog(parent), m_value(new QLineEdit(QString::fromStdString(value))) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromStdString(what)));
    layout->addWidget(m_value);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, write = std::move(write)] {
        write(m_value->text().toStdString());
        accept();
    });
    m_value->selectAll();
}

} // namespace brivox
