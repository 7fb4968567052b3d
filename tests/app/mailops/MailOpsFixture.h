// A device root with a data folder whose accounts are made through the
// engine, the program's resources, and a main frame that keeps the refresh
// messages and the error boxes it was told of. Messages are stored through
// the engine's faces; the operations under test are the program's.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/WindowRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/kernel/Library.h"
#include "platform/registry/Registry.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {

using Ids = std::vector<unsigned long>;
using Refresh = std::pair<WPARAM, LPARAM>;

// A window that shows mail: it keeps every refresh it receives and every
// error box shown over it.
class RefreshWindow : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kRefreshMessage) {
      refreshes.emplace_back(wParam, lParam);
      if (left) ++late;
    }
    if (message == kLeftMarker) left = true;
    if (message == kSystemBoxMessage && wParam == 1) ++boxes;
    if (message == WM_DESTROY) UnregisterWindow(this);
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  // Posted by a test right after the window left the registry: a refresh
  // behind it in the queue was posted after the window left.
  static constexpr UINT kLeftMarker = WM_APP + 0x3F;
  std::vector<Refresh> refreshes;
  int boxes = 0;
  bool left = false;
  int late = 0;
};

inline RefreshWindow* MakeRefreshWindow(const wchar_t* title = L"mail") {
  auto* window = new RefreshWindow;  // deletes itself with its window
  EXPECT_TRUE(window->Create(nullptr, title, WS_POPUP | WS_VISIBLE));
  return window;
}

// One account as the engine made it, with its system folder ids.
struct TestAccount {
  std::wstring name;
  DWORD trays[4] = {0, 0, 0, 0};  // by kind: receive, send, drafts, outbox
  Ids receiveChildren;
  Ids sendChildren;
};

class MailOpsTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    SetQvMiddleError(0);
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kData, nullptr));
    ASSERT_TRUE(WriteText(kProgramKey, L"DataPath", kData));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\System", nullptr));
    ASSERT_TRUE(WriteText(kProgramKey, L"SystemInfoPath", L"\\Application Data\\QuvoMail\\System\\"));
    const char* dir = std::getenv("QV_BINARY_DIR");
    ::setenv("QVMAIL_LIBRARY_PATH", (std::string(dir && *dir ? dir : ".") + "/outside/QvMailRes").c_str(), 1);
    res_ = LoadLibraryW(L"QvMailRes.dll");
    ASSERT_NE(res_, nullptr);
    AfxSetResourceHandle(res_);
    main_ = MakeRefreshWindow(L"T-VELA4メール ");
    SetMainWindow(main_);
  }
  void TearDown() override {
    ShutdownMailOperations();
    ClearHeaderCache();
    SetMainWindow(nullptr);
    if (main_ != nullptr) main_->DestroyWindow();
    main_ = nullptr;
    CWnd::DeleteTempMap();
    AfxSetResourceHandle(nullptr);
    if (res_ != nullptr) FreeLibrary(res_);
    FrameworkTest::TearDown();
  }

  // A mail account made as set-up makes it: four trays, three folders below
  // the receive box and below the send box.
  TestAccount MakeAccount(const std::wstring& name) {
    TestAccount account;
    account.name = name;
    EXPECT_TRUE(QvAccountCreator().CreateFolders(name)) << std::hex << GetQvMiddleError();
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
    EXPECT_TRUE(info);
    if (!info) return account;
    QvAccountInfoInterface::Attributes s;
    s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    s.Select(QvAccountInfoInterface::Attributes::kSousinZumiTrayID);
    s.Select(QvAccountInfoInterface::Attributes::kSitagakiTrayID);
    s.Select(QvAccountInfoInterface::Attributes::kSousinTrayID);
    EXPECT_TRUE(info->GetAccountInfoAttributes(&s));
    account.trays[0] = s.ulJusinTrayID;
    account.trays[1] = s.ulSousinZumiTrayID;
    account.trays[2] = s.ulSitagakiTrayID;
    account.trays[3] = s.ulSousinTrayID;
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    EXPECT_TRUE(storage);
    if (!storage) return account;
    std::unique_ptr<QvFolderInterface> receive(storage->OpenFolder(account.trays[0]));
    std::unique_ptr<QvFolderInterface> send(storage->OpenFolder(account.trays[1]));
    EXPECT_TRUE(receive && receive->GetFolderIds(&account.receiveChildren));
    EXPECT_TRUE(send && send->GetFolderIds(&account.sendChildren));
    return account;
  }

  // An account that sends as `sender`, opened as the current one.
  TestAccount MakeCurrentAccount(const std::wstring& name, const std::wstring& sender) {
    TestAccount account = MakeAccount(name);
    QvAccountInfoInterface::Attributes record;
    record.strSenderAddress = sender;
    record.Select(QvAccountInfoInterface::Attributes::kSenderAddress);
    SetSettings(name, record);
    EXPECT_TRUE(OpenCurrentAccount(name));
    return account;
  }

  // Sets fields of an account's stored settings.
  static void SetSettings(const std::wstring& name, QvAccountInfoInterface::Attributes& record) {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->SetAccountInfoAttributes(record)) << std::hex << GetQvMiddleError();
  }

  // Stores `count` mails in a folder of an account, `unread` of them unread.
  static Ids Store(const std::wstring& account, DWORD folder, int count, int unread) {
    Ids ids;
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(account, L""));
    std::unique_ptr<QvStorageInterface> storage(info ? info->OpenStorage() : nullptr);
    std::unique_ptr<QvFolderInterface> f(storage ? storage->OpenFolder(folder) : nullptr);
    EXPECT_TRUE(f);
    if (!f) return ids;
    for (int i = 0; i < count; ++i) {
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kDate |
               QvMessageInterface::kListText2 | QvMessageInterface::kListShort2;
      a.unread = i < unread ? 1 : 0;
      a.kind = QvMessageInterface::kReceived;
      a.date = SYSTEMTIME{2026, 12, 3, 9, 1, 2, 3, 0};
      a.listText2 = L"from" + std::to_wstring(i) + L"@example.com";
      a.listShort2 = L"subject " + std::to_wstring(i);
      unsigned long id = 0;
      const std::string raw = "From: from" + std::to_string(i) + "@example.com\r\nSubject: subject " +
                              std::to_string(i) + "\r\n\r\nbody\r\n";
      EXPECT_TRUE(f->CreateMessage(&id, a, raw)) << std::hex << GetQvMiddleError();
      ids.push_back(id);
    }
    return ids;
  }

  static bool WriteText(const std::wstring& subKey, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
      return false;
    }
    const LONG set = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>(2 * (text.size() + 1)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }

  // The code the last engine-error box showed (the program keeps it).
  static DWORD DetailCode() {
    DWORD code = 0;
    DWORD size = sizeof code;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"DetailCode", nullptr, &type, reinterpret_cast<BYTE*>(&code), &size) != ERROR_SUCCESS)
      code = 0;
    RegCloseKey(key);
    return code;
  }
  static void ClearDetailCode() { WriteErrorDetailCode(0); }

  // The account's folder on the host.
  std::string AccountHost(const std::wstring& name) {
    std::wstring folder;
    EXPECT_TRUE(QvAccountInfoInterface::GetAccountFolderPath(name, &folder));
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return HostOf(folder);
  }

  static constexpr const wchar_t* kData = L"\\Application Data\\QuvoMail\\";
  HMODULE res_ = nullptr;
  RefreshWindow* main_ = nullptr;
};

}  // namespace qv::test
