// One file the HTML control shows or sends with a message: an inline image
// (its content id is what the HTML text refers to) or an attachment.
#pragma once

#include <string>

#include "outside/Markwright/MarkwrightExport.h"

class MARKWRIGHT_API QvHtmlFile {
 public:
  QvHtmlFile();
  QvHtmlFile(std::wstring path, std::wstring name, std::wstring type, std::wstring contentId);
  ~QvHtmlFile();
  QvHtmlFile(const QvHtmlFile&);
  QvHtmlFile& operator=(const QvHtmlFile&);

  // The full device path of the file.
  const std::wstring& GetPath() const;
  void SetPath(const std::wstring& path);
  // The name shown for the file (the file's own name as the mail gave it).
  const std::wstring& GetName() const;
  void SetName(const std::wstring& name);
  // The MIME type, "image/jpeg".
  const std::wstring& GetType() const;
  void SetType(const std::wstring& type);
  // "cid:..." or the part's location, kept in lower case: references in the
  // HTML text are matched without regard to case.
  const std::wstring& GetContentId() const;
  void SetContentId(const std::wstring& contentId);

 private:
  std::wstring path_;
  std::wstring name_;
  std::wstring type_;
  std::wstring contentId_;
};
