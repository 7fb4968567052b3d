// Mail files out of and into an account's store, on disk as a user has them:
// 200 messages exported beside a file already there and imported again into
// a new folder, cancels between runs, a volume that fills (injected, and a
// real small tmpfs) and import files refused before anything is stored.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageExporter.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WinFormat.h"
#include "tests/engine/store/accounts/AccountFixture.h"

namespace {

std::string Raw(int i) {
  const std::string n = std::to_string(i), minute = (i % 60 < 10 ? "0" : "") + std::to_string(i % 60);
  return "From: =?ISO-2022-JP?B?GyRCOjk9UD9NGyhC?= <from" + n + "@example.jp>\r\nTo: =?ISO-2022-JP?B?GyRCMDhAaBsoQg==?= <to" +
         n + "@example.jp>\r\nSubject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?= " + n + "\r\nDate: Tue, 04 Mar 2025 10:" +
         minute + ":00 +0900\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nline " + n + "\r\n" +
         std::string(static_cast<size_t>(i) * 7 % 1500, 'x') + "\r\n";
}

// Hears either worker: "S<total>", the last progress count, "E<cancelled>";
// cancels through `cancel` when progress reaches `cancelAt`.
struct Recorder : QvMailFileRun::Notification {
  void Start(uint32_t total) override { heard = "S" + std::to_string(total); }
  void Progress(uint32_t done) override {
    last = done;
    if (done == cancelAt) cancel();
  }
  void End(uint32_t cancelled) override { heard += " E" + std::to_string(cancelled); }
  std::string heard;
  uint32_t last = 0, cancelAt = 0;
  std::function<void()> cancel;
};

class TransferTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    ASSERT_TRUE(QvAccountCreator().CreateFolders(L"mail"));  // as the account sheet makes one
    account_ = Open(L"mail");
    storage_.reset(account_->OpenStorage());
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    ASSERT_TRUE(account_->GetAccountInfoAttributes(&a));
    inbox_.reset(storage_->OpenFolder(a.ulJusinTrayID));
    ASSERT_NE(inbox_, nullptr);
    MakeDir(L"\\Export");
    WriteBytes(L"\\Export\\EML00000.eml", "kept");
  }
  void TearDown() override {
    messages_.clear();
    inbox_.reset();
    storage_.reset();
    account_.reset();
    if (mounted_) umount2(Host(std::wstring(L"\\Small")).c_str(), MNT_DETACH);
    AccountTest::TearDown();
  }

  // Stores `count` messages and keeps them open, each read once to its end
  // as a preview would.
  std::vector<QvMessageInterface*> StoreMessages(int count) {
    std::vector<QvMessageInterface*> out;
    for (int i = 1; i <= count; ++i) {
      unsigned long id = 0;
      std::string seen;
      EXPECT_TRUE(inbox_->CreateMessage(&id));
      messages_.emplace_back(inbox_->OpenMessage(id));
      EXPECT_TRUE(messages_.back()->Write(Raw(i)) && messages_.back()->Read(&seen));
      out.push_back(messages_.back().get());
    }
    return out;
  }
  static std::wstring ExportName(int n, const wchar_t* dir = L"Export") {
    return qv::FormatW(L"\\%s\\EML%05d.eml", dir, n);
  }
  // How the mail lists and the message window see a stored message.
  static std::string Seen(QvMessageInterface& m, int* number) {
    Attr::Attributes a;
    a.mask = 0x3fff;
    std::string raw;
    if (!m.Read(&raw) || !m.GetAttributes(&a)) return "unreadable";
    *number = std::stoi(qv::WideToUtf8(a.listText2).substr(4));
    return qv::WideToUtf8(qv::FormatW(L"kind %u unread %u html %u | %s | %s | %s | %s | %02u:%02u UTC same %d | ", a.kind,
                                      a.unread, a.isHtml, a.listText1.c_str(), a.listText2.c_str(),
                                      a.listShort1.c_str(), a.listShort2.c_str(), a.date.wHour, a.date.wMinute,
                                      memcmp(&a.date, &a.listTime, sizeof a.date) == 0)) +
           (raw == Raw(*number) ? "raw kept" : "raw changed");
  }
  using Attr = QvMessageInterface;

  Account account_;
  std::unique_ptr<QvStorageInterface> storage_;
  std::unique_ptr<QvFolderInterface> inbox_;
  std::vector<std::unique_ptr<QvMessageInterface>> messages_;
  bool mounted_ = false;
};

TEST_F(TransferTest, ExportedFilesImportBackAsUnreadImportedMail) {
  QvMessageExporter exporter;
  Recorder heard;
  ASSERT_TRUE(exporter.SetSource(StoreMessages(200)) && exporter.SetDestination(L"\\Export"));
  ASSERT_TRUE(exporter.RegisterNotification(&heard));
  ASSERT_TRUE(exporter.Fire()) << std::hex << exporter.GetErrorInfo();
  EXPECT_EQ(heard.heard, "S200 E0");
  EXPECT_EQ(ReadBytes(ExportName(0)), "kept");
  EXPECT_FALSE(Exists(ExportName(201)));
  std::vector<std::wstring> paths;
  for (int i = 1; i <= 200; ++i) {
    ASSERT_EQ(ReadBytes(ExportName(i)), Raw(i)) << i;
    paths.push_back(ExportName(i));
  }

  std::unique_ptr<QvFolderInterface> root(storage_->OpenRootFolder());
  unsigned long folderId = 0;
  ASSERT_TRUE(root->CreateFolder(L"取込", &folderId));
  std::unique_ptr<QvFolderInterface> folder(storage_->OpenFolder(folderId));
  QvMessageImporter importer;
  ASSERT_TRUE(importer.SetSource(paths) && importer.SetDestination(folder.get()));
  ASSERT_TRUE(importer.RegisterNotification(&heard));
  ASSERT_TRUE(importer.Fire(nullptr)) << std::hex << importer.GetErrorInfo();
  EXPECT_EQ(heard.heard, "S200 E0");
  std::vector<unsigned long> ids;
  ASSERT_TRUE(folder->GetMessageIds(&ids));
  ASSERT_EQ(ids.size(), 200u);
  EXPECT_EQ(folder->GetUnreadCount(), 200u);
  std::vector<bool> found(201);
  for (unsigned long id : ids) {
    std::unique_ptr<QvMessageInterface> m(folder->OpenMessage(id));
    int i = 0;
    const std::string seen = Seen(*m, &i);
    const std::string n = std::to_string(i), minute = (i % 60 < 10 ? "0" : "") + std::to_string(i % 60);
    // The decoded To entry is its bare address; 10:mm +0900 is 01:mm UTC.
    EXPECT_EQ(seen, "kind 4 unread 1 html 0 | to" + n + "@example.jp | from" + n + "@example.jp | 差出人 | 件名 " + n +
                        " | 01:" + minute + " UTC same 1 | raw kept");
    found.at(i) = true;
  }
  EXPECT_EQ(std::count(found.begin(), found.end(), true), 200);
}

TEST_F(TransferTest, ACancelStopsOnlyTheRunItCameIn) {
  QvMessageExporter exporter;
  Recorder heard;
  heard.cancelAt = 20;
  heard.cancel = [&] { exporter.Cancel(); };
  ASSERT_TRUE(exporter.SetSource(StoreMessages(40)) && exporter.SetDestination(L"\\Export\\"));
  ASSERT_TRUE(exporter.RegisterNotification(&heard));
  EXPECT_FALSE(exporter.Fire());
  EXPECT_EQ(exporter.GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_EXP_CANCELLED));
  EXPECT_EQ(heard.heard, "S40 E1");
  EXPECT_TRUE(Exists(ExportName(20)) && !Exists(ExportName(21)));
  heard.cancelAt = 0;
  ASSERT_TRUE(exporter.Fire()) << std::hex << exporter.GetErrorInfo();
  EXPECT_EQ(ReadBytes(ExportName(21)), Raw(1));
  EXPECT_EQ(ReadBytes(ExportName(60)), Raw(40));

  std::vector<std::wstring> paths;
  for (int i = 21; i <= 60; ++i) paths.push_back(ExportName(i));
  QvMessageImporter importer;
  heard.cancelAt = 10;
  heard.cancel = [&] { importer.Cancel(); };
  ASSERT_TRUE(importer.SetSource(paths) && importer.SetDestination(inbox_.get()));
  ASSERT_TRUE(importer.RegisterNotification(&heard));
  EXPECT_FALSE(importer.Fire(nullptr));
  EXPECT_EQ(importer.GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_IMP_CANCELLED));
  EXPECT_EQ(inbox_->GetUnreadCount(), 10u);
  heard.cancelAt = 0;
  ASSERT_TRUE(importer.Fire(nullptr)) << std::hex << importer.GetErrorInfo();
  EXPECT_EQ(inbox_->GetUnreadCount(), 50u);
}

TEST_F(TransferTest, AFullVolumeStopsTheExportWithNoFileCut) {
  QvMessageExporter exporter;
  Recorder heard;
  ASSERT_TRUE(exporter.SetSource(StoreMessages(20)) && exporter.RegisterNotification(&heard));
  // Injected at the sixth file's create; then a real 32 KB volume that fills
  // in the middle of a write.
  qv::seams::InjectFileFault(ExportName(6), ERROR_DISK_FULL);
  MakeDir(L"\\Small");
  // A machine that refuses mounts (a container without the right) still
  // checks the injected case.
  mounted_ = mount("tmpfs", Host(std::wstring(L"\\Small")).c_str(), "tmpfs", 0, "size=32k") == 0;
  if (!mounted_) std::fprintf(stderr, "no tmpfs here (errno %d): the injected volume only\n", errno);
  std::vector<const wchar_t*> dirs{L"Export"};
  if (mounted_) dirs.push_back(L"Small");
  for (const wchar_t* dir : dirs) {
    heard.last = 0;
    ASSERT_TRUE(exporter.SetDestination(std::wstring(L"\\") + dir));
    EXPECT_FALSE(exporter.Fire());
    EXPECT_EQ(exporter.GetErrorInfo(), static_cast<uint32_t>(QVMDL_ERR_EXP_DISK_FULL));
    ASSERT_GT(heard.last, 0u);
    ASSERT_LT(heard.last, 20u);
    const int first = dir[0] == L'E' ? 1 : 0;  // "\Export" already holds EML00000.eml
    for (int n = 0; n < static_cast<int>(heard.last); ++n) {
      EXPECT_EQ(ReadBytes(ExportName(n + first, dir)), Raw(n + 1));
    }
    EXPECT_FALSE(Exists(ExportName(static_cast<int>(heard.last) + first, dir)));
  }
}

TEST_F(TransferTest, ImportRefusesFilesBeforeStoringAnything) {
  const struct {
    const char* name;
    std::string bytes;  // "<none>": no file; "<4G>": sparse, past what a stored message holds
    size_t memory;      // free memory reported (0: as it is)
    uint32_t code;
  } cases[] = {
      {"larger than free memory", Raw(150), 1024, QVMDL_ERR_IMP_NO_MEMORY},
      {"larger than a stored message", "<4G>", size_t{1} << 40, QVMDL_ERR_IMP_NO_MEMORY},
      {"empty", "", 0, QVMDL_ERR_IMP_EMPTY_FILE},
      {"missing", "<none>", 0, QVMDL_ERR_IMP_OPEN},
      {"no sender", "Subject: x\r\nDate: Tue, 04 Mar 2025 10:00:00 +0900\r\n\r\nbody\r\n", 0, QVMDL_ERR_IMP_NO_SENDER},
  };
  const std::wstring file = L"\\Export\\in.eml";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    qv::seams::ResetSeams();
    if (c.memory != 0) qv::seams::SetAvailableMemory(c.memory);
    DeleteFileW(file.c_str());
    if (c.bytes != "<none>") WriteBytes(file, c.bytes == "<4G>" ? Raw(1) : c.bytes);
    if (c.bytes == "<4G>") std::filesystem::resize_file(Host(file), 0x100000000ull);
    QvMessageImporter importer;
    ASSERT_TRUE(importer.SetSource({file}) && importer.SetDestination(inbox_.get()));
    EXPECT_FALSE(importer.Fire(nullptr));
    EXPECT_EQ(importer.GetErrorInfo(), c.code);
    std::vector<unsigned long> ids;
    ASSERT_TRUE(inbox_->GetMessageIds(&ids));
    EXPECT_TRUE(ids.empty());
  }
}

}  // namespace
