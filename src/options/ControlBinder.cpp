#include "options/ControlBinder.h"

#include "platform/DialogBuilder.h"
#include "platform/DialogTemplate.h"
#include "platform/MessageBox.h"
#include "platform/TypingLimit.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <random>

namespace brivox {

namespace {

constexpr int kOverlayMilliseconds = 3000;

std::vector<std::string> SplitList(const std::string& list) {
    return list.empty() ? std::vector<std::string>{} : SplitText(list, ",");
}

QString EditText(const QWidget* control) {
    if (const auto* line = qobject_cast<const QLineEdit*>(control))
        return line->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(control))
        return plain->toPlainText();
    return {};
}

void SetEditText(QWidget* control, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(control))
        CTypingLimit::SetText(line, text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->setPlainText(text);
}

void SetTextLimit(QWidget* control, int32_t characters) {
    if (auto* line = qobject_cast<QLineEdit*>(control))
        CTypingLimit::Install(line, characters);
}

void SelectAll(QWidget* control) {
    if (auto* line = qobject_cast<QLineEdit*>(control))
        line->selectAll();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->selectAll();
}

void Replace(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The key names drawn over their controls, in random places and darkened random colours.
class CKeyOverlay : public QWidget {
public:
    struct Mark {
        QPoint at;
        QColor colour;
        QString text;
    };

    CKeyOverlay(QWidget* parent, std::vector<Mark> marks)
        : QWidget(parent), m_marks(std::move(marks)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(parent->rect());
        QTimer::singleShot(kOverlayMilliseconds, this, &QObject::deleteLater);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
        for (const Mark& mark : m_marks) {
            painter.setPen(mark.colour);
            painter.drawText(mark.at, mark.text);
        }
    }

private:
    std::vector<Mark> m_marks;
};

} // namespace

void CControlBinder::SetTemplate(const std::string& name, const std::string& text) {
    m_templates[name] = text;
}

std::vector<QWidget*> CControlBinder::ChildrenInPositionOrder(const QWidget* parent) {
    std::vector<QWidget*> children;
    if (parent == nullptr)
        return children;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            children.push_back(child);
    }
    std::stable_sort(children.begin(), children.end(), [](const QWidget* a, const QWidget* b) {
        return int64_t{a->y()} * 65536 + a->x() < int64_t{b->y()} * 65536 + b->x();
    });
    return children;
}

void CControlBinder::BindByPosition(const std::string& kind, const std::string& keys,
                                    const std::string& labels, ValueType valueType, QWidget* parent,
                                    unsigned buttonStyle) {
    const std::vector<std::string> keyList = SplitList(keys);
    const std::vector<std::string> labelList = SplitList(labels);
    size_t k = 0;
    size_t l = 0;
    for (QWidget* child : ChildrenInPositionOrder(parent != nullptr ? parent : m_defaultParent)) {
        if (k >= keyList.size())
            break;
        if (ControlClass(child).compare(QString::fromStdString(kind), Qt::CaseInsensitive) != 0)
            continue;
        if (kind == "button" && (ControlStyle(child) & ctl::kButtonTypeMask) != buttonStyle)
            continue;
        const std::string& key = keyList[k++];
        if (key == "*")
            continue;
        if (Find(key) == nullptr && TraceGateOpen())
            ShowMessage("km 27881: '" + key + "' not initialized", "", kMbOk);
        Binding& binding = m_bindings[key];
        binding.control = child;
        binding.kind = kind;
        binding.valueType = valueType;
        if (l < labelList.size())
            binding.label = labelList[l++];
        m_keyByControl[child] = key;
    }
}

template <typename Entry, typename Apply>
void CControlBinder::ForEachBoundKey(const std::string& keys, const std::vector<Entry>& entries,
                                     Apply apply) {
    size_t entry = 0;
    for (const std::string& key : SplitList(keys)) {
        if (key == "*")
            continue;
        if (entry >= entries.size())
            return;
        const Entry& value = entries[entry++];
        const auto found = m_bindings.find(key);
        if (found != m_bindings.end() && found->second.control)
            apply(found->second, value);
    }
}

void CControlBinder::BindCheckBoxes(const std::string& keys, const std::string& labels) {
    BindByPosition("button", keys, labels, kCheckState, nullptr, ctl::kAutoCheckBox);
}

void CControlBinder::BindCombos(const std::string& keys, const std::string& labels,
                                const std::vector<std::string>& itemLists) {
    BindByPosition("combobox", keys, labels, kComboIndex, nullptr, 0);
    ForEachBoundKey(keys, itemLists, [](Binding& binding, const std::string& items) {
        auto* combo = qobject_cast<QComboBox*>(binding.control.data());
        if (combo == nullptr)
            return;
        combo->clear();
        int position = 0;
        for (const std::string& item : SplitText(items, "|"))
            combo->insertItem(position++, QString::fromStdString(item));
    });
}

void CControlBinder::BindLengthEdits(const std::string& keys, const std::string& labels,
                                     const std::vector<Limits>& lengths) {
    BindByPosition("edit", keys, labels, kLengthText, nullptr, 0);
    ForEachBoundKey(keys, lengths, [](Binding& binding, const Limits& limits) {
        SetTextLimit(binding.control, limits.second);
        binding.length = limits;
    });
}

void CControlBinder::BindRangeEdits(const std::string& keys, const std::string& labels,
                                    const std::vector<Limits>& ranges) {
    BindByPosition("edit", keys, labels, kRangeInt, nullptr, 0);
    ForEachBoundKey(keys, ranges, [](Binding& binding, const Limits& limits) {
        binding.range = limits;
        SetTextLimit(binding.control,
                     static_cast<int32_t>(std::to_string(limits.second).size()) + 2);
    });
}

void CControlBinder::LoadControls(QWidget* parent) {
    const QWidget* owner = parent != nullptr ? parent : m_defaultParent;
    for (const auto& [key, binding] : m_bindings) {
        if (binding.control && binding.control->parentWidget() == owner)
            LoadControl(binding.control);
    }
}

void CControlBinder::LoadControl(QWidget* control) {
    const std::string key = KeyOf(control);
    if (key.empty())
        return;
    const Binding& binding = m_bindings.at(key);
    switch (binding.valueType) {
    case kRangeInt:
        SetEditText(control, QString::number(ClampedInt(key)));
        break;
    case kLengthText:
        SetEditText(control, m_texts[key].Show(GetString(key)));
        break;
    case kComboIndex:
        if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && combo->count() > 0)
            combo->setCurrentIndex(std::min(combo->count() - 1, GetInt(key, -1)));
        break;
    case kCheckState:
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setChecked(GetInt(key, 0) != 0);
        break;
    }
}

std::string CControlBinder::StoreControls(bool validate, bool clamp, QWidget* parent,
                                          const std::string& caption, bool trim) {
    for (QWidget* child : ChildrenInPositionOrder(parent != nullptr ? parent : m_defaultParent)) {
        std::string message = StoreControl(child, validate, clamp, caption, trim, false);
        if (!message.empty())
            return message;
    }
    return "";
}

std::string CControlBinder::StoreControl(QWidget* control, bool validate, bool clamp,
                                         const std::string& caption, bool trim, bool silent) {
    const std::string key = KeyOf(control);
    if (key.empty() || !m_bindings.at(key).control)
        return "";
    switch (m_bindings.at(key).valueType) {
    case kCheckState:
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            SetInt(key, button->isChecked() ? 1 : 0);
        break;
    case kComboIndex:
        if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && combo->count() > 0)
            SetInt(key, combo->currentIndex());
        break;
    case kRangeInt: {
        const int32_t value = ReadLeadingInt(EditText(control).trimmed().toStdString());
        if (validate) {
            if (std::string message = CheckRange(key, value); !message.empty())
                return Fail(control, message, caption, silent);
        }
        SetInt(key, value);
        if (!validate && clamp)
            SetInt(key, ClampedInt(key));
        break;
    }
    case kLengthText: {
        const QString text = EditText(control);
        if (validate) {
            if (std::string message = CheckLength(key, static_cast<int32_t>(text.size()));
                !message.empty())
                return Fail(control, message, caption, silent);
        }
        SetString(key, m_texts[key].Collect(text, trim));
        break;
    }
    }
    return "";
}

std::string CControlBinder::Fail(QWidget* control, const std::string& message,
                                 const std::string& caption, bool silent) {
    control->setFocus();
    SelectAll(control);
    if (!silent)
        ShowMessage(message, caption, kMbOk, QApplication::activeWindow());
    return message;
}

std::string CControlBinder::Check(const std::string& key, int32_t value,
                                  std::optional<Limits> Binding::*rule, const char* templateName,
                                  const char* minName, const char* maxName) const {
    const auto found = m_bindings.find(key);
    if (found == m_bindings.end() || !(found->second.*rule))
        return "";
    const auto [minimum, maximum] = *(found->second.*rule);
    if (value >= minimum && value <= maximum)
        return "";
    const auto text = m_templates.find(templateName);
    if (text == m_templates.end())
        return "Error";
    std::string message = text->second;
    Replace(message, minName, std::to_string(minimum));
    Replace(message, maxName, std::to_string(maximum));
    if (!found->second.label.empty())
        Replace(message, "$name", found->second.label);
    return message;
}

std::string CControlBinder::CheckRange(const std::string& key, int32_t value) const {
    return Check(key, value, &Binding::range, "range_invalid", "$range_min", "$range_max");
}

std::string CControlBinder::CheckLength(const std::string& key, int32_t length) const {
    return Check(key, length, &Binding::length, "chars_invalid", "$chars_min", "$chars_max");
}

int32_t CControlBinder::ClampedInt(const std::string& key) const {
    const auto found = m_bindings.find(key);
    int32_t value = 0;
    if (found == m_bindings.end() || found->second.valueType != kRangeInt || !TryGetInt(key, value))
        return -1;
    if (found->second.range)
        value = std::clamp(value, found->second.range->first, found->second.range->second);
    return value;
}

void CControlBinder::ShowKeys() {
    if (m_defaultParent == nullptr)
        return;
    std::minstd_rand random(30);
    auto offset = [&] { return static_cast<int>(random() % 20) - 10; };
    auto darkened = [&] { return std::max(0, static_cast<int>(random() % 256) - 51); };
    std::vector<CKeyOverlay::Mark> marks;
    for (const auto& [key, binding] : m_bindings) {
        if (!binding.control || binding.control->parentWidget() != m_defaultParent)
            continue;
        const QPoint at = binding.control->geometry().topLeft() + QPoint(offset(), offset() + 10);
        const QColor colour(darkened(), darkened(), darkened());
        marks.push_back({at, colour, QString::fromStdString(key)});
    }
    auto* overlay = new CKeyOverlay(m_defaultParent, std::move(marks));
    overlay->show();
    overlay->raise();
}

std::string CControlBinder::KeyOf(const QWidget* control) const {
    const auto found = m_keyByControl.find(control);
    return found == m_keyByControl.end() ? "" : found->second;
}

QWidget* CControlBinder::ControlOf(const std::string& key) const {
    const auto found = m_bindings.find(key);
    return found == m_bindings.end() ? nullptr : found->second.control.data();
}

} // namespace brivox
