#include "engine/store/QvRuleLine.h"

#include <cstdint>

#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"

std::wstring QvRuleLine::Clean(std::wstring_view text, size_t maxUnits) {
  std::wstring kept;
  kept.reserve(text.size());
  for (wchar_t c : text) {
    if (static_cast<uint32_t>(c) >= 32) kept.push_back(c);
  }
  return qv::TruncateUtf16(kept, maxUnits);
}

std::wstring QvRuleLine::Format(const Rule& rule) {
  const std::wstring name = Clean(rule.name, kMaxName);
  const std::wstring field = Clean(rule.field, kMaxField);
  const std::wstring keyword = Clean(rule.keyword, kMaxKeyword);
  return qv::FormatW(L"%s\t%s\t%s\t%d\t%d\r\n", name.c_str(), field.c_str(), keyword.c_str(),
                     static_cast<int32_t>(rule.folderId), rule.direction);
}

std::string QvRuleLine::Encode(const Rule& rule) { return qv::WideToUtf16LE(Format(rule)); }

uint32_t QvRuleLine::ParseDecimal(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > UINT32_MAX) value = int64_t{UINT32_MAX} + 1;  // stays clamped below
  }
  if (negative) value = -value;
  if (value < INT32_MIN) value = INT32_MIN;
  if (value > UINT32_MAX) value = UINT32_MAX;
  return static_cast<uint32_t>(value);
}

QvRuleLine::Parsed QvRuleLine::Parse(std::wstring_view line, Rule* rule) {
  const size_t tab1 = line.find(L'\t');
  if (tab1 == std::wstring_view::npos) return Parsed::kBadFormat;
  const size_t tab2 = line.find(L'\t', tab1 + 1);
  if (tab2 == std::wstring_view::npos) return Parsed::kBadFormat;
  const size_t tab3 = line.find(L'\t', tab2 + 1);
  if (tab3 == std::wstring_view::npos) return Parsed::kBadFormat;
  rule->name.assign(line.substr(0, tab1));
  rule->field.assign(line.substr(tab1 + 1, tab2 - tab1 - 1));
  rule->keyword.assign(line.substr(tab2 + 1, tab3 - tab2 - 1));
  const std::wstring_view rest = line.substr(tab3 + 1);
  const size_t tab4 = rest.find(L'\t');
  if (tab4 != std::wstring_view::npos) {
    const std::wstring_view last = rest.substr(tab4 + 1);
    const size_t end = last.find(L"\r\n");
    if (end == std::wstring_view::npos) return Parsed::kNoLineEnd;
    rule->folderId = ParseDecimal(rest.substr(0, tab4));
    rule->direction = static_cast<int32_t>(ParseDecimal(last.substr(0, end)));
    rule->readStatus = 0;
    return Parsed::kRule;
  }
  const size_t end = rest.find(L"\r\n");
  if (end == std::wstring_view::npos) return Parsed::kBadFormat;
  rule->folderId = ParseDecimal(rest.substr(0, end));
  rule->direction = 0;
  rule->readStatus = QvClassificationParamInterface::kStatusNoDirection;
  return Parsed::kRuleWithoutDirection;
}
