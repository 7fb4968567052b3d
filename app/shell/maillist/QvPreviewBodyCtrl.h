// The mail-list screen's preview pane (control 1070): the selected message
// read for a glance, never edited. It keeps the folder and message it shows
// so that the same message is not loaded twice, and the record it loaded.
//
// The pane is the HTML edit control in reading mode: decorated mail shows as
// HTML with its inline pictures, every other mail as its plain text, with
// the pictographs the control draws through the program's painter. How a
// record reaches the screen is decided in one place (Present).
#pragma once

#include "app/mailops/QvMessageRecord.h"
#include "platform/framework/CWnd.h"

struct NMHTMLEDIT;

class QvPreviewBodyCtrl : public CWnd {
 public:
  static constexpr UINT kControlId = 1070;
  // Child, visible, read-only.
  static constexpr DWORD kStyle = 0x50000800;
  // The plain preview reads at most this many characters of a message that
  // is not decoded whole.
  static constexpr int kPreviewLimit = 1400;
  static constexpr UINT kTextLimit = 10240;

  // The control as a child of `parent`, in reading mode; sized by the layout.
  bool CreatePane(CWnd* parent);

  // Loads and shows the message unless it is the one shown; `whole` decodes
  // all of it (status bit 5 of its row). A failed load empties the pane.
  void ShowMessage(DWORD folderId, DWORD messageId, bool whole);
  void ClearPane();

  // The control's question for a picture's file (notification 2): a "cid:"
  // reference, matched without regard to case, gets the path of the loaded
  // record's inline file; anything else is left unanswered.
  void ResolveInlineFile(NMHTMLEDIT* request) const;

  bool IsShown() const { return shown_; }
  DWORD ShownFolder() const { return folderId_; }
  DWORD ShownMessage() const { return messageId_; }
  const QvMessageRecord& Record() const { return record_; }
  // How often a message was read from the store for the pane.
  int LoadCount() const { return loads_; }

 private:
  // The one place that puts a loaded record on the screen.
  void Present(const QvMessageRecord& record);

  bool shown_ = false;
  DWORD folderId_ = 0;
  DWORD messageId_ = 0;
  QvMessageRecord record_;
  int loads_ = 0;
};
