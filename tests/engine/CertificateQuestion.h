// Answers the engine's certificate question in a test, as the program's box
// would, and counts the questions; the engine's default (no one to ask, so
// no) comes back when it goes out of scope.
#pragma once

#include <atomic>
#include <string>

#include "engine/public/foundation/QvPlatformHooks.h"

namespace qv::test {

class CertificateAnswers {
 public:
  explicit CertificateAnswers(bool answer = false) {
    answer_ = answer;
    asked_ = 0;
    SetCertificateQuestion([](const wchar_t*) {
      ++asked_;
      return answer_.load();
    });
  }
  ~CertificateAnswers() { SetCertificateQuestion(nullptr); }
  CertificateAnswers(const CertificateAnswers&) = delete;
  CertificateAnswers& operator=(const CertificateAnswers&) = delete;

  void Answer(bool goOn) { answer_ = goOn; }
  int Asked() const { return asked_; }

 private:
  static inline std::atomic<bool> answer_{false};
  static inline std::atomic<int> asked_{0};
};

}  // namespace qv::test
