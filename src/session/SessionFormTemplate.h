#pragma once

#include "platform/DialogTemplate.h"

namespace brivox {

// Dialog 130, the session form: every control with its id, kind, text and style, laid out so
// that the positional bindings meet the controls they name.
const CDialogTemplate& SessionFormTemplate();

} // namespace brivox
