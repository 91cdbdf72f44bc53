#pragma once

#include <string>
#include <vector>

namespace brivox {

enum class ControlKind {
    Static,
    GroupBox,
    PushButton,
    CheckBox,
    ComboBox,
    Edit,
    RichEdit,
    ListView,
    ListBox,
    ProgressBar
};

// Style bits of a control template, with the values the window system gives them, since code
// (the control binder) reads some of them back: a button's low 8 bits tell its type.
namespace ctl {
constexpr unsigned kButtonTypeMask = 0xFF;
constexpr unsigned kPushButton = 0x00;
constexpr unsigned kAutoCheckBox = 0x03;
constexpr unsigned kGroupBox = 0x07;
constexpr unsigned kPushLike = 0x1000;   // a check box drawn as a button
constexpr unsigned kMultiLine = 0x0004;  // edit
constexpr unsigned kReadOnly = 0x0800;   // edit
constexpr unsigned kDigitsOnly = 0x2000; // edit
constexpr unsigned kSorted = 0x0100;     // combo box
constexpr unsigned kDisabled = 0x08000000;
constexpr unsigned kHidden = 0x40000000; // not shown when the dialog is built
} // namespace ctl

// One control of a dialog: position and size in dialog units.
struct CControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Static;
    std::string text;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    unsigned style = 0;
};

struct CDialogTemplate {
    int id = 0;
    std::string caption;
    int cx = 0;
    int cy = 0;
    std::string fontFamily;
    int pointSize = 8;
    std::vector<CControlTemplate> controls;
};

// The window class name a control of this kind answers to the kind query.
const char* ControlClassName(ControlKind kind);

} // namespace brivox
