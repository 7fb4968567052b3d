#include "outside/Markwright/QvHtmlFileList.h"

QvHtmlFileList::QvHtmlFileList() = default;
QvHtmlFileList::~QvHtmlFileList() = default;
QvHtmlFileList::QvHtmlFileList(const QvHtmlFileList&) = default;
QvHtmlFileList& QvHtmlFileList::operator=(const QvHtmlFileList&) = default;

void QvHtmlFileList::Add(const QvHtmlFile& file) { files_.push_back(file); }

void QvHtmlFileList::Add(const std::wstring& path, const std::wstring& name, const std::wstring& type,
                         const std::wstring& contentId) {
  files_.emplace_back(path, name, type, contentId);
}

size_t QvHtmlFileList::GetCount() const { return files_.size(); }
bool QvHtmlFileList::IsEmpty() const { return files_.empty(); }

const QvHtmlFile* QvHtmlFileList::GetAt(size_t index) const {
  return index < files_.size() ? &files_[index] : nullptr;
}

QvHtmlFile* QvHtmlFileList::GetAt(size_t index) { return index < files_.size() ? &files_[index] : nullptr; }

bool QvHtmlFileList::RemoveAt(size_t index) {
  if (index >= files_.size()) return false;
  files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

void QvHtmlFileList::Clear() { files_.clear(); }

const QvHtmlFile* QvHtmlFileList::FindByContentId(const std::wstring& contentId) const {
  // Stored ids are lower case already.
  const QvHtmlFile key(L"", L"", L"", contentId);
  for (const QvHtmlFile& file : files_) {
    if (file.GetContentId() == key.GetContentId()) return &file;
  }
  return nullptr;
}
