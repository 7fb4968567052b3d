// Each test gets its own device root with an account's classification folder
// "\Acc\Classification", and helpers to open its rules through the cache.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvClassificationParam.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/store/QvClassificationParamSet.h"
#include "platform/base/WideText.h"
#include "tests/support/DeviceRootFixture.h"

using Rule = QvClassificationParamInterface::Attributes;
using Rules = std::vector<Rule>;

inline bool operator==(const Rule& a, const Rule& b) {
  return a.name == b.name && a.field == b.field && a.keyword == b.keyword && a.folderId == b.folderId &&
         a.direction == b.direction && a.readStatus == b.readStatus;
}

inline void PrintTo(const Rule& r, std::ostream* os) {
  *os << "{" << qv::WideToUtf8(r.name) << "|" << qv::WideToUtf8(r.field) << "|" << qv::WideToUtf8(r.keyword) << "|"
      << r.folderId << "|" << r.direction << "|" << r.readStatus << "}";
}

class RulesTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    MakeDir(L"\\Acc");
    MakeDir(kFolder);
    // As a new account has it: an empty rule file.
    ASSERT_TRUE(QvClassificationParamSet::Create(kFolder));
    SetQvMiddleError(QVMDL_SUCCESS);
  }

  static std::unique_ptr<QvClassificationParamInterface> Open() {
    QvClassificationParam* param = QvClassificationParamSet::Instance().Open(kFolder);
    EXPECT_NE(param, nullptr);
    return std::make_unique<QvClassificationParamInterface>(param);
  }
  // Reads the rules; the error word is left for the caller to check.
  static bool Read(Rules* rules) { return Open()->GetAttributes(rules); }
  static bool Write(const Rules& rules) { return Open()->SetAttributes(rules); }
  static Rules ReadOk() {
    Rules rules;
    EXPECT_TRUE(Read(&rules)) << std::hex << GetQvMiddleError();
    return rules;
  }
  // The stored form of a text: UTF-16LE.
  static std::string Units(const std::wstring& text) { return qv::WideToUtf16LE(text); }

  static Rules Sample() {
    return {{L"仕事", L"From", L"boss@example.jp", 5, 1, 0},
            {L"ML", L"X-ML-name", L"qvmail-dev", 12, 3, 0},
            {L"家族", L"件名", L"", 0x10001, 2, 0}};
  }

  static inline const std::wstring kFolder = L"\\Acc\\Classification";
  static inline const std::wstring kRuleFile = L"\\Acc\\Classification\\Rule.cls";
  static inline const std::wstring kOldFile = L"\\Acc\\Classification\\Data.ini";
};
