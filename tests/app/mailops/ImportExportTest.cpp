// Import and export through the operations layer: the tasks run the
// installed operations on their own threads against the engine's store on
// a test device root, and the files come back byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/foundation/MessageBoxes.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/ImportExportOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/dialogs/QvExportDlg.h"
#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "platform/testing/Seams.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageExporter.h"
#include "engine/public/store/QvMessageImporter.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"
#include "platform/shell/ShellUi.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

constexpr const wchar_t* kSource = L"\\My Documents\\eml";
constexpr const wchar_t* kOut = L"\\My Documents\\out";

// A mail of its own per index, in a few shapes a user's files have.
std::string Mail(int i) {
  const std::string n = std::to_string(i);
  std::string head = "From: sender" + n + "@example.com\r\nTo: you@example.jp\r\nDate: Wed, 9 Dec 2026 10:" +
                     std::to_string(10 + i % 50) + ":00 +0900\r\nMessage-ID: <" + n + "@example.com>\r\n";
  switch (i % 4) {
    case 0:
      return head + "Subject: plain " + n + "\r\n\r\nbody " + n + "\r\n";
    case 1:
      return head + "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= " + n +
             "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B$3$s$K$A$O\x1b(B " +
             n + "\r\n";
    case 2:
      return head + "Subject: parts " + n +
             "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b" + n +
             "\"\r\n\r\n--b" + n + "\r\nContent-Type: text/plain\r\n\r\ntext " + n + "\r\n--b" + n +
             "\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"a.bin\"\r\n\r\nAAECAwQFBgcICQ==\r\n--b" + n + "--\r\n";
    default:
      return head + "Subject: long " + n + "\r\n\r\n" + std::string(3000 + i, 'x') + "\r\n";
  }
}

// What a damaged file holds, by kind.
enum class Damage { kEmpty, kNoSender, kNoHeaderEnd, kMissing };

std::string Damaged(Damage kind) {
  switch (kind) {
    case Damage::kEmpty: return "";
    case Damage::kNoSender: return "Subject: nobody\r\n\r\nbody\r\n";
    case Damage::kNoHeaderEnd: return "\x01\x02garbage without any header";
    case Damage::kMissing: return "";
  }
  return "";
}

// The tasks as the progress window runs them, with the wait for the thread
// open to the test so the result can be read before the task goes.
class ImportRun : public QvImportTask {
 public:
  using QvImportTask::QvImportTask;
  using QvTask::Join;
};
class ExportRun : public QvExportTask {
 public:
  using QvExportTask::QvExportTask;
  using QvTask::Join;
};

struct Outcome {
  int result = -1;
  uint32_t code = 0xFFFFFFFF;
};

template <typename Run, typename... Args>
Outcome RunTask(Args&&... args) {
  Run task(std::forward<Args>(args)...);
  EXPECT_TRUE(task.Start(nullptr, nullptr));
  task.Join();
  return {task.Result(), task.ErrorCode()};
}

class ImportExportTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    SetMailTaskOperations({});
    InstallImportExportOperations();
    account_ = MakeAccount(L"imp");
    ASSERT_TRUE(OpenCurrentAccount(L"imp"));
    ASSERT_TRUE(CreateDirectoryW(L"\\My Documents", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kSource, nullptr));
    ASSERT_TRUE(CreateDirectoryW(kOut, nullptr));
    TakeImportFailures();
  }
  void TearDown() override {
    SetMailTaskOperations({});
    MailOpsTest::TearDown();
  }

  std::wstring Plant(const std::string& name, const std::string& bytes) {
    const std::wstring device = std::wstring(kSource) + L"\\" + std::wstring(name.begin(), name.end());
    std::ofstream(HostOf(device), std::ios::binary) << bytes;
    return device;
  }

  DWORD Inbox() const { return account_.trays[0]; }

  Ids FolderIds(DWORD folder) {
    Ids ids;
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(folder));
    EXPECT_TRUE(f && f->GetMessageIds(&ids));
    return ids;
  }

  // The exported files' contents, as a multiset, and how many files.
  std::multiset<std::string> Exported() {
    std::multiset<std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(HostOf(kOut))) {
      std::ifstream in(entry.path(), std::ios::binary);
      contents.insert(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    return contents;
  }

  TestAccount account_;
};

// 1,000 files, one of them damaged: the damaged one is named with its
// reason and every other file is imported; exported back they are the very
// bytes that were imported.
TEST_F(ImportExportTest, ThousandFilesComeBackByteForByteAndTheDamagedOneIsNamed) {
  constexpr int kFiles = 1000;
  constexpr int kDamaged = 613;
  std::list<std::wstring> files;
  std::multiset<std::string> good;
  for (int i = 0; i < kFiles; ++i) {
    const std::string bytes = i == kDamaged ? Damaged(Damage::kNoSender) : Mail(i);
    files.push_back(Plant("m" + std::to_string(i) + ".eml", bytes));
    if (i != kDamaged) good.insert(bytes);
  }
  const Outcome imported = RunTask<ImportRun>(Inbox(), files);
  EXPECT_EQ(imported.result, 1);
  EXPECT_EQ(imported.code, static_cast<uint32_t>(QVMDL_ERR_IMP_NO_SENDER));
  const std::vector<ImportFailure> failures = TakeImportFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].path, std::wstring(kSource) + L"\\m613.eml");
  EXPECT_EQ(failures[0].code, static_cast<uint32_t>(QVMDL_ERR_IMP_NO_SENDER));
  EXPECT_FALSE(IsImportOrExportRunning());

  const Ids ids = FolderIds(Inbox());
  ASSERT_EQ(ids.size(), static_cast<size_t>(kFiles - 1));
  const Outcome exported = RunTask<ExportRun>(std::wstring(kOut), ids);
  EXPECT_EQ(exported.result, 1) << std::hex << exported.code;
  EXPECT_FALSE(IsImportOrExportRunning());
  EXPECT_TRUE(Exported() == good);
}

// Damaged files at the edges and side by side: each is named once, in the
// order tried, and the others are all imported.
TEST_F(ImportExportTest, DamagedFilesAnywhereAreSetAsideAndTheRestGoOn) {
  struct Case {
    const char* name;
    int files;
    std::vector<std::pair<int, Damage>> damaged;
    uint32_t firstCode;
    int result;
  };
  const Case cases[] = {
      {"first empty", 5, {{0, Damage::kEmpty}}, QVMDL_ERR_IMP_EMPTY_FILE, 1},
      {"last missing", 5, {{4, Damage::kMissing}}, QVMDL_ERR_IMP_OPEN, 1},
      {"two side by side", 6, {{2, Damage::kNoHeaderEnd}, {3, Damage::kNoSender}}, 0, 1},
      {"every file", 3, {{0, Damage::kEmpty}, {1, Damage::kNoSender}, {2, Damage::kMissing}}, QVMDL_ERR_IMP_EMPTY_FILE, 0},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Ids before = FolderIds(Inbox());
    std::list<std::wstring> files;
    std::vector<std::wstring> damagedPaths;
    for (int i = 0; i < c.files; ++i) {
      const std::string name = "r" + std::to_string(round) + "_" + std::to_string(i) + ".eml";
      auto hit = std::find_if(c.damaged.begin(), c.damaged.end(), [&](const auto& d) { return d.first == i; });
      if (hit == c.damaged.end()) {
        files.push_back(Plant(name, Mail(i)));
      } else if (hit->second == Damage::kMissing) {
        files.push_back(std::wstring(kSource) + L"\\" + std::wstring(name.begin(), name.end()));
        damagedPaths.push_back(files.back());
      } else {
        files.push_back(Plant(name, Damaged(hit->second)));
        damagedPaths.push_back(files.back());
      }
    }
    ++round;
    const Outcome outcome = RunTask<ImportRun>(Inbox(), files);
    EXPECT_EQ(outcome.result, c.result);
    if (c.firstCode != 0) {
      EXPECT_EQ(outcome.code, c.firstCode) << std::hex << outcome.code;
    }
    const std::vector<ImportFailure> failures = TakeImportFailures();
    std::vector<std::wstring> named;
    for (const ImportFailure& f : failures) {
      named.push_back(f.path);
      EXPECT_NE(f.code, 0u);
    }
    EXPECT_EQ(named, damagedPaths);
    EXPECT_EQ(FolderIds(Inbox()).size() - before.size(), static_cast<size_t>(c.files) - c.damaged.size());
    EXPECT_FALSE(IsImportOrExportRunning());
  }
}

// Every way out of an import or an export lets the next one run: the
// running mark is cleared and the code is the engine's, read in time.
TEST_F(ImportExportTest, EveryExitClearsTheRunningMarkWithTheEngineCode) {
  const std::wstring file = Plant("one.eml", Mail(1));
  struct Case {
    const char* name;
    bool import;
    DWORD folder;
    Ids ids;
    int result;
    uint32_t code;
  };
  const Ids stored = Store(L"imp", Inbox(), 2, 0);
  const Case cases[] = {
      {"import into a folder that is not there", true, 0x7FFFFF, {}, 0, 0},
      {"import", true, 0, {}, 1, 0},
      {"export of an id gone from the store", false, 0, {stored[0], 0x7FFFFF}, 0, 0},
      {"export of nothing", false, 0, {}, 0, 0},
      {"export", false, 0, {stored[0], stored[1]}, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = c.import ? RunTask<ImportRun>(c.folder != 0 ? c.folder : Inbox(), std::list{file})
                                     : RunTask<ExportRun>(std::wstring(kOut), c.ids);
    EXPECT_EQ(outcome.result, c.result);
    // A failure that got as far as the engine carries its word.
    if (c.result == 0 && (c.import || !c.ids.empty())) {
      EXPECT_NE(outcome.code, 0u);
    }
    EXPECT_FALSE(IsImportOrExportRunning());
  }
  // The export of a list with a gone id wrote nothing; the good one wrote two.
  EXPECT_EQ(Exported().size(), 2u);
}

// A second import or export while one runs is refused with no code, and
// leaves the running one alone.
TEST_F(ImportExportTest, ASecondRunIsRefusedWithoutACode) {
  QvMessageImporter running;
  ASSERT_TRUE(ClaimRunningImporter(&running));
  const std::wstring file = Plant("one.eml", Mail(1));
  const Outcome import = RunTask<ImportRun>(Inbox(), std::list{file});
  const Outcome exportRun = RunTask<ExportRun>(std::wstring(kOut), Store(L"imp", Inbox(), 1, 0));
  EXPECT_TRUE(IsImportOrExportRunning());
  SetRunningImporter(nullptr);
  EXPECT_EQ(import.result, 0);
  EXPECT_EQ(import.code, 0u);
  EXPECT_EQ(exportRun.result, 0);
  EXPECT_EQ(exportRun.code, 0u);
  EXPECT_EQ(Exported().size(), 0u);
  EXPECT_EQ(FolderIds(Inbox()).size(), 1u);
}

// The export dialog through its real window: where it starts, what each
// destination leads to, and Back. Its picture is kept as
// app-exportdlg.png in the build folder.
class ExportDlgTest : public ImportExportTest {
 protected:
  void SetUp() override {
    ImportExportTest::SetUp();
    frame_ = new ScriptFrame;  // deletes itself with its window
    ASSERT_TRUE(frame_->Create(nullptr, L"frame", WS_POPUP | WS_VISIBLE));
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetMessageBoxShownHandler([this](HWND box) {
      WCHAR text[512] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      boxes_.push_back(text);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
  }
  void TearDown() override {
    qv::seams::SetMessageBoxShownHandler(nullptr);
    qv::seams::SetQuestionAnswer(IDNO);
    Script().clear();
    if (frame_ != nullptr) frame_->DestroyWindow();
    frame_ = nullptr;
    ImportExportTest::TearDown();
  }
  static std::wstring Res(UINT id) { return LoadResString(id).GetString(); }
  static std::string BuildFile(const std::string& name) {
    const char* dir = std::getenv("QV_BINARY_DIR");
    return std::string(dir && *dir ? dir : ".") + "/" + name;
  }
  static std::wstring Field(HWND dialog) {
    WCHAR text[300] = {};
    GetDlgItemTextW(dialog, QvExportDlg::kDestinationField, text, 300);
    return text;
  }
  static std::wstring LastExportDir() {
    CString folder;
    return GetLastExportDir(folder) ? std::wstring(folder.GetString()) : std::wstring(L"(none)");
  }

  ScriptFrame* frame_ = nullptr;
  std::vector<std::wstring> boxes_;
};

TEST_F(ExportDlgTest, EachDestinationExportsOrIsRefused) {
  std::ofstream(HostOf(L"\\My Documents\\afile"), std::ios::binary) << "x";
  const Ids ids = Store(L"imp", Inbox(), 3, 0);
  struct Case {
    const wchar_t* name;
    const wchar_t* typed;
    INT_PTR end;
    std::vector<UINT> boxes;  // the texts shown, in order
    const wchar_t* remembered;
    size_t files;
  } cases[] = {
      {L"a file, not a folder", L"\\My Documents\\afile", IDCANCEL, {20140}, L"(none)", 0},
      {L"no such folder", L"\\My Documents\\gone", IDCANCEL, {20140}, L"(none)", 0},
      {L"empty", L"", IDCANCEL, {}, L"(none)", 0},
      {L"a folder", kOut, IDOK, {20047}, kOut, 3},
  };
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    QvExportDlg dialog(frame_, ids);
    std::wstring shown;
    bool stayed = false;
    bool kept = true;
    Script() = {[&] {
                  shown = Field(dialog.m_hWnd);
                  if (first) kept = qv::seams::SaveScreenPng(BuildFile("app-exportdlg.png"));
                  SetDlgItemTextW(dialog.m_hWnd, QvExportDlg::kDestinationField, c.typed);
                  PostMessageW(dialog.m_hWnd, WM_COMMAND, IDOK, 0);
                },
                [&] {
                  stayed = IsWindow(dialog.m_hWnd) != FALSE;
                  dialog.EndDialog(IDCANCEL);
                }};
    EXPECT_EQ(dialog.DoModal(), c.end);
    Script().clear();
    EXPECT_TRUE(kept);
    // Nothing was remembered before this case: the field starts at the default.
    EXPECT_EQ(shown, L"\\My Documents");
    first = false;
    std::vector<std::wstring> want;
    for (UINT id : c.boxes) want.push_back(Res(id));
    EXPECT_EQ(boxes_, want);
    if (c.end == IDCANCEL && !c.boxes.empty()) {
      EXPECT_TRUE(stayed);
    }
    EXPECT_EQ(LastExportDir(), c.remembered);
    EXPECT_EQ(Exported().size(), c.files);
  }
  // The next dialog starts where the last export went.
  QvExportDlg again(frame_, ids);
  std::wstring shown;
  Script() = {[&] {
    shown = Field(again.m_hWnd);
    again.EndDialog(IDCANCEL);
  }};
  again.DoModal();
  EXPECT_EQ(shown, kOut);
}

TEST_F(ExportDlgTest, BackCancelsOnlyAnEmptyField) {
  for (const wchar_t* typed : {L"", L"\\x"}) {
    SCOPED_TRACE(typed);
    QvExportDlg dialog(frame_, Ids{1});
    bool up = false;
    Script() = {[&] {
                  SetDlgItemTextW(dialog.m_hWnd, QvExportDlg::kDestinationField, typed);
                  SendMessageW(dialog.m_hWnd, kBackMessage, 0, 0);
                },
                [&] {
                  up = IsWindow(dialog.m_hWnd) != FALSE;
                  dialog.EndDialog(IDABORT);
                }};
    const INT_PTR end = dialog.DoModal();
    Script().clear();
    EXPECT_EQ(end, *typed ? IDABORT : IDCANCEL);
    EXPECT_EQ(up, *typed != 0);
  }
}

// The import as the user runs it: files chosen in the file browser, the
// import behind the progress window, its notice, then the damaged file
// named in a box of its own; the folder chosen is remembered.
TEST_F(ExportDlgTest, TheImportNamesTheFileItSetAside) {
  Plant("a.eml", Mail(1));
  Plant("bad.eml", Damaged(Damage::kNoSender));
  Plant("c.eml", Mail(3));
  ASSERT_TRUE(SetLastImportDir(kSource));
  const Ids before = FolderIds(Inbox());
  bool chosen = false;
  std::function<void()> idle;
  int spins = 0;
  // Steps that keep the progress window up until it goes by itself.
  idle = [&] {
    if (++spins < 100000 && GetSecondWindow() != nullptr) Script().push_back(idle);
  };
  // The three files tapped in the browser's list (Ctrl adds), then OK.
  const auto tap = [](HWND list, int index) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (index > 0) qv::seams::InjectKey(VK_CONTROL, true);
    qv::seams::InjectTap({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    if (index > 0) qv::seams::InjectKey(VK_CONTROL, false);
  };
  HWND browser = nullptr;
  Script() = {[&] {
                browser = GetActiveWindow();
                for (int i = 0; i < 3; ++i) tap(GetDlgItem(browser, QvFileBrowser::kList), i);
              },
              [&] {
                qv::seams::AdvanceUiClock(QvFileBrowser::kTimerDelay);
                qv::seams::PumpMessages();
                chosen = qv::shell::PressOkButton(browser);
                Script().push_back(idle);
              }};
  ImportMessagesToFolder(frame_, Inbox());
  Script().clear();
  EXPECT_TRUE(chosen);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0], Res(20049));
  EXPECT_EQ(boxes_[1], qv::FormatW(Res(20245).c_str(), L"bad.eml"));
  EXPECT_EQ(FolderIds(Inbox()).size() - before.size(), 2u);
  CString remembered;
  EXPECT_TRUE(GetLastImportDir(remembered));
  EXPECT_EQ(std::wstring(remembered.GetString()), kSource);
}

}  // namespace
}  // namespace qv::test
