#include "app/message/sheet/MessageSheetToolPages.h"

#include "app/message/tools/QvToolPage.h"

std::unique_ptr<QvToolPage> MakeProgramToolPage(QvMessageSheet::ToolKind kind, QvMessageRecord* record) {
  using Tool = QvMessageSheet::ToolKind;
  switch (kind) {
    case Tool::kPlainEdit: return std::make_unique<QvEditToolPage>(record, 0);
    case Tool::kDecoratedEdit: return std::make_unique<QvEditToolPage>(record, 1);
    default: return nullptr;
  }
}
