#pragma once

#include "options/KeptText.h"
#include "options/OptionStore.h"

#include <QPointer>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace brivox {

// An option store that also ties a form's controls to its keys. Keys are handed out by position:
// a registration names a control kind and a comma-separated key list, and the n-th control of that
// kind, top to bottom then left to right, gets the n-th key ("*" skips a control). Loading fills
// the controls from the store; storing writes them back with range and length checks.
class CControlBinder : public COptionStore {
public:
    enum ValueType : int { kComboIndex = 1, kRangeInt = 2, kLengthText = 3, kCheckState = 4 };
    using Limits = std::pair<int32_t, int32_t>;

    void Attach(QWidget* parent) { m_defaultParent = parent; }
    void SetTemplate(const std::string& name, const std::string& text);

    void BindByPosition(const std::string& kind, const std::string& keys, const std::string& labels,
                        ValueType valueType, QWidget* parent, unsigned buttonStyle);
    void BindCheckBoxes(const std::string& keys, const std::string& labels);
    // One item list ("a|b|c") per key that is not "*".
    void BindCombos(const std::string& keys, const std::string& labels,
                    const std::vector<std::string>& itemLists);
    // One (minimum, maximum) pair per key that is not "*".
    void BindLengthEdits(const std::string& keys, const std::string& labels,
                         const std::vector<Limits>& lengths);
    void BindRangeEdits(const std::string& keys, const std::string& labels,
                        const std::vector<Limits>& ranges);

    void LoadControls(QWidget* parent = nullptr);
    void LoadControl(QWidget* control);
    // The message of the first control that failed validation, "" when everything was stored.
    std::string StoreControls(bool validate, bool clamp, QWidget* parent,
                              const std::string& caption, bool trim);
    std::string StoreControl(QWidget* control, bool validate, bool clamp,
                             const std::string& caption, bool trim, bool silent);

    std::string CheckRange(const std::string& key, int32_t value) const;
    std::string CheckLength(const std::string& key, int32_t length) const;
    int32_t ClampedInt(const std::string& key) const;

    // Developer overlay: every bound key's name drawn over its control for a few seconds.
    void ShowKeys();

    std::string KeyOf(const QWidget* control) const;
    QWidget* ControlOf(const std::string& key) const;

    // The parent's direct children ordered by top edge, then left edge.
    static std::vector<QWidget*> ChildrenInPositionOrder(const QWidget* parent);

private:
    struct Binding {
        QPointer<QWidget> control;
        std::string kind;
        ValueType valueType = kComboIndex;
        std::string label;
        std::optional<Limits> range;
        std::optional<Limits> length;
    };

    std::string Check(const std::string& key, int32_t value, std::optional<Limits> Binding::*rule,
                      const char* templateName, const char* minName, const char* maxName) const;
    std::string Fail(QWidget* control, const std::string& message, const std::string& caption,
                     bool silent);
    // Calls apply(binding, limits or list) for every key that is not "*", in order.
    template <typename Entry, typename Apply>
    void ForEachBoundKey(const std::string& keys, const std::vector<Entry>& entries, Apply apply);

    QWidget* m_defaultParent = nullptr;
    std::map<std::string, std::string> m_templates;
    std::map<std::string, Binding> m_bindings;
    std::map<const QWidget*, std::string> m_keyByControl;
    std::map<std::string, CKeptText> m_texts; // what each text edit was given, by key
};

} // namespace brivox
