// The attachments of a message page: a small-icon list, one item per file
// (icon by file type, label the file's name), painted by the control so that
// pictographs in names show as pictures. It keeps each item's full path,
// steps, saves, opens and removes attachments and resizes to its content.
// Opening is only for viewable types and goes through the platform's
// allow-listed hand-off; a proposed save name is one safe base name.
#pragma once

#include <map>
#include <string>

#include "app/foundation/QvEllipsisStatic.h"
#include "app/foundation/QvFlatButton.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CListCtrl.h"
#include "platform/framework/Containers.h"
#include "platform/gdi/ScopedGdi.h"

// The label of an attachment: the text after the last "\", failing that after
// the last ":", else the whole path.
CString AttachmentLabel(const CString& path);
// The name proposed when an attachment is saved: one base name ("/" and "\"
// both separate folders), without "..", leading dots, control characters or
// characters names may not hold; kDefaultSaveName when nothing of it is left.
constexpr const wchar_t* kDefaultSaveName = L"attachment";
CString AttachmentSaveName(const CString& label);
// Whether the shell may be asked to open a file of this name: only types
// that are viewed, never a program, a script, a shortcut or active content.
bool IsViewableAttachment(const CString& label);
// Whether the name's extension is the stored-mail type, which is imported,
// not opened.
bool IsMailFileAttachment(const CString& label);

class QvAttachedFileListCtrl : public CListCtrl {
 public:
  static constexpr UINT kPlaceholderText = 20162;
  static constexpr UINT kOpenQuestion = 20054;
  static constexpr UINT kSavedNotice = 20059;
  static constexpr UINT kSaveFailed = 20060;
  static constexpr UINT kOpenFailed = 20142;
  static constexpr UINT kPlaceholderBitmap = 305;

  QvAttachedFileListCtrl() = default;
  ~QvAttachedFileListCtrl() override;

  // A small-icon list with its image list (32 by 32, growing by 128).
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  void AddFile(const CString& path, int index, bool fit);
  void SetFiles(const CStringArray& paths, bool placeholder);
  int GetSelectedIndex() const;
  bool Contains(const CString& path) const;
  void SelectItem(int index);
  void RemoveItem(int index);
  int RemoveSelected();
  void RemoveAll();
  void TruncateToRows(int rows);
  int GetVisibleRowCount() const;
  bool SaveSelected();
  bool OpenSelected();
  void FitToContent();

  int GetPathCount() const { return static_cast<int>(paths_.GetSize()); }
  CString GetPath(int index) const;
  // The image an item shows (its index in the image list), -1 for none.
  int GetItemImage(int index) const;
  // The number of shell look-ups made for icons: one per extension.
  int GetIconLookups() const { return iconLookups_; }
  bool IsTruncated() const { return truncated_; }

  // The arrow keys' neighbours; a non-zero view mode makes left and right
  // step between messages.
  void SetNeighbours(int viewMode, HWND above, HWND below, HWND left);
  void SetResizeNotice(bool on) { resizeNotice_ = on; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL PreTranslateMessage(MSG* msg) override;

 private:
  void Paint();
  bool OnKeyDown(UINT key);
  void PostMenuAt(POINT client);
  CString SelectedLabel(int* index) const;

  CImageList images_;
  CStringArray paths_;
  QvEllipsisStatic more_;
  bool resizeNotice_ = true;
  int viewMode_ = 0;
  HWND above_ = nullptr;
  HWND below_ = nullptr;
  HWND left_ = nullptr;
  bool truncated_ = false;
  bool firstItemGrey_ = false;
  POINT tap_{};
  std::map<std::wstring, HICON> icons_;
  qv::ScopedGdiObject<HBITMAP> placeholder_;
  int iconLookups_ = 0;
};

// The flat button beside the list that adds an attachment.
class QvAttachedFileButton : public QvFlatButton {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
