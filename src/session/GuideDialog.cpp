#include "session/GuideDialog.h"

#include "platform/DialogBuilder.h"

#include <QLabel>
#include <QPushButton>

namespace brivox {

namespace {

constexpr int kOk = 1011;

// The examples stand as they always have, though the compiler takes neither "?" nor "~".
const CDialogTemplate& GuideTemplate() {
    using K = ControlKind;
    static const CDialogTemplate dialog{
        131,
        "Guide about Script Method for Input",
        270,
        192,
        "Liberation Sans", // for Arial
        8,
        {
            {-1, K::Static,
             "ex) 41 4F FF        \n"
             "      Default type is heximal value and delimited by space character.\n"
             "      One byte of heximal value must be in 2-digits.",
             10, 10, 250, 26},
            {-1, K::Static,
             "ex) 41 4F <05 A5> D7        \n"
             "      You send 41 and 4F of heximal value, and confirm that you receive 05\n"
             "     and A5 correctly, then send D7. \n"
             "      If you don't care the exact value of response,'<05 A5>' can be replaced"
             "        with '<? ?>'",
             10, 40, 250, 42},
            {-1, K::Static,
             "ex) 41 42 \"CDEF\"\n"
             "      You can send string with quotation marks braced.",
             10, 86, 250, 18},
            {-1, K::Static,
             "ex) 128; 0; 199; 255;\n"
             "      If the character ';' is attached at the value, it is recognized as a "
             "decimal\n"
             "      value.",
             10, 108, 250, 26},
            {-1, K::Static,
             "ex) 41 <05~0A> 42\n"
             "      You can expect a byte value ranged from 05 to 0A, as the response of\n"
             "      41.",
             10, 138, 250, 26},
            {kOk, K::PushButton, "OK", 110, 170, 50, 14, ctl::kPushButton},
        }};
    return dialog;
}

} // namespace

CGuideDialog::CGuideDialog(QWidget* parent) : QDialog(parent) {
    const CDialogTemplate& dialog = GuideTemplate();
    setWindowTitle(QString::fromStdString(dialog.caption));
    BuildDialog(this, dialog);
    setFixedSize(size());
    // "<05 A5>" is no markup.
    for (QLabel* label : findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    auto* ok = qobject_cast<QPushButton*>(ControlById(this, kOk));
    ok->setDefault(true);
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
}

} // namespace brivox
