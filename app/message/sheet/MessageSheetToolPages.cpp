#include "app/message/sheet/MessageSheetToolPages.h"

#include "app/message/tools/QvToolPage.h"

std::unique_ptr<QvToolPage> MakeProgramToolPage(QvMessageSheet::ToolKind kind, QvMessageRecord* record) {
  (void)kind;
  (void)record;
  return nullptr;
}
