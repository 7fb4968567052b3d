// The files of one message that the HTML control works with, in order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "outside/Markwright/MarkwrightExport.h"
#include "outside/Markwright/QvHtmlFile.h"

class MARKWRIGHT_API QvHtmlFileList {
 public:
  QvHtmlFileList();
  ~QvHtmlFileList();
  QvHtmlFileList(const QvHtmlFileList&);
  QvHtmlFileList& operator=(const QvHtmlFileList&);

  void Add(const QvHtmlFile& file);
  void Add(const std::wstring& path, const std::wstring& name, const std::wstring& type,
           const std::wstring& contentId);
  size_t GetCount() const;
  bool IsEmpty() const;
  // Null past the end.
  const QvHtmlFile* GetAt(size_t index) const;
  QvHtmlFile* GetAt(size_t index);
  // False past the end.
  bool RemoveAt(size_t index);
  void Clear();
  // The first file whose content id is `contentId`, compared without regard
  // to the case of ASCII letters; null when none.
  const QvHtmlFile* FindByContentId(const std::wstring& contentId) const;

 private:
  std::vector<QvHtmlFile> files_;
};
