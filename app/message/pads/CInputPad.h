// The input pads' door: other programs of the device and the program's own
// edit pages open a pad through it and take the picked text back.
#pragma once

#include <string>
#include <vector>

#include "platform/framework/CWnd.h"

enum e_pad_type {
  kPadTemplate = 1,     // face marks from "FaceMark.pad" beside the program
  kPadPictureChar = 2,  // the pictograph set
  kPadWebPictChar = 6,  // the web pictograph set
};

class CInputPad {
 public:
  CInputPad();
  ~CInputPad();
  CInputPad(const CInputPad& other);
  CInputPad& operator=(const CInputPad& other);

  // Runs the pad of `type` modally over `parent`, which also receives the
  // pad's insert and other-pad messages. TRUE with a picked text; FALSE
  // otherwise (IsChangeOccured tells whether the user asked for the other
  // pad). Any other type opens nothing.
  int CreateInputPad(e_pad_type type, CWnd* parent);

  const std::wstring& GetInputString() const { return text_; }
  // The picked text in the system code page, cut on a character boundary so
  // that it and its terminating zero fit `size` bytes; the buffer is always
  // terminated when size > 0. Returns the bytes the whole text needs without
  // the terminator, so a result >= size tells the caller the text was cut.
  int GetInputString(char* buffer, int size) const;

  void SetMailMode(int mode) { mailMode_ = mode; }
  int GetMailMode() const { return mailMode_; }
  int IsChangeOccured() const { return changeOccurred_; }

  // The template file of type 1: the running program's folder + "FaceMark.pad".
  static std::wstring TemplateFilePath();
  // The folder type 1 reads its file from, ending in a separator; empty
  // gives back the running program's folder (tests name one of the device).
  static void SetProgramFolder(const std::wstring& folder);

 private:
  int CreateTemplateInputPad(CWnd* parent, const std::wstring& path);
  // The lines of the template file at `path`; false when it cannot be read.
  static bool ReadTemplateLines(const std::wstring& path, std::vector<std::wstring>* lines);
  // The running program's path up to and including its last "\".
  static std::wstring GetModulePath();

  std::wstring text_;
  int mailMode_ = 0;
  int changeOccurred_ = 0;
};
