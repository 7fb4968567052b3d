#include "app/message/sheet/MessageSheetToolPages.h"

#include "app/message/tools/QvPictureToolPage.h"
#include "app/message/tools/QvTextViewToolPage.h"
#include "app/message/tools/QvToolPage.h"

// The compose and view tool pages are one class each with a flag: decorated
// compose, HTML view.
std::unique_ptr<QvToolPage> MakeProgramToolPage(QvMessageSheet::ToolKind kind, QvMessageRecord* record) {
  using Tool = QvMessageSheet::ToolKind;
  switch (kind) {
    case Tool::kHandwritingEdit: return std::make_unique<QvHandwritingToolPage>(record);
    case Tool::kPlainEdit: return std::make_unique<QvEditToolPage>(record, 0);
    case Tool::kDecoratedEdit: return std::make_unique<QvEditToolPage>(record, 1);
    case Tool::kHandwritingView: return std::make_unique<QvPictureViewToolPage>(record);
    case Tool::kPlainView: return std::make_unique<QvTextViewToolPage>(record, 0);
    case Tool::kHtmlView: return std::make_unique<QvTextViewToolPage>(record, 1);
  }
  return nullptr;
}
