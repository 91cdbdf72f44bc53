#include "platform/DialogTemplate.h"

namespace brivox {

const char* ControlClassName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Static:
        return "static";
    case ControlKind::GroupBox:
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
        return "button";
    case ControlKind::ComboBox:
        return "combobox";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::RichEdit:
        return "richedit20a";
    case ControlKind::ListView:
        return "syslistview32";
    case ControlKind::ListBox:
        return "listbox";
    case ControlKind::ProgressBar:
        return "msctls_progress32";
    }
    return "";
}

} // namespace brivox
