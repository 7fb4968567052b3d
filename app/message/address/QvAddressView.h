// The address fields (To, Cc, Bcc, From) of the message pages: a growing
// edit field that knows where each address of its comma-separated text
// begins and ends, lets a read-only view step from address to address and
// checks the syntax of what was typed. A composed field holds at most
// kMaxAddresses addresses; a received one shows however many it has, with
// every lookup over its addresses logarithmic.
#pragma once

#include "app/foundation/QvFlatButton.h"
#include "app/foundation/QvFlexibleEdit.h"
#include "app/foundation/UiText.h"
#include "platform/framework/Containers.h"

// Cuts a selection out of a working text.
class QvTextCutter {
 public:
  explicit QvTextCutter(const CString& text = CString()) : text_(text) {}
  virtual ~QvTextCutter() = default;

  // The text loses the characters from `start` up to (not including) `end`;
  // `selected` receives them. Positions outside the text are clamped.
  void Cut(CString& selected, int start, int end);
  const CString& GetText() const { return text_; }

 private:
  CString text_;
};

class QvAddressView : public QvFlexibleEdit {
 public:
  // The most addresses a composed field takes.
  static constexpr int kMaxAddresses = 64;
  // CheckAddresses' answer beyond the syntax results: too many addresses.
  static constexpr int kTooManyAddresses = 4;
  // The text shown for kTooManyAddresses.
  static constexpr UINT kTooManyText = 20132;

  void GetAddresses(CStringArray& addresses);
  // False when a writable field could not take them all (it keeps the first
  // kMaxAddresses).
  bool SetAddresses(const CStringArray& addresses);
  // False when a writable field is already full.
  bool AddAddress(const CString& text, bool append);
  bool ReplaceSelection(const CString& text);
  int CheckAddresses();
  virtual void SelectCurrentAddress();
  void ClearAll();

  int GetAddressCount();
  int GetCurrentIndex() const { return current_; }
  // The range of an address (start, length) over the text; empty past the end.
  QvAddressRange GetAddressRange(int index);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void BuildRanges();
  void DropRanges() { ranges_.RemoveAll(); }
  // The last range whose start is at or before the position.
  int AddressAt(int position);
  bool OnKeyDown(UINT key);
  // A read-only field after its first paint: the view draws the text itself,
  // line by line, with pictographs as pictures.
  void PaintText();
  CString CleanAddress(const CString& text) const;

  CArray<QvAddressRange> ranges_;
  int current_ = 0;
  CString textCache_;
  bool noteSelection_ = false;
  bool firstPaintDone_ = false;
};

// The flat button that labels an address row and opens the contact chooser.
class QvAddressButton : public QvFlatButton {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The address field of the handwriting pages: as tall as its first ten
// characters need (the page lays it out), repainted when a read-only field
// loses the focus, and scrolled sideways to the address it selects.
class QvTegakiAddressView : public QvAddressView {
 public:
  QvTegakiAddressView() { SetParentResizeNotify(false); }
  int TegakiNeededHeight() const;
  void SelectCurrentAddress() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
