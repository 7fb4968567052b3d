// The compose side of the message window: the common base of the plain and
// the decorated compose pages. It turns what the person typed into the
// sheet's message record (addresses, subject, attachments, body) and keeps
// a mail within its limits: 64 addresses a field, 64 attachments, 128
// characters of subject, the body's limit and the account's total size.
// A refused action leaves the record as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/message/pages/QvBaseMessagePage.h"

class QvAddressView;
class QvAttachedFileListCtrl;
class QvMailRichEditCtrl;
class CCmdUI;

class QvEditMessagePage : public QvBaseMessagePage {
 public:
  static constexpr int kMaxAddresses = 64;
  static constexpr int kMaxAttachments = 64;
  static constexpr int kMaxSubject = 128;
  static constexpr int kMaxAddressText = 29900;
  // Room kept in the size limit for a handwritten picture.
  static constexpr uint64_t kPictureRoom = 81920;

  // Texts the page shows.
  static constexpr UINT kBadBracketsText = 20155;
  static constexpr UINT kBadAddressText = 20068;
  static constexpr UINT kTooManyAddressesText = 20112;
  static constexpr UINT kUnreadableFileText = 20113;
  static constexpr UINT kCarrierSizeText = 20141;
  static constexpr UINT kSizeText = 20066;
  static constexpr UINT kQuoteCutText = 20072;
  static constexpr UINT kSelectText = 20027;
  static constexpr UINT kEndSelectText = 20028;

  // The commands the page answers.
  enum Command : UINT {
    kChooseContact = 40083,
    kChooseReceived = 40220,
    kChooseSent = 40215,
    kChooseReplacing = 40152,
    kAddAttachment = 40070,
    kRemoveAttachment = 40089,
    kInsertSignature = 40071,
    kInsertQuote = 40138,
    kSelectArea = 40124,
    kInputPad = 40143,
    kInputMethod = 40205,
    kDeleteAtCaret = 40092,
    kDeleteKey = 2528,
  };

  // The answer of the address check of one field: 0 passes, else the text
  // shown (kBadBracketsText, kBadAddressText or kTooManyAddressesText).
  struct AddressCheck {
    UINT text = 0;
    CString message;
  };

  QvEditMessagePage(UINT templateId, QvMessageRecord* record, QvMailRichEditCtrl* body, int bodyLimit);
  ~QvEditMessagePage() override;

  // Slots added to the page bases, in this order.
  virtual void AddAttachments();
  virtual void PasteText();
  virtual void InsertSignature();
  virtual void UpdateInputPadUI(CCmdUI* ui);
  virtual bool AllowPictographs(int inBody);
  virtual BOOL CheckSizeLimits();

  // The page interface.
  BOOL OnPageActivate() override;
  BOOL OnPageDeactivate() override;
  void LoadPageMenu() override;
  void CustomizePopupMenu(CMenu* popup) override;
  BOOL StorePage(int isActive, QvToolPage* toolPage) override;
  BOOL CheckBeforeSend(int value, QvToolPage* toolPage) override;
  void FocusFirstField(int flag, int b) override;
  void OnSheetClosing(int flag, int b) override;
  void FocusBody(int a, int b) override;
  uint64_t GetAttachmentTotals(int* count) override;
  void BeforeFill(int a, int b) override;
  void RefreshAttachments() override;
  void ClearAttachments() override;

  // Whether a handwritten picture still fits in the account's size limit;
  // says so when it does not.
  bool HasRoomForPicture();
  // The compose tool page's size check: the message stays kPictureRoom
  // below the size limit.
  BOOL CheckSize();
  // The address check of one field (To 1071, Cc 1046 or Bcc 1045).
  AddressCheck CheckAddressField(Row row);
  // Adds chosen files to the list by the limits: room, readable, total size.
  // Answers how many were added.
  int AddAttachmentFiles(const std::vector<std::wstring>& files);
  // Appends the chosen address to the focused address field (`replace`:
  // over its selection). False when nothing was added.
  bool ChooseAddressInto(int source, bool replace);
  // The file chooser for attachments; a test replaces it.
  static void SetAttachmentChooser(bool (*chooser)(HWND owner, std::vector<std::wstring>* files, int limit));

  int BodyLimit() const { return m_bodyLimit; }
  int SizeLimitMb() const { return m_sizeLimitMb; }
  UINT SizeLimitMessage() const { return m_sizeLimitMessage; }
  bool ChecksAddresses() const { return m_checkAddresses != 0; }
  bool HasJapaneseKeyboard() const { return m_japaneseKeyboard != 0; }
  bool IsSelecting() const;
  QvAddressView* AddressField(Row row) const;
  QvAttachedFileListCtrl* AttachmentList() const;
  // The body's text as the record keeps it (line breaks "\r\n").
  CString BodyText() const;
  // Whether nothing was entered: no address, subject, attachment or body.
  bool IsEmpty() const;
  // Sums the sizes of the listed attachments; false when one can't be read.
  bool ListedAttachmentBytes(uint64_t* total) const;

  BOOL OnInitDialog() override;

 protected:
  // The body's text replaced (the plain page) and the page laid out again.
  virtual void ReplaceBodySelection(const CString& text);
  virtual int BodyLength() const;
  uint64_t SizeLimitBytes() const { return static_cast<uint64_t>(m_sizeLimitMb) * 1024 * 1024; }
  // The size of a file, false when it can't be opened.
  static bool FileBytes(const wchar_t* path, uint64_t* size);
  // The row of the focused address field, or -1.
  int FocusedAddressRow() const;
  void ShowAddressError(HWND field);
  // The pad of `kind`; its text replaces the body's selection.
  void RunInputPad(int kind);
  // Writes the keypad mode and tells the keypad.
  static void SetKeypadMode(DWORD mode);
  // Writes the fields into the record (no checks).
  void CopyFieldsToRecord();

  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnChooseAddress(UINT id);
  afx_msg void OnChooseReplacing();
  afx_msg void OnAddAttachment();
  afx_msg void OnRemoveAttachment();
  afx_msg void OnPaste();
  afx_msg void OnCut();
  afx_msg void OnDeleteAtCaret(UINT id);
  afx_msg void OnInsertSignature();
  afx_msg void OnInsertQuote();
  afx_msg void OnSelectArea();
  afx_msg void OnInputPad();
  afx_msg void OnInputMethod();
  afx_msg void OnAddressKillFocus(UINT id);
  afx_msg void OnBodyChange();
  afx_msg void OnContextMenu(CWnd* wnd, CPoint point);
  afx_msg LRESULT OnAreaSelect(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnAddressError(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPadText(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOtherPad(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnCloseRequest(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnBack(WPARAM wParam, LPARAM lParam);
  afx_msg void OnUpdateNeedsSelection(CCmdUI* ui);
  afx_msg void OnUpdateRemoveAttachment(CCmdUI* ui);
  afx_msg void OnUpdateAddAttachment(CCmdUI* ui);
  afx_msg void OnUpdateBodyInsert(CCmdUI* ui);
  afx_msg void OnUpdateAddress(CCmdUI* ui);
  afx_msg void OnUpdatePaste(CCmdUI* ui);
  afx_msg void OnUpdateSelectArea(CCmdUI* ui);
  afx_msg void OnUpdateInputMethod(CCmdUI* ui);
  afx_msg void OnUpdateInputPad(CCmdUI* ui);

  QvMailRichEditCtrl* m_editBody = nullptr;
  CString m_addressError;
  int m_lastLineCount = 0;
  int m_checkAddresses = 1;
  int m_bodyLimit = 0;
  int m_sizeLimitMb = 3;
  UINT m_sizeLimitMessage = kSizeText;
  uint8_t m_japaneseKeyboard = 0;
  uint8_t m_padChanged = 0;
  uint8_t m_keypadSwitched = 0;
  int m_focusInBody = 1;
  int m_selectMode = 0;

  DECLARE_MESSAGE_MAP()
};

// The plain compose page (template 124): the body is a text view that
// shows pictographs.
class QvTextEditMessagePage : public QvEditMessagePage {
 public:
  static constexpr UINT kTemplate = 124;
  static constexpr int kBodyLimit = 29900;
  explicit QvTextEditMessagePage(QvMessageRecord* record);
  ~QvTextEditMessagePage() override;

  void InsertSignature() override;
  void PasteText() override;
  bool AllowPictographs(int inBody) override;
  uint64_t GetAttachmentTotals(int* count) override;
  // The page menu beside a handwriting page (182) or alone (181).
  void SetMenuId(UINT id) { m_menuId = static_cast<uint16_t>(id); }
  UINT MenuId() const { return m_menuId; }

 private:
  std::unique_ptr<QvMailRichEditCtrl> m_view;
};

// The device's keyboard: HKCU "keyboard layout\Preload" names the preloaded
// layout; the input method command needs the Japanese one.
constexpr const wchar_t* kJapaneseKeyboardLayout = L"e0090411";
bool IsJapaneseKeyboardPreloaded();
