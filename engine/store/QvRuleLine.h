// One line of the rule file "\Rule.cls": UTF-16LE without byte-order mark,
// name, TAB, field, TAB, keyword, TAB, folder id, TAB, direction, CR LF.
// Lines written before rules had a direction lack the last column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/public/store/QvClassificationParamInterface.h"

class QvRuleLine {
 public:
  using Rule = QvClassificationParamInterface::Attributes;

  // Stored limits, in UTF-16 units.
  static constexpr size_t kMaxName = 10;
  static constexpr size_t kMaxField = 9;
  static constexpr size_t kMaxKeyword = 128;
  // The longest line the writer makes is 175 units (three full texts, four
  // TABs, two 11-character numbers, CR LF); anything much longer is not ours.
  static constexpr size_t kMaxLineUnits = 256;

  // The line of a rule: control characters dropped from the texts, the texts
  // cut to their limits without splitting a surrogate pair. Throws
  // std::bad_alloc.
  static std::wstring Format(const Rule& rule);
  // The line's text as stored.
  static std::string Encode(const Rule& rule);

  enum class Parsed { kRule, kRuleWithoutDirection, kNoLineEnd, kBadFormat };
  // Parses one line, CR LF included when the file has it. `line` never holds
  // more than one LF, which ends it.
  static Parsed Parse(std::wstring_view line, Rule* rule);

  // Decimal value as the file's numbers are read: leading blanks, a sign,
  // digits up to the first other character; out-of-range values are clamped
  // to the 32-bit range; the result keeps the 32 bits (folder ids are written
  // as signed).
  static uint32_t ParseDecimal(std::wstring_view text);
  // The text without control characters, at most `maxUnits` UTF-16 units.
  static std::wstring Clean(std::wstring_view text, size_t maxUnits);
};
