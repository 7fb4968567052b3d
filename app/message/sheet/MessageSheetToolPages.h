// The program's tool pages for each slot of the message sheet.
#pragma once

#include <memory>

#include "app/message/sheet/QvMessageSheet.h"

// The tool page of `kind` over `record`; null when it cannot be made.
std::unique_ptr<QvToolPage> MakeProgramToolPage(QvMessageSheet::ToolKind kind, QvMessageRecord* record);
