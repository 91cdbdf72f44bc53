#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

CCommand SendFileCommand();
CCommand ReceiveFileCommand();

} // namespace brivox::cli
