// The progress window and the run-with-progress entry points, driven on the
// UI clock with operations that the test steps on the task thread: the texts
// of each kind, the connection states, the counts, the animation, the abort
// and close paths, the outcomes of every entry, and the batch receive with
// its result page.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/QvRasHolder.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/dialogs/QvProgressDlg.h"
#include "app/mailops/dialogs/QvRoundRecvResultPage.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/testing/Seams.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace {

using qv::test::MailOpsTest;
using qv::test::TestAccount;

std::string U8(const std::wstring& s) { return qv::WideToUtf8(s); }

std::string PngPath(const std::string& name) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + name + ".png";
}

// An operation the test runs step by step on the task thread: each Do runs
// an action there (with the progress window) and returns once it ran; Finish
// lets the operation return. Cancel is not heard, as an engine call that is
// slow to stop.
class SteppedOperation {
 public:
  void Do(std::function<void(HWND)> action) {
    std::unique_lock<std::mutex> hold(lock_);
    const int want = ++queued_;
    steps_.push_back({std::move(action), false, 0, -1});
    wake_.notify_all();
    // Bounded so that a run that never reaches the operation fails.
    ASSERT_TRUE(wake_.wait_for(hold, std::chrono::seconds(60), [&] { return ran_ >= want; })) << "never ran";
  }
  void Finish(bool result, uint32_t code = 0, int32_t detail = -1) {
    std::lock_guard<std::mutex> hold(lock_);
    ++queued_;
    ++finishes_;
    steps_.push_back({nullptr, result, code, detail});
    wake_.notify_all();
  }
  // The task's side.
  bool Run(const std::wstring& what, HWND owner, uint32_t* code, int32_t* detail) {
    std::unique_lock<std::mutex> hold(lock_);
    calls_.push_back(what);
    ++runs_;
    // The window may have gone idle before this run began: wake it for its steps.
    PostMessageW(owner, WM_NULL, 0, 0);
    for (;;) {
      wake_.wait(hold, [&] { return !steps_.empty(); });
      Step step = std::move(steps_.front());
      steps_.pop_front();
      if (!step.action) {
        ++ran_;
        wake_.notify_all();
        if (code) *code = step.code;
        if (detail) *detail = step.detail;
        return step.result;
      }
      hold.unlock();
      step.action(owner);
      hold.lock();
      ++ran_;
      wake_.notify_all();
    }
  }
  // The run now going was told to end: its window closes without more steps.
  bool Ending() {
    std::lock_guard<std::mutex> hold(lock_);
    return finishes_ >= runs_;
  }
  std::vector<std::wstring> Calls() {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
  }

 private:
  struct Step {
    std::function<void(HWND)> action;
    bool result;
    uint32_t code;
    int32_t detail;
  };
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Step> steps_;
  std::vector<std::wstring> calls_;
  int queued_ = 0;
  int ran_ = 0;
  int runs_ = 0;
  int finishes_ = 0;
};

std::deque<std::function<void()>>& ProgressSteps() {
  static std::deque<std::function<void()>> steps;
  return steps;
}
std::deque<std::function<void()>>& SheetSteps() {
  static std::deque<std::function<void()>> steps;
  return steps;
}

// The windows' owner: it takes the test's steps while the progress window or
// the result sheet waits for input, and counts the close requests it is
// passed. A progress window still up when its steps ran out is ended by its
// operation failing, a sheet by Cancel, so a script gone wrong fails, never hangs.
class OwnerFrame : public CFrameWnd {
 public:
  SteppedOperation* operation = nullptr;
  int closeRequests = 0;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kCloseRequestMessage) {
      ++closeRequests;
      return 0;
    }
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      const auto dialog = reinterpret_cast<HWND>(lParam);
      CWnd* progress = GetSecondWindow();
      WCHAR caption[64] = {};
      ::GetWindowTextW(dialog, caption, 64);
      auto* steps = progress && progress->m_hWnd == dialog ? &ProgressSteps()
                    : std::wstring(caption) == L"まとめて受信結果" ? &SheetSteps()
                                                                   : nullptr;
      if (steps == nullptr) return 0;
      // A window whose run was told to end takes no more steps: they are the next window's.
      if (steps == &ProgressSteps() && operation && operation->Ending()) return 0;
      if (steps->empty()) {
        if (steps == &SheetSteps()) {
          ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        } else if (!ended_.count(dialog)) {
          ended_.insert(dialog);
          ADD_FAILURE() << "the progress window outlived its steps";
          if (operation) operation->Finish(false, 0x2002008);
        }
        return 0;
      }
      auto step = std::move(steps->front());
      steps->pop_front();
      step();
      ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
      return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }

 private:
  std::set<HWND> ended_;
};

struct Box {
  std::wstring caption;
  std::wstring text;
};
std::vector<Box>& Boxes() {
  static std::vector<Box> boxes;
  return boxes;
}

std::wstring TextsOf(HWND box) {
  std::wstring all;
  EnumChildWindows(
      box,
      [](HWND h, LPARAM p) {
        WCHAR text[512] = {};
        GetWindowTextW(h, text, 512);
        if (*text) *reinterpret_cast<std::wstring*>(p) += std::wstring(text) + L"|";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

class ProgressWindowTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    qv::seams::FixUiClock();
    owner_ = new OwnerFrame;  // deletes itself with its window
    ASSERT_TRUE(owner_->Create(nullptr, L"owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800)));
    owner_->operation = &op_;
    MainFrameWindow = owner_;
    ClosePendingFlag = CloseRequestSeenFlag = CloseReactivatedFlag = false;
    Boxes().clear();
    ProgressSteps().clear();
    SheetSteps().clear();
    answers_.clear();
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetQuestionHandler([this](const std::wstring& text, const std::wstring& caption) {
      Boxes().push_back({caption, text});
      const bool yes = answers_.empty() || answers_.front();
      if (!answers_.empty()) answers_.pop_front();
      return yes ? IDYES : IDNO;
    });
    qv::seams::SetMessageBoxShownHandler([](HWND box) {
      WCHAR caption[64] = {};
      GetWindowTextW(box, caption, 64);
      Boxes().push_back({caption, TextsOf(box)});
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    MailTaskOperations ops;
    ops.receiveAccountByName = [this](const std::wstring& account, HWND owner, uint32_t* code, int32_t* detail,
                                      QvRasHolder* holder) {
      keepModes_.push_back(holder ? holder->KeepMode() : -1);
      return op_.Run(L"receive " + account, owner, code, detail);
    };
    ops.receiveSelectedMessages = [this](const std::list<unsigned long>& ids, HWND owner, uint32_t* code,
                                         int32_t* detail, QvRasHolder*) {
      return op_.Run(L"download " + std::to_wstring(ids.size()), owner, code, detail);
    };
    ops.sendMessages = [this](HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder,
                              std::vector<unsigned long> ids) {
      keepModes_.push_back(holder ? holder->KeepMode() : -1);
      return op_.Run(L"send " + std::to_wstring(ids.size()), owner, code, detail);
    };
    ops.exportMessages = [this](const std::vector<unsigned long>& ids, const std::wstring&, HWND owner,
                                uint32_t* code) { return op_.Run(L"export " + std::to_wstring(ids.size()), owner, code, nullptr); };
    ops.importMessages = [this](DWORD, const std::list<std::wstring>& files, HWND owner, uint32_t* code) {
      return op_.Run(L"import " + std::to_wstring(files.size()), owner, code, nullptr);
    };
    SetMailTaskOperations(ops);
  }
  void TearDown() override {
    ProgressSteps().clear();
    SheetSteps().clear();
    SetMailTaskOperations({});
    SetRunningRetriever(nullptr);
    SetRunningSender(nullptr);
    SetRunningImporter(nullptr);
    qv::seams::SetMessageBoxShownHandler(nullptr);
    qv::seams::SetQuestionHandler(nullptr);
    MainFrameWindow = nullptr;
    if (owner_ && owner_->m_hWnd) owner_->DestroyWindow();
    owner_ = nullptr;
    MailOpsTest::TearDown();
  }

  // The progress window now up.
  static QvProgressDlg* Window() { return dynamic_cast<QvProgressDlg*>(GetSecondWindow()); }
  static std::wstring Text(UINT id) {
    QvProgressDlg* w = Window();
    return w ? TextOf(::GetDlgItem(w->m_hWnd, static_cast<int>(id))) : L"<no window>";
  }
  static std::wstring TextOf(HWND h) {
    WCHAR text[256] = {};
    ::GetWindowTextW(h, text, 256);
    return text;
  }
  // Posts from the task thread, in one go.
  void Post(std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> messages) {
    op_.Do([messages](HWND owner) {
      for (const auto& [m, wl] : messages) PostMessageW(owner, m, wl.first, wl.second);
    });
  }
  // Queues a step taken while the window waits for input.
  static void Then(std::function<void()> step) { ProgressSteps().push_back(std::move(step)); }
  static void Save(const std::string& name) {
    if (QvProgressDlg* w = Window()) w->UpdateWindow();
    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath(name)));
  }
  std::wstring BoxesSaid() const {
    std::wstring all;
    for (const Box& b : Boxes()) all += b.caption + L": " + b.text + L"\n";
    return all;
  }
  bool SaidOnce(UINT id) const {
    const std::wstring want = std::wstring(LoadResString(id));
    int n = 0;
    for (const Box& b : Boxes()) n += b.text.find(want) != std::wstring::npos;
    return !want.empty() && n == 1;
  }

  OwnerFrame* owner_ = nullptr;
  SteppedOperation op_;
  std::deque<bool> answers_;
  std::vector<int> keepModes_;
};

struct Entry {
  const char* name;
  std::function<bool(CWnd*)> run;
};

const Entry kImport{"import", [](CWnd* p) { return ImportMessagesWithProgress(p, 7, {L"\\a.eml", L"\\b.eml"}); }};
const Entry kExport{"export", [](CWnd* p) { return ExportMessagesWithProgress(p, L"\\Out", {1, 2, 3}); }};
const Entry kSend{"send", [](CWnd* p) { return SendMessagesWithProgress(p, {4, 5, 6}); }};
const Entry kReceive{"receive", [](CWnd* p) { return ReceiveAccountWithProgress(p, L"acct"); }};
const Entry kPartial{"receive partial", [](CWnd* p) { return ReceiveAccountWithProgress(p, L"partial"); }};
const Entry kDownload{"download", [](CWnd* p) { return ReceiveSelectedWithProgress(p, {8, 9}); }};

// ---- the window of each kind ----

struct KindCase {
  Entry entry;
  int kind;
  const wchar_t* start;
  const wchar_t* connected;  // after state 1; the start text for kinds that do not hear it
  int imageSet;              // 0 a letter leaving, 1 arriving
  const wchar_t* accountLine;
  UINT notice;
};

TEST_F(ProgressWindowTest, EachKindShowsItsTextsCountsAndPicturesOnTheUiClock) {
  TestAccount partial = MakeAccount(L"partial");
  MakeAccount(L"acct");
  QvAccountInfoInterface::Attributes on;
  on.bPartialRetrievingEnabled = true;
  on.Select(QvAccountInfoInterface::Attributes::kPartialRetrievingEnabled);
  SetSettings(partial.name, on);
  const std::vector<KindCase> cases = {
      {kImport, 0, L"インポート中", L"インポート中", 1, L"", kStringImported},
      {kExport, 1, L"エクスポート中", L"エクスポート中", 0, L"", kStringExported},
      {kSend, 2, L"接続中", L"メール送信中", 0, L"アカウント名: ", kStringSent},
      {kReceive, 3, L"接続中", L"メール受信中", 1, L"アカウント名: acct", kStringReceived},
      {kPartial, 4, L"接続中", L"メール受信中", 1, L"アカウント名: partial", kStringReceived},
      {kDownload, 5, L"ダウンロード中", L"ダウンロード中", 1, L"アカウント名: ", kStringReceived},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.entry.name);
    Boxes().clear();
    Then([&] {
      QvProgressDlg* w = Window();
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(TextOf(w->m_hWnd), L"T-VELA4メール ");
      RECT r{};
      w->GetWindowRect(&r);
      EXPECT_EQ(r.right - r.left, 360);
      EXPECT_EQ(r.bottom - r.top, 360);
      EXPECT_EQ(r.left, (480 - 360) / 2);
      EXPECT_EQ(Text(QvProgressDlg::kOperationId), c.start);
      EXPECT_EQ(Text(QvProgressDlg::kAccountLineId), c.accountLine);
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"");
      EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(w->m_hWnd, QvProgressDlg::kProgressBarId)));
      EXPECT_EQ(w->Frame(), 0);
      EXPECT_EQ(w->ImageSet(), c.imageSet);
      EXPECT_NE(::SendDlgItemMessageW(w->m_hWnd, QvProgressDlg::kImageId, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
      Post({{kConnectionStateMessage, {1, 0}}, {kProgressCountMessage, {0, 3}}});
    });
    Then([&] {
      EXPECT_EQ(Text(QvProgressDlg::kOperationId), c.connected);
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"1/3件");
      Post({{kProgressCountMessage, {1, 3}}});
    });
    Then([&] {
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"2/3件");
      qv::seams::AdvanceUiClock(QvProgressDlg::kAnimationMs);
    });
    Then([&] {
      EXPECT_EQ(Window()->Frame(), 1);
      Save(std::string("progress-kind") + std::to_string(c.kind) + "-frame1");
      qv::seams::AdvanceUiClock(QvProgressDlg::kAnimationMs);
    });
    for (int frame = 2; frame <= 4; ++frame) {
      Then([&, frame] {
        EXPECT_EQ(Window()->Frame(), frame) << "one step per tick";
        qv::seams::AdvanceUiClock(QvProgressDlg::kAnimationMs - 1);
      });
      Then([&, frame] {
        EXPECT_EQ(Window()->Frame(), frame) << "not before the tick";
        if (c.kind == 3 || c.kind == 2) Save("progress-kind" + std::to_string(c.kind) + "-frame" + std::to_string(frame));
        qv::seams::AdvanceUiClock(1);
      });
    }
    Then([&] {
      EXPECT_EQ(Window()->Frame(), 0) << "wraps after the fifth picture";
      Post({{kConnectionStateMessage, {3, 0}}});
    });
    Then([&] {
      // No operation named: the picture stands still.
      qv::seams::AdvanceUiClock(QvProgressDlg::kAnimationMs);
    });
    Then([&] {
      if (c.kind >= 2) {
        EXPECT_EQ(Window()->Frame(), 0);
      }
      Post({{kProgressCountMessage, {3, 3}}});
    });
    Then([&] {
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"3/3件") << "the total itself once reached";
      if (c.kind == 3) Save("progress-kind3-done");
      op_.Finish(true);
    });
    EXPECT_TRUE(c.entry.run(owner_));
    EXPECT_TRUE(ProgressSteps().empty());
    EXPECT_EQ(GetSecondWindow(), nullptr);
    EXPECT_TRUE(SaidOnce(c.notice)) << U8(BoxesSaid());
    EXPECT_EQ(Boxes().size(), 1u) << U8(BoxesSaid());
  }
}

// ---- connection states ----

struct StateCase {
  const char* name;
  Entry entry;
  std::vector<WPARAM> states;  // queued together, then handled
  const wchar_t* shown;
};

TEST_F(ProgressWindowTest, ConnectionStatesNameWhatTheConnectionDoes) {
  const std::vector<StateCase> cases = {
      {"connecting", kReceive, {0}, L"接続中"},
      {"connected: the operation", kReceive, {0, 1}, L"メール受信中"},
      {"connected while sending", kSend, {0, 1}, L"メール送信中"},
      {"connected while downloading", kDownload, {0, 1}, L"ダウンロード中"},
      {"a release without a change says nothing", kReceive, {0, 1, 2}, L"メール受信中"},
      {"a release first: the next connect is a change", kReceive, {2, 0}, L"接続先変更中"},
      {"the change is said once, then connecting again", kReceive, {2, 0, 1, 2, 0}, L"接続中"},
      {"a release queued behind a connect makes it a change", kReceive, {0, 2, 0}, L"接続先変更中"},
      {"a queued change is over once connected", kReceive, {0, 2, 0, 1}, L"メール受信中"},
      {"other states empty the text", kReceive, {1, 3}, L""},
      {"import does not hear them", kImport, {0, 1, 2}, L"インポート中"},
      {"export does not hear them", kExport, {1}, L"エクスポート中"},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    Then([&] {
      std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> posts;
      for (WPARAM s : c.states) posts.push_back({kConnectionStateMessage, {s, 0}});
      Post(posts);
    });
    Then([&] {
      EXPECT_EQ(Text(QvProgressDlg::kOperationId), c.shown);
      op_.Finish(true);
    });
    c.entry.run(owner_);
    EXPECT_TRUE(ProgressSteps().empty());
  }
}

// ---- abort and close ----

struct AbortCase {
  const char* name;
  std::function<void(HWND window)> abort;
  bool closeRequest;
};

TEST_F(ProgressWindowTest, AnAbortStopsTheCountAndTheWindowWaitsForTheTask) {
  const std::vector<AbortCase> cases = {
      {"the Back key", [](HWND w) { PostMessageW(w, kBackMessage, 0, 0); }, false},
      {"the abort button", [](HWND w) {
         RECT r{};
         ::GetWindowRect(::GetDlgItem(w, QvProgressDlg::kAbortId), &r);
         qv::seams::InjectTap({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
       }, false},
      {"the soft key", [](HWND w) { PostMessageW(w, WM_COMMAND, QvProgressDlg::kAbortId, 0); }, false},
      {"Escape", [](HWND) {
         qv::seams::InjectKey(VK_ESCAPE, true);
         qv::seams::InjectKey(VK_ESCAPE, false);
       }, false},
      {"the close request", [](HWND w) { EXPECT_EQ(SendMessageW(w, kCloseRequestMessage, 0, 0), kCloseTakenOver); },
       true},
  };
  for (const AbortCase& c : cases) {
    SCOPED_TRACE(c.name);
    Boxes().clear();
    ClosePendingFlag = CloseRequestSeenFlag = false;
    owner_->closeRequests = 0;
    HWND window = nullptr;
    Then([&] { Post({{kConnectionStateMessage, {1, 0}}, {kProgressCountMessage, {0, 4}}}); });
    Then([&] {
      window = Window()->m_hWnd;
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"1/4件");
      c.abort(window);
    });
    Then([&] {
      EXPECT_TRUE(Window() && Window()->IsAborting());
      EXPECT_EQ(Text(QvProgressDlg::kOperationId), L"中断処理中");
      // The engine is slow to stop: it still counts and says it is connected.
      Post({{kProgressCountMessage, {1, 4}}, {kConnectionStateMessage, {1, 0}}});
      qv::seams::AdvanceUiClock(5000);
    });
    Then([&] {
      ASSERT_TRUE(::IsWindow(window)) << "the window waits for the task";
      EXPECT_EQ(Text(QvProgressDlg::kCountId), L"1/4件") << "no count while aborting";
      EXPECT_EQ(Text(QvProgressDlg::kOperationId), L"中断処理中");
      EXPECT_EQ(Window()->LastCount(), 1);
      EXPECT_EQ(owner_->closeRequests, 0) << "the close waits for the task too";
      if (c.closeRequest) Save("progress-aborting");
      op_.Finish(false, kCodeAborted);
    });
    EXPECT_FALSE(kReceive.run(owner_));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(ProgressSteps().empty());
    qv::seams::PumpMessages();
    EXPECT_EQ(owner_->closeRequests, c.closeRequest ? 1 : 0);
    EXPECT_FALSE(ClosePendingFlag);
  }
}

// ---- outcomes ----

struct OutcomeCase {
  const char* name;
  Entry entry;
  std::function<void()> before;  // makes the program busy, or nothing
  bool runs;                     // the operation is called
  bool result;
  uint32_t code;
  bool returns;
  UINT said;  // the one box shown, by string id (0: none)
};

TEST_F(ProgressWindowTest, EachEntryReportsItsOutcomeInOneBox) {
  auto* retriever = reinterpret_cast<QvRetriever*>(&op_);  // only its presence counts
  auto* sender = reinterpret_cast<Sender*>(&op_);
  auto* importer = reinterpret_cast<QvMessageImporter*>(&op_);
  const auto idle = [] {};
  const auto receiving = [=] { SetRunningRetriever(retriever); };
  const auto sending = [=] { SetRunningSender(sender); };
  const auto importing = [=] { SetRunningImporter(importer); };
  const std::vector<OutcomeCase> cases = {
      {"import done", kImport, idle, true, true, 0, true, kStringImported},
      {"an import that said why itself: no second box", kImport, idle, true, false, 0, false, 0},
      {"import failed with the engine's code", kImport, idle, true, false, 0x2004103, false, 20241},
      {"export done", kExport, idle, true, true, 0, true, kStringExported},
      {"export failed with the engine's code", kExport, idle, true, false, 0x2004002, false, 20240},
      {"an export that said why itself: no second box", kExport, idle, true, false, 0, false, 0},
      {"a second import is refused in words", kImport, importing, false, false, 0, false, 20243},
      {"an export beside an import is refused in words", kExport, importing, false, false, 0, false, 20243},
      {"send done", kSend, idle, true, true, 0, true, kStringSent},
      {"send failed", kSend, idle, true, false, 0x2002101, false, 20102},
      {"receive done", kReceive, idle, true, true, 0, true, kStringReceived},
      {"receive failed", kReceive, idle, true, false, 0x200200B, false, 20100},
      {"a receive that said why itself (a cancelled password): no box", kReceive, idle, true, false, 0, false, 0},
      {"download done", kDownload, idle, true, true, 0, true, kStringReceived},
      {"download with nothing left on the server", kDownload, idle, true, false, kCodeNothingLeft, false,
       kStringNothingToDownload},
      {"receive while a receive runs is refused in words", kReceive, receiving, false, false, 0, false, 20243},
      {"send while a receive runs is refused in words", kSend, receiving, false, false, 0, false, 20243},
      {"receive while a send runs is refused in words", kReceive, sending, false, false, 0, false, 20243},
      {"download while a send runs is refused in words", kDownload, sending, false, false, 0, false, 20243},
  };
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Boxes().clear();
    c.before();
    const size_t calls = op_.Calls().size();
    if (c.runs) Then([&] { op_.Finish(c.result, c.code); });
    EXPECT_EQ(c.entry.run(owner_), c.returns);
    EXPECT_EQ(op_.Calls().size(), calls + (c.runs ? 1 : 0));
    EXPECT_TRUE(ProgressSteps().empty());
    EXPECT_EQ(Boxes().size(), c.said ? 1u : 0u) << U8(BoxesSaid());
    EXPECT_TRUE(!c.said || SaidOnce(c.said)) << U8(BoxesSaid());
    ProgressSteps().clear();
    SetRunningRetriever(nullptr);
    SetRunningSender(nullptr);
    SetRunningImporter(nullptr);
  }
}

TEST_F(ProgressWindowTest, SendAndReceiveSendsTheOutboxFirstOnOneConnection) {
  TestAccount account = MakeAccount(L"acct");
  ASSERT_TRUE(OpenCurrentAccount(account.name));
  // An empty outbox: only the receive runs.
  Then([&] { op_.Finish(true); });
  EXPECT_TRUE(SendAndReceiveWithProgress(owner_));
  EXPECT_EQ(op_.Calls(), std::vector<std::wstring>({L"receive acct"}));
  EXPECT_TRUE(SaidOnce(kStringSentAndReceived)) << U8(BoxesSaid());

  Store(account.name, account.trays[kOutbox], 2, 0);
  Boxes().clear();
  keepModes_.clear();
  Then([&] {
    EXPECT_EQ(Text(QvProgressDlg::kOperationId), L"接続中");
    EXPECT_EQ(Window()->ImageSet(), 0);
    op_.Finish(true);
  });
  Then([&] {
    EXPECT_EQ(Window()->ImageSet(), 1) << "the receive's own window";
    op_.Finish(true);
  });
  EXPECT_TRUE(SendAndReceiveWithProgress(owner_));
  EXPECT_EQ(op_.Calls(), std::vector<std::wstring>({L"receive acct", L"send 0", L"receive acct"}));
  EXPECT_EQ(keepModes_, std::vector<int>({QvRasHolder::kReleaseOnFailure, QvRasHolder::kReleaseAlways}));
  EXPECT_TRUE(SaidOnce(kStringSentAndReceived)) << U8(BoxesSaid());

  // A failed send stops before the receive.
  Boxes().clear();
  Then([&] { op_.Finish(false, 0x2002101); });
  EXPECT_FALSE(SendAndReceiveWithProgress(owner_));
  EXPECT_EQ(op_.Calls().size(), 4u);
  EXPECT_TRUE(SaidOnce(20102)) << U8(BoxesSaid());
  EXPECT_EQ(Boxes().size(), 1u);
}

// ---- the batch receive and its result page ----

// The accounts of a batch, as the program lists them.
std::vector<std::wstring> BatchAccounts() {
  std::vector<std::wstring> names;
  EXPECT_TRUE(GetPeriodicRecvAccounts(&names, 1));
  return names;
}

class BatchReceiveTest : public ProgressWindowTest {
 protected:
  void MakeBatch(int accounts) {
    for (int i = 1; i <= accounts; ++i) {
      const std::wstring name = qv::FormatW(L"acct%02d", i);
      MakeAccount(name);
      QvAccountInfoInterface::Attributes on;
      on.bJunkaiJushinEnabled = true;
      on.Select(QvAccountInfoInterface::Attributes::kJunkaiJushinEnabled);
      SetSettings(name, on);
    }
  }
  // One account's run: `count` messages received, then the end.
  void Run(int count, int total, bool result, uint32_t code) {
    Then([=, this] {
      if (count > 0) Post({{kProgressCountMessage, {static_cast<WPARAM>(count), total}}});
      op_.Finish(result, code);
    });
  }
  // The page's lines as "name|result", and their rectangles in the page.
  static std::vector<std::wstring> Lines(QvRoundRecvResultPage* page, std::vector<RECT>* places = nullptr) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < QvRoundRecvResultPage::kLines; ++i) {
      HWND line = ::GetDlgItem(page->m_hWnd, static_cast<int>(QvRoundRecvResultPage::kFirstLineId) + i);
      if (!line || !::IsWindowVisible(line)) continue;
      QvStaticResult& r = page->Line(i);
      lines.push_back(TextOf(r.NamePart().m_hWnd) + L"|" + TextOf(r.ResultPart().m_hWnd));
      if (places) {
        RECT rect{};
        ::GetWindowRect(line, &rect);
        ::MapWindowPoints(nullptr, page->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        places->push_back(rect);
      }
    }
    return lines;
  }
  static QvRoundRecvResultPage* Page() {
    HWND sheet = ::FindWindowW(nullptr, L"まとめて受信結果");
    QvRoundRecvResultPage* found = nullptr;
    if (sheet) {
      EnumChildWindows(
          sheet,
          [](HWND h, LPARAM p) {
            auto** out = reinterpret_cast<QvRoundRecvResultPage**>(p);
            if (!*out) *out = dynamic_cast<QvRoundRecvResultPage*>(CWnd::FromHandlePermanent(h));
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&found));
    }
    return found;
  }
};

TEST_F(BatchReceiveTest, TwelveAccountsRunInTurnAndTheFirstTenAreListed) {
  MakeBatch(12);
  const std::vector<std::wstring> names = BatchAccounts();
  ASSERT_EQ(names.size(), 12u);
  Run(3, 3, true, 0);                  // 1: three received
  Run(0, 0, false, kCodeAborted);      // 2: stopped before any came
  Run(3, 5, false, kCodeAborted);      // 3: stopped after three
  Run(2, 4, false, 0x2002001);         // 4: an error
  Run(0, 0, false, 0);                 // 5: the task refused: counted as stopped
  for (int i = 6; i <= 12; ++i) Run(i, i, true, 0);
  answers_ = {true, true, true, true};
  std::vector<std::wstring> portrait, landscape;
  std::vector<RECT> tall, wide;
  SheetSteps().push_back([&] {
    QvRoundRecvResultPage* page = Page();
    ASSERT_NE(page, nullptr);
    portrait = Lines(page, &tall);
    ::UpdateWindow(::GetParent(page->m_hWnd));
    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("round-result-portrait")));
    qv::seams::SetLandscape(true);
  });
  SheetSteps().push_back([&] {
    QvRoundRecvResultPage* page = Page();
    ASSERT_NE(page, nullptr);
    landscape = Lines(page, &wide);
    ::UpdateWindow(::GetParent(page->m_hWnd));
    EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("round-result-landscape")));
    qv::seams::SetLandscape(false);
  });
  EXPECT_TRUE(BatchReceiveWithProgress(owner_));
  EXPECT_EQ(op_.Calls().size(), 12u);
  EXPECT_TRUE(ProgressSteps().empty());
  EXPECT_TRUE(SheetSteps().empty());
  // Keep the connection for all but the last.
  ASSERT_EQ(keepModes_.size(), 12u);
  EXPECT_EQ(keepModes_.front(), QvRasHolder::kKeep);
  EXPECT_EQ(keepModes_.back(), QvRasHolder::kReleaseAlways);

  std::vector<std::wstring> want = {L"・acct01|:3件", L"・acct02|:中止", L"・acct03|:3件", L"・acct04|:エラー",
                                    L"・acct05|:中止", L"・acct06|:6件", L"・acct07|:7件", L"・acct08|:8件",
                                    L"・acct09|:9件", L"・acct10|:10件"};
  EXPECT_EQ(portrait, want);
  EXPECT_EQ(landscape, want);
  // The questions after each run that did not end well, in turn.
  std::vector<std::wstring> asked;
  for (const Box& b : Boxes()) {
    if (b.caption == L"確認") asked.push_back(b.text);
  }
  const auto ask = [](UINT id, const wchar_t* name) { return qv::FormatW(LoadResString(id), name); };
  EXPECT_EQ(asked, std::vector<std::wstring>({ask(kStringBatchAskAfterAbort, L"acct02"),
                                              ask(kStringBatchAskAfterAbort, L"acct03"),
                                              ask(kStringBatchAskAfterFailure, L"acct04"),
                                              ask(kStringBatchAskAfterAbort, L"acct05")}));
  // Portrait: one column, 20 pixels apart; landscape: two columns.
  ASSERT_EQ(tall.size(), 10u);
  ASSERT_EQ(wide.size(), 10u);
  const int h = tall[0].bottom - tall[0].top;
  EXPECT_GT(h, 10);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tall[static_cast<size_t>(i)].left, 20);
    EXPECT_EQ(tall[static_cast<size_t>(i)].top, i * h + (i + 1) * 20);
    const int row = (i + 2) / 2;
    EXPECT_EQ(wide[static_cast<size_t>(i)].top, (row - 1) * h + row * 20);
    EXPECT_EQ(wide[static_cast<size_t>(i)].left == 20, i % 2 == 0);
  }
  EXPECT_EQ(wide[1].left, wide[0].right + 20);
}

TEST_F(BatchReceiveTest, NoAfterAFailureStopsAndTheRestStayStopped) {
  MakeBatch(4);
  Run(1, 1, true, 0);
  Run(0, 0, false, 0x2002001);
  answers_ = {false};
  std::vector<std::wstring> lines;
  SheetSteps().push_back([&] { lines = Lines(Page()); });
  EXPECT_TRUE(BatchReceiveWithProgress(owner_));
  EXPECT_EQ(op_.Calls().size(), 2u);
  EXPECT_EQ(lines, std::vector<std::wstring>({L"・acct01|:1件", L"・acct02|:エラー", L"・acct03|:中止",
                                              L"・acct04|:中止"}));
  EXPECT_TRUE(SaidOnce(20092)) << U8(BoxesSaid());
}

TEST_F(BatchReceiveTest, ACloseRequestEndsTheBatchBeforeTheNextAccount) {
  MakeBatch(3);
  Then([&] { Post({{kProgressCountMessage, {1, 2}}}); });
  Then([&] { SendMessageW(Window()->m_hWnd, kCloseRequestMessage, 0, 0); });
  Then([&] {
    EXPECT_TRUE(Window()->IsAborting());
    op_.Finish(false, kCodeAborted);
  });
  std::vector<std::wstring> lines;
  SheetSteps().push_back([&] { lines = Lines(Page()); });
  BatchReceiveWithProgress(owner_);
  EXPECT_EQ(op_.Calls().size(), 1u);
  qv::seams::PumpMessages();
  EXPECT_EQ(owner_->closeRequests, 1);
  EXPECT_EQ(lines, std::vector<std::wstring>({L"・acct01|:1件", L"・acct02|:中止", L"・acct03|:中止"}));
  EXPECT_EQ(Boxes().size(), 1u) << "no question once the program closes: " << U8(BoxesSaid());
}

TEST(RoundRecvResultText, SaysCountAbortOrError) {
  struct Case {
    uint32_t code;
    int count;
    const wchar_t* text;
  };
  const std::vector<Case> cases = {{kCodeAborted, 0, L":中止"},  {kCodeAborted, 3, L":3件"},
                                   {0, 0, L":0件"},               {0, 12, L":12件"},
                                   {kCodeNothingLeft, 2, L":2件"}, {0x2002001, 5, L":エラー"},
                                   {0x2004101, 0, L":エラー"}};
  for (const Case& c : cases) {
    EXPECT_EQ(std::wstring(RoundRecvResultText({L"a", c.count, c.code})), c.text) << std::hex << c.code;
  }
}

}  // namespace
