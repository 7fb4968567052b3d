// Building and comparing header records in tests.
#pragma once

#include <cwchar>
#include <string>

#include "engine/store/QvMessageHeader.h"

inline QvMessageHeader::Record MakeRecord(uint32_t id, const std::wstring& subject = L"",
                                          const std::wstring& from = L"") {
  QvMessageHeader::Record r{};
  r.id = id;
  QvMessageHeader::FillShortText(r.subject, subject.empty() ? L"subject " + std::to_wstring(id) : subject);
  QvMessageHeader::FillLongText(r.fromAddress, from.empty() ? L"user" + std::to_wstring(id) + L"@example.jp" : from);
  QvMessageHeader::FillLongText(r.toAddress, L"me@example.jp");
  QvMessageHeader::FillShortText(r.fromName, L"名前");
  r.date = SYSTEMTIME{2024, 5, 3, 17, 1, 2, 3, 4};
  return r;
}

inline bool SameTexts(const QvMessageHeader::Record& a, const QvMessageHeader::Record& b) {
  return a.id == b.id && wcscmp(a.toAddress, b.toAddress) == 0 && wcscmp(a.fromAddress, b.fromAddress) == 0 &&
         wcscmp(a.fromName, b.fromName) == 0 && wcscmp(a.subject, b.subject) == 0 && a.reserved == b.reserved;
}

inline std::string EmptyHeaderFile() { return QvMessageHeader::EmptyIndex(); }
