#include "outside/Markwright/QvHtmlFile.h"

#include <utility>

namespace {

std::wstring Lower(std::wstring text) {
  // Content ids are ASCII by RFC 2392; anything else is kept as it is.
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

}  // namespace

QvHtmlFile::QvHtmlFile() = default;

QvHtmlFile::QvHtmlFile(std::wstring path, std::wstring name, std::wstring type, std::wstring contentId)
    : path_(std::move(path)), name_(std::move(name)), type_(std::move(type)), contentId_(Lower(std::move(contentId))) {}

QvHtmlFile::~QvHtmlFile() = default;
QvHtmlFile::QvHtmlFile(const QvHtmlFile&) = default;
QvHtmlFile& QvHtmlFile::operator=(const QvHtmlFile&) = default;

const std::wstring& QvHtmlFile::GetPath() const { return path_; }
void QvHtmlFile::SetPath(const std::wstring& path) { path_ = path; }
const std::wstring& QvHtmlFile::GetName() const { return name_; }
void QvHtmlFile::SetName(const std::wstring& name) { name_ = name; }
const std::wstring& QvHtmlFile::GetType() const { return type_; }
void QvHtmlFile::SetType(const std::wstring& type) { type_ = type; }
const std::wstring& QvHtmlFile::GetContentId() const { return contentId_; }
void QvHtmlFile::SetContentId(const std::wstring& contentId) { contentId_ = Lower(contentId); }
