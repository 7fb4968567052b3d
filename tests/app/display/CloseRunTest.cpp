// The desktop's close button while a mail is being written, in the real
// program: the program ends, and what was typed is kept in Drafts, also when
// a warning box stands over the message window at that moment.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "platform/base/WideText.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"
#include "tests/app/display/RunAccount.h"
#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace qv::test {
namespace {

constexpr const wchar_t* kAccount = L"仕事";
constexpr const wchar_t* kTitle = L"T-VELA4メール ";

class CloseRun : public DisplayTest {
 protected:
  void TearDown() override {
    KillProgram(pid_);
    DisplayTest::TearDown();
  }
  pid_t pid_ = -1;
};

TEST_F(CloseRun, TheCloseButtonEndsTheProgramAndKeepsTheDraft) {
  if (IsSkipped()) return;
  RunTrays trays;
  ASSERT_TRUE(MakeRunAccount(kAccount, nullptr, nullptr, "", &trays));
  const DWORD drafts = trays.drafts;
  struct Case {
    const char* what;
    bool boxOver;  // a second compose request raised "another screen is busy"
  } cases[] = {{"the message window in front", false}, {"a warning box over it", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = RawStored(kAccount, drafts).size();
    const std::string log = root_ + "/program.log";
    pid_ = StartProgram(root_, log, {"mailto:shop@example.jp?subject=closing"});
    ASSERT_GT(pid_, 0);
    HWND sheet = AwaitWindow(kTitle, nullptr, L"Dialog");
    ASSERT_NE(sheet, nullptr) << Tail(ReadFile(log));
    XInput input;
    ASSERT_TRUE(input.Ready());
    Tap(pid_, 240, 500);  // into the body
    input.Type("keep these words");
    if (c.boxOver) {
      const pid_t second = StartProgram(root_, root_ + "/second.log", {"mailto:other@example.jp"});
      EXPECT_EQ(WaitEnd(second, std::chrono::seconds(20)), 0);
      ASSERT_NE(AwaitWindow(L"警告", nullptr, L"Dialog"), nullptr) << Tail(ReadFile(log));
      KeepSettled(pid_, OutputPath("close-run-busy-box.png"));
    }
    CloseFromDesktop(pid_);
    EXPECT_EQ(WaitEnd(pid_, std::chrono::seconds(30)), 0) << Tail(ReadFile(log));
    pid_ = -1;
    const std::vector<std::string> stored = RawStored(kAccount, drafts);
    ASSERT_EQ(stored.size(), before + 1) << Tail(ReadFile(log));
    for (std::string raw : stored) {
      Email mail;
      ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
      EXPECT_EQ(qv::WideToUtf8(mail.subject), "closing");
      EXPECT_NE(qv::WideToUtf8(mail.body).find("keep these words"), std::string::npos) << qv::WideToUtf8(mail.body);
    }
  }
}

}  // namespace
}  // namespace qv::test
