// A mail account "Acc" as a user has it after set-up: the data folder, the
// four trays with three folders below the receive box and the sent box, the
// account open, its storage open, and the clock fixed (JST). Messages are
// stored and looked at through the store's public faces only.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/accounts/AccountFixture.h"

class FilingTest : public AccountTest {
 protected:
  using Settings = QvAccountInfoInterface::Attributes;
  using Ids = std::vector<unsigned long>;

  void SetUp() override {
    AccountTest::SetUp();
    qv::seams::SetClock(SYSTEMTIME{2026, 12, 3, 8, 1, 2, 3, 0});  // 10:02:03 JST
    ASSERT_TRUE(QvAccountCreator().CreateFolders(L"Acc"));
    account_ = Open(L"Acc");
    ASSERT_TRUE(account_);
    Settings s;
    s.Select(Settings::kJusinTrayID);
    s.Select(Settings::kSousinZumiTrayID);
    ASSERT_TRUE(account_->GetAccountInfoAttributes(&s));
    inbox_ = s.ulJusinTrayID;
    sent_ = s.ulSousinZumiTrayID;
    storage_.reset(account_->OpenStorage());
    ASSERT_TRUE(storage_);
    ASSERT_TRUE(Folder(inbox_)->GetFolderIds(&inboxChildren_) && inboxChildren_.size() == 3);
    ASSERT_TRUE(Folder(sent_)->GetFolderIds(&sentChildren_));
  }
  void TearDown() override {
    storage_.reset();
    account_.reset();
    AccountTest::TearDown();
  }

  std::unique_ptr<QvFolderInterface> Folder(unsigned long id) {
    std::unique_ptr<QvFolderInterface> f(storage_->OpenFolder(id));
    EXPECT_TRUE(f) << std::hex << GetQvMiddleError();
    return f;
  }
  Ids Messages(unsigned long id) {
    Ids ids;
    EXPECT_TRUE(Folder(id)->GetMessageIds(&ids));
    return ids;
  }
  // Stores a raw mail with the given flags through the folder facade.
  unsigned long Store(unsigned long folder, const SYSTEMTIME& date, bool unread, bool isProtected) {
    unsigned long id = 0;
    auto f = Folder(folder);
    EXPECT_TRUE(f->CreateMessage(&id, 64)) << std::hex << GetQvMiddleError();
    std::unique_ptr<QvMessageInterface> m(f->OpenMessage(id));
    EXPECT_TRUE(m);
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kIsProtected | QvMessageInterface::kDate |
             QvMessageInterface::kKind;
    a.unread = unread;
    a.isProtected = isProtected;
    a.kind = QvMessageInterface::kReceived;
    a.date = date;
    EXPECT_TRUE(m->SetAttributes(a)) << std::hex << GetQvMiddleError();
    EXPECT_TRUE(m->Write("Subject: seeded\r\n\r\nbody\r\n"));
    return id;
  }
  QvMessageInterface::Attributes Attributes(unsigned long id, uint32_t mask) {
    std::unique_ptr<QvMessageInterface> m(storage_->OpenMessage(id));
    QvMessageInterface::Attributes a;
    a.mask = mask;
    EXPECT_TRUE(m && m->GetAttributes(&a)) << std::hex << GetQvMiddleError();
    return a;
  }
  std::string Raw(unsigned long id) {
    std::unique_ptr<QvMessageInterface> m(storage_->OpenMessage(id));
    std::string raw;
    EXPECT_TRUE(m && m->Read(&raw));
    return raw;
  }
  void SetRules(const std::vector<QvClassificationParamInterface::Attributes>& rules) {
    std::unique_ptr<QvClassificationParamInterface> param(account_->OpenClassificationParamInterface());
    ASSERT_TRUE(param && param->SetAttributes(rules)) << std::hex << GetQvMiddleError();
  }
  void SetMaximum(uint32_t maximum) {
    Settings s;
    s.ulRemoveOldMessageCnt = maximum;
    s.Select(Settings::kRemoveOldMessageCnt);
    ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
  }
  // A store file of an id below the storage's "TREE" or "DATA" directory.
  std::wstring StoreFile(const wchar_t* directory, unsigned long id, const wchar_t* extension) {
    std::wstring root;
    EXPECT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
    return qv::FormatW(L"%s\\%s\\%02X\\%02X%s", root.c_str(), directory, static_cast<unsigned>(id & 0xFF),
                       static_cast<unsigned>((id >> 8) & 0xFF), extension);
  }
  std::wstring EmlPathOf(unsigned long id) { return StoreFile(L"DATA", id, L".eml"); }
  static std::string AccountFile(const std::string& account, const std::string& name) {
    return std::string(kDataHost) + account + "/" + name;
  }

  Account account_;
  std::unique_ptr<QvStorageInterface> storage_;
  unsigned long inbox_ = 0, sent_ = 0;
  Ids inboxChildren_, sentChildren_;
};
