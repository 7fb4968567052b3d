// The clickable stretches of a message text: web addresses, mail addresses
// and telephone numbers, found in one pass and kept in ascending order so a
// caret position maps to its link by binary search. The read-only text view
// rebuilds the list whenever its text changes.
#pragma once

#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"

// One found stretch, in UTF-16 code units of the scanned text.
struct QvLinkRange {
  static constexpr int kMail = 1;
  static constexpr int kWeb = 2;
  static constexpr int kTelephone = 3;

  int start;
  int length;
  int kind;
};

class QvLinkRangeList {
 public:
  // Longest range kept for underlining; a web address beyond it is still
  // opened whole (GetLinkText).
  static constexpr int kMaxWebLength = 240;
  static constexpr int kMaxMailLength = 64;
  static constexpr int kMaxTelephoneDigits = 32;
  static constexpr int kMinBareTelephoneDigits = 10;

  QvLinkRangeList() = default;
  virtual ~QvLinkRangeList() = default;

  // Keeps a copy of the text (null counts as empty) and finds its ranges.
  void Scan(const wchar_t* text);

  // Index of the range holding the position (its end excluded), or -1.
  int FindRangeAt(int position) const;
  // Index of the range nearest the position, for stepping from a caret to a
  // neighbouring link; 0 for an empty list.
  int FindNearestRange(int position) const;
  bool IsValidIndex(int index) const;
  // The caller checks the index first (IsValidIndex).
  const QvLinkRange& GetRange(int index) const;
  int GetCount() const;
  const CString& GetText() const;

  // The text to act on for a range: a web address whole even when its range
  // was capped at kMaxWebLength; the range's own text for the other kinds.
  // Empty for an invalid index.
  CString GetLinkText(int index) const;

 private:
  bool Covered(int position) const { return FindRangeAt(position) != -1; }
  void AddRange(int start, int length, int kind, int fullLength);
  int WebRule(int tokenStart, int tokenEnd, int offset);
  int MailRule(int tokenStart, int tokenEnd, int offset);
  int TelephoneRule(int tokenStart, int tokenEnd, int offset);

  CArray<QvLinkRange> ranges_;
  // Parallel to ranges_: the stretch's length before any cap.
  CArray<int> fullLengths_;
  CString text_;
};

// What a link of a received mail may do. Only web links over http or https
// open (after the person saw the target); "mailto:" composes and "tel:" dials;
// every other scheme, a path or "file:" is refused.
enum class QvLinkAction { kRefuse = 0, kOpenWeb, kCompose, kDial };

// Classifies a link target (a scanned range's text or an HTML link's href).
// `argument` receives what the action takes: the URL, the address(es) after
// "mailto:" or the number after "tel:"; it is emptied on kRefuse.
QvLinkAction ClassifyLinkTarget(const wchar_t* target, CString& argument);

// The action for a scanned range: kind 1 composes, kind 2 opens (it is always
// http or https), kind 3 dials; `argument` as above.
QvLinkAction ActionForRange(const QvLinkRangeList& list, int index, CString& argument);
