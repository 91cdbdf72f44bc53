#include "platform/DialogBuilder.h"

#include "platform/ReportListView.h"
#include "platform/RichEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <cmath>

namespace brivox {

namespace {

constexpr char kIdProperty[] = "brivoxControlId";
constexpr char kClassProperty[] = "brivoxControlClass";
constexpr char kStyleProperty[] = "brivoxControlStyle";

QString Text(const CControlTemplate& control) {
    return QString::fromStdString(control.text);
}

// A label shows "&&" as "&", as buttons and group boxes do.
QString LabelText(const CControlTemplate& control) {
    return Text(control).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QWidget* MakeEdit(const CControlTemplate& control, QWidget* parent) {
    if (control.style & ctl::kMultiLine) {
        auto* edit = new QPlainTextEdit(Text(control), parent);
        edit->setReadOnly(control.style & ctl::kReadOnly);
        return edit;
    }
    auto* edit = new QLineEdit(Text(control), parent);
    edit->setReadOnly(control.style & ctl::kReadOnly);
    if (control.style & ctl::kDigitsOnly)
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QWidget* MakeButton(const CControlTemplate& control, QWidget* parent) {
    if (control.kind == ControlKind::PushButton)
        return new QPushButton(Text(control), parent);
    if (control.style & ctl::kPushLike) {
        auto* button = new QPushButton(Text(control), parent);
        button->setCheckable(true);
        return button;
    }
    return new QCheckBox(Text(control), parent);
}

// A frame as Windows draws it: the top line runs through the middle of the title (Qt's own
// style draws it below the title, across controls placed for the other look).
QWidget* MakeGroupBox(const CControlTemplate& control, QWidget* parent) {
    auto* group = new QGroupBox(Text(control), parent);
    group->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                       " margin-top: %1px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px;"
                       " background-color: palette(window); }")
            .arg(group->fontMetrics().height() / 2));
    return group;
}

// A report-style list; its owner gives it a model.
QWidget* MakeList(QWidget* parent) {
    auto* list = new CReportListView(parent);
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QWidget* MakeControl(const CControlTemplate& control, QWidget* parent) {
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(LabelText(control), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    case ControlKind::GroupBox:
        return MakeGroupBox(control, parent);
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
        return MakeButton(control, parent);
    case ControlKind::ComboBox:
        return new QComboBox(parent);
    case ControlKind::Edit:
        return MakeEdit(control, parent);
    case ControlKind::RichEdit:
        return new CRichEdit(parent);
    case ControlKind::ListView:
        return MakeList(parent);
    case ControlKind::ListBox:
        return new QListWidget(parent);
    case ControlKind::ProgressBar:
        return new QProgressBar(parent);
    }
    return new QWidget(parent);
}

// A combo box's template height includes its drop-down list; the closed box is one line.
int ClosedHeight(const CControlTemplate& control) {
    return control.kind == ControlKind::ComboBox ? 12 : control.cy;
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_charWidth = metrics.horizontalAdvance(letters) / letters.size();
    m_lineHeight = metrics.height();
}

int CDialogUnits::X(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_charWidth / 4));
}

int CDialogUnits::Y(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_lineHeight / 8));
}

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    const int left = X(x);
    const int top = Y(y);
    return {left, top, X(x + cx) - left, Y(y + cy) - top};
}

QFont DialogFont(const CDialogTemplate& dialog) {
    QFont font(QString::fromStdString(dialog.fontFamily));
    font.setPointSize(dialog.pointSize);
    return font;
}

std::vector<QWidget*> BuildDialog(QWidget* parent, const CDialogTemplate& dialog) {
    parent->setFont(DialogFont(dialog));
    const CDialogUnits units(parent->font());
    parent->resize(units.X(dialog.cx), units.Y(dialog.cy));
    std::vector<QWidget*> controls;
    for (const CControlTemplate& control : dialog.controls) {
        QWidget* widget = MakeControl(control, parent);
        widget->setProperty(kIdProperty, control.id);
        widget->setProperty(kClassProperty, QString::fromLatin1(ControlClassName(control.kind)));
        widget->setProperty(kStyleProperty, control.style);
        widget->setGeometry(
            units.ToPixels(control.x, control.y, control.cx, ClosedHeight(control)));
        widget->setEnabled(!(control.style & ctl::kDisabled));
        widget->setVisible(!(control.style & ctl::kHidden));
        if (control.kind == ControlKind::GroupBox)
            widget->lower(); // a frame stays behind the controls it surrounds
        controls.push_back(widget);
    }
    return controls;
}

void TakeControlPlace(QWidget* replacement, const QWidget* original) {
    for (const char* property : {kIdProperty, kClassProperty, kStyleProperty})
        replacement->setProperty(property, original->property(property));
    replacement->setGeometry(original->geometry());
    replacement->setEnabled(original->isEnabled());
    replacement->setVisible(original->isVisibleTo(original->parentWidget()));
    replacement->stackUnder(const_cast<QWidget*>(original));
}

QWidget* ControlById(const QWidget* parent, int id) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (ControlId(child) == id)
            return child;
    }
    return nullptr;
}

int ControlId(const QWidget* control) {
    const QVariant id = control->property(kIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QString ControlClass(const QWidget* control) {
    return control->property(kClassProperty).toString();
}

unsigned ControlStyle(const QWidget* control) {
    return control->property(kStyleProperty).toUInt();
}

} // namespace brivox
