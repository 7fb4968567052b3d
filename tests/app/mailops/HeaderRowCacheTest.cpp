// The header-row cache: rows built once from a folder's header records,
// kept up to its bound, dropped when the engine says a message changed (on
// whichever thread changed it).
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "app/mailops/MessageStatus.h"
#include "app/mailops/TaskAccount.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

class HeaderRowCacheTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    a_ = MakeAccount(L"alpha");
  }
  static bool MarkRead(QvStorageInterface* storage, unsigned long id, bool read) {
    std::unique_ptr<QvMessageInterface> m(storage->OpenMessage(id));
    QvMessageInterface::Attributes attributes;
    attributes.mask = QvMessageInterface::kUnread;
    attributes.unread = read ? 0 : 1;
    return m && m->SetAttributes(attributes);
  }
  TestAccount a_;
};

TEST_F(HeaderRowCacheTest, RowsInListOrderBuiltOnce) {
  const Ids ids = Store(L"alpha", a_.trays[kReceiveBox], 5, 2);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  std::vector<QvMailListItem> rows{QvMailListItem{}};
  EXPECT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], {}, &rows));
  EXPECT_TRUE(rows.empty());

  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], {ids[3], ids[0], ids[1]}, &rows));
  ASSERT_EQ(rows.size(), 3u);
  const struct {
    unsigned long id;
    const wchar_t* correspondent;
    const wchar_t* subject;
    uint32_t status;
  } expected[] = {{ids[3], L"from3@example.com", L"subject 3", 0},
                  {ids[0], L"from0@example.com", L"subject 0", kStatusUnread},
                  {ids[1], L"from1@example.com", L"subject 1", kStatusUnread}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i].messageId, expected[i].id);
    EXPECT_EQ(std::wstring(rows[i].correspondent), expected[i].correspondent) << i;
    EXPECT_EQ(std::wstring(rows[i].subject), expected[i].subject) << i;
    EXPECT_EQ(rows[i].status, expected[i].status) << i;
    EXPECT_EQ(rows[i].kind, QvMailListItem::kReceived);
  }
  EXPECT_EQ(CachedHeaderCount(), 3u);
  // Cached rows come back unchanged, and only the missing one is added.
  std::vector<QvMailListItem> again;
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], {ids[0], ids[4]}, &again));
  EXPECT_EQ(CachedHeaderCount(), 4u);
  EXPECT_EQ(std::wstring(again[0].subject), L"subject 0");
  EXPECT_EQ(std::wstring(again[1].subject), L"subject 4");
}

TEST_F(HeaderRowCacheTest, AnIdTheFolderDoesNotHoldFails) {
  const Ids ids = Store(L"alpha", a_.trays[kReceiveBox], 2, 0);
  const Ids elsewhere = Store(L"alpha", a_.trays[kSendBox], 1, 0);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  ClearDetailCode();
  std::vector<QvMailListItem> rows;
  EXPECT_FALSE(LoadMessageHeaders(a_.trays[kReceiveBox], {ids[0], elsewhere[0]}, &rows));
  EXPECT_EQ(DetailCode(), kErrorHeaderNotFound);
}

TEST_F(HeaderRowCacheTest, TheOldestRowGoesPastTheBound) {
  // A folder holds at most 1000 mails: three folders' rows fill the cache.
  const Ids first = Store(L"alpha", a_.trays[kReceiveBox], 700, 0);
  const Ids middle = Store(L"alpha", a_.receiveChildren[1], 700, 0);
  const Ids second = Store(L"alpha", a_.receiveChildren[0], 601, 0);
  ASSERT_EQ(first.size() + middle.size() + second.size(), kHeaderCacheRows + 1);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  std::vector<QvMailListItem> rows;
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], first, &rows));
  ASSERT_TRUE(LoadMessageHeaders(static_cast<DWORD>(a_.receiveChildren[1]), middle, &rows));
  ASSERT_TRUE(LoadMessageHeaders(static_cast<DWORD>(a_.receiveChildren[0]),
                                 Ids(second.begin(), second.end() - 1), &rows));
  EXPECT_EQ(CachedHeaderCount(), kHeaderCacheRows);
  EXPECT_TRUE(IsHeaderCached(first[0]));
  ASSERT_TRUE(LoadMessageHeaders(static_cast<DWORD>(a_.receiveChildren[0]), {second.back()}, &rows));
  EXPECT_EQ(CachedHeaderCount(), kHeaderCacheRows);
  EXPECT_FALSE(IsHeaderCached(first[0]));
  EXPECT_TRUE(IsHeaderCached(first[1]));
  EXPECT_TRUE(IsHeaderCached(second.back()));
}

TEST_F(HeaderRowCacheTest, AChangedMessageLosesItsRow) {
  const Ids ids = Store(L"alpha", a_.trays[kReceiveBox], 3, 3);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  std::vector<QvMailListItem> rows;
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], ids, &rows));
  ASSERT_TRUE(MarkRead(CurrentStorage(), ids[1], true));
  EXPECT_FALSE(IsHeaderCached(ids[1]));
  EXPECT_TRUE(IsHeaderCached(ids[0]));
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], {ids[1]}, &rows));
  EXPECT_EQ(rows[0].status & kStatusUnread, 0u) << "built again from the store";
  DropCachedHeadersOf(ids);
  EXPECT_EQ(CachedHeaderCount(), 0u);
  // Switching accounts forgets every row.
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], ids, &rows));
  MakeAccount(L"beta");
  ASSERT_TRUE(OpenCurrentAccount(L"beta"));
  EXPECT_EQ(CachedHeaderCount(), 0u);
}

// A task thread changes messages through its own account and storage while
// the UI thread lists them: the engine tells the program's folder observer
// on the task's thread, which drops rows the UI thread is reading.
TEST_F(HeaderRowCacheTest, RowsDroppedOnATaskThreadWhileTheListReadsThem) {
  const Ids ids = Store(L"alpha", a_.trays[kReceiveBox], 60, 60);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  MailTaskAccount snapshot;
  ASSERT_TRUE(CaptureMailTaskAccount(&snapshot));
  {
    // The task's change reaches the program's rows.
    std::vector<QvMailListItem> rows;
    ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], ids, &rows));
    std::thread once([&] {
      TaskAccountObjects own;
      EXPECT_TRUE(own.Open(snapshot.name) && MarkRead(own.Storage(), ids[7], true));
    });
    once.join();
    EXPECT_FALSE(IsHeaderCached(ids[7]));
    EXPECT_TRUE(IsHeaderCached(ids[8]));
  }
  std::atomic<bool> stop{false};
  std::atomic<int> changes{0};
  std::thread task([&] {
    TaskAccountObjects own;
    if (!own.Open(snapshot.name)) return;
    for (int i = 0; !stop; ++i) {
      if (MarkRead(own.Storage(), ids[static_cast<size_t>(i) % ids.size()], i % 2 == 0)) ++changes;
    }
  });
  int loads = 0;
  for (int round = 0; round < 20 || changes < 20; ++round) {
    if (round % 2 == 0) ClearHeaderCache();
    std::vector<QvMailListItem> rows;
    ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], ids, &rows));
    ASSERT_EQ(rows.size(), ids.size());
    for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i].messageId, ids[i]);
    ++loads;
  }
  stop = true;
  task.join();
  EXPECT_GT(changes.load(), 0);
  EXPECT_GE(loads, 20);
  // Once the changes stop, a fresh row shows the message as it is stored.
  ClearHeaderCache();
  std::vector<QvMailListItem> rows;
  ASSERT_TRUE(LoadMessageHeaders(a_.trays[kReceiveBox], {ids[0]}, &rows));
  uint32_t status = 0, kind = 0;
  ASSERT_TRUE(GetMessageStatus(ids[0], a_.trays[kReceiveBox], &status, &kind));
  EXPECT_EQ(rows[0].status, status);
}

// A mail file written before the kind was stored: its status reads with the
// kind its folder implies, and that kind is written into it.
TEST_F(HeaderRowCacheTest, AnOlderFileGetsTheKindOfItsFolder) {
  const struct {
    unsigned long folder;
    uint32_t kind;
  } cases[] = {{a_.trays[kReceiveBox], 1}, {a_.receiveChildren.at(0), 1}, {a_.trays[kSendBox], 0},
               {a_.sendChildren.at(0), 0},  {a_.trays[kDrafts], 3},        {a_.trays[kOutbox], 3}};
  for (const auto& c : cases) {
    const unsigned long id = Store(L"alpha", static_cast<DWORD>(c.folder), 1, 1).at(0);
    char name[16];
    std::snprintf(name, sizeof name, "%02X/%02X.eml", static_cast<unsigned>(id & 0xFF),
                  static_cast<unsigned>((id >> 8) & 0xFF));
    std::string path;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Host("Application Data/QuvoMail"))) {
      const std::string p = entry.path().string();
      const std::string tail = std::string("/DATA/") + name;
      if (p.size() > tail.size() && p.compare(p.size() - tail.size(), tail.size(), tail) == 0) path = p;
    }
    ASSERT_FALSE(path.empty()) << id;
    {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(12);
      file.write("\x00\x10\x00\x00", 4);  // the first version, without the kind
    }
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    ClearDetailCode();
    uint32_t status = 0, kind = 99;
    ASSERT_TRUE(GetMessageStatus(id, static_cast<DWORD>(c.folder), &status, &kind)) << c.folder;
    EXPECT_EQ(kind, c.kind) << c.folder;
    EXPECT_EQ(status & kStatusUnread, kStatusUnread) << c.folder;
    EXPECT_EQ(DetailCode(), 0u) << "no error box";
    std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
    QvMessageInterface::Attributes stored;
    stored.mask = QvMessageInterface::kKind;
    ASSERT_TRUE(m && m->GetAttributes(&stored)) << "the file is brought up to date";
    EXPECT_EQ(stored.kind, c.kind);
  }
}

}  // namespace
}  // namespace qv::test
