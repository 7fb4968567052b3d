// The template chooser: the program's file browser over ".whm" files. Saving
// checks the typed name; choosing loads the template, trims its pictures and
// shows it in the preview before it is taken.
#pragma once

#include <string>

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "app/mailops/QvMessageRecord.h"

class QvTemplateFileBrowser : public QvFileBrowser {
 public:
  enum Mode : int { kChoose = 0, kSave = 1 };
  // A template file is at most this big, and its HTML text (terminator
  // included) at most kMaxHtmlBytes in the system code page.
  static constexpr uint64_t kMaxFileBytes = 153600;
  static constexpr size_t kMaxHtmlBytes = 10241;
  static constexpr size_t kMaxImages = 20;
  static constexpr uint64_t kMaxImageBytes = 92160;
  static constexpr size_t kMaxAttachments = 20;

  QvTemplateFileBrowser();

  // Runs the browser modally over `parent` in `mode`, starting in
  // `initialFolder`; the chosen path into `path` (".whm" added on saving
  // when missing). 1 on OK.
  INT_PTR Run(HWND parent, const std::wstring& initialFolder, std::wstring* path, int mode);

  // The template chosen (valid after Run returned 1 in choose mode).
  QvMessageRecord& Record() { return record_; }

  void OnOK() override;
  void OpenSelectedItem() override;

  // True when `name` may be saved as (a trailing ".whm" ignored).
  static bool IsValidSaveName(const std::wstring& name);
  // Drops inline pictures that are no GIF or JPEG, past the 20th kept, or
  // from the one that takes the sum of sizes past 92,160 bytes on; cuts the
  // attachments to 20. True when anything was dropped.
  static bool TrimInlineImages(QvMessageRecord* record);
  // Checks a loaded template's file size and HTML text; false when too big.
  static bool FitsLimits(uint64_t fileBytes, const QvMessageRecord& record);

 private:
  // The preview of the selected item; true when it ended the browser with OK.
  bool PreviewSelected();

  OPENFILENAMEW request_{};
  wchar_t file_[260] = {};
  std::wstring initialFolder_;
  QvMessageRecord record_;
  int mode_ = kChoose;
};
